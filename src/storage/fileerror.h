#pragma once

#include "storage/status.h"

#include <QString>

namespace vellumar {

// What the program was doing with a file when the system refused.
enum class FileAction {
    Read,         // opening or reading a file
    Write,        // writing new content (a save, a copy)
    Replace,      // putting finished content in the place of the old file
    Rename,       // giving a file a new name
    Remove,       // deleting a file
    CreateFolder, // making a folder
};

// Turns a refusal of the system (an errno value) into a sentence for the operator that says
// what failed and why, in plain Chinese where the cause is known: no space, no permission,
// a read-only disk, a protected file, a name too long, something that is not a regular file, a
// file in use. The system's own text stays in the detail.
Status fileFailure(FileAction action, const QString& path, int errorNumber);

// The plain Chinese sentence for an errno value; empty when the cause has none of its own.
QString fileErrorCause(int errorNumber);

// A file the program will not read or write through: a symbolic link, a device, a pipe.
Status notARegularFile(FileAction action, const QString& path, bool symbolicLink);

} // namespace vellumar
