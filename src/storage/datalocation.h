#pragma once

#include "storage/datapaths.h"
#include "storage/status.h"

#include <QString>

namespace vellumar {

// Where this start of the program keeps the books and finds its own files, decided once at
// start-up from the executable's folder and the operator's own data folder.
//
// Portable: a folder `source` or a file named `portable` beside the executable. The books stay
// in source/ beside the executable, as they always have, so copying the program's folder
// copies the shop's books; the user guide is in help/ beside it.
//
// Installed: anything else. The books live in the operator's own data folder (on Linux
// ~/.local/share/Vellumar/source, with the same layout), and the program never writes inside
// its installation. The user guide comes from the installed share folder, found from the
// executable (../share/vellumar beside bin/), so any installation prefix works; a build that
// has its guide beside the executable finds it there.
struct DataLocation {
    enum class Mode { Portable, Installed };

    Mode mode = Mode::Portable;
    QString dataDirectory;         // the folder whose source/ holds the books
    QString programFilesDirectory; // the folder whose help/ holds the user guide

    DataPaths paths() const { return DataPaths(dataDirectory, programFilesDirectory); }
};

// The file whose presence beside the executable makes a copy portable.
constexpr QStringView PortableMarkerName = u"portable";

// perUserDirectory is the operator's data folder for the program
// (QStandardPaths::AppDataLocation); an installed program cannot start without one.
Result<DataLocation> locateData(const QString& executableDirectory,
                                const QString& perUserDirectory);

// Makes the data folder and its source/ where they are missing, nothing more: this comes before
// the instance lock is taken in source/, and the tables come after. A data folder the program
// makes in the operator's home is readable by that operator only.
Status createDataFolder(const DataLocation& location);

} // namespace vellumar
