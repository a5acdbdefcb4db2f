#pragma once

#include <QString>
#include <QStringList>

#include <optional>

class QApplication;

namespace vellumar {

class Host;
class DataPaths;
class FileSystem;

// Registers the pictures and icon compiled into the program (needed once per process).
void loadResources();

// Makes the whole program speak Chinese (Qt's own dialogs and menus too) and look the same on
// every desktop: the Fusion style, a Simplified Chinese font and the program icon.
void prepareApplication(QApplication& application);

// How the program ends. Whenever it does not run, it has changed no file.
namespace ExitCode {
constexpr int Finished = 0;
constexpr int DataUnusable = 1; // the data folder, a table of it or the shared books cannot be used
constexpr int AlreadyRunning = 2; // another start of the program has these books open
} // namespace ExitCode

// What a start of the program is given by its surroundings.
struct StartUp {
    QString executableDirectory;
    QString perUserDataDirectory; // QStandardPaths::AppDataLocation
    QStringList arguments;        // as QCoreApplication::arguments(): the program's name first

    // This process's own: its executable, the operator's data folder and its command line.
    static StartUp ofThisProcess();
};

// Finds where the books are (portable or installed), makes their folder where it is missing,
// takes the lock that keeps a second start away and runs the program on them; a ledger file
// given on the command line opens after sign-in. A second start on the same books says that
// the program is already running and ends with ExitCode::AlreadyRunning, touching no file.
int startProgram(Host& host, FileSystem& files, const StartUp& startUp);

// Gets the data folder ready, opens the sign-in window and runs until the last window is
// gone; the document, when there is one, opens after sign-in. A damaged data file is reported
// by name and the program stops with ExitCode::DataUnusable, leaving the file as it is.
int runProgram(Host& host, const DataPaths& paths, FileSystem& files,
               const std::optional<QString>& document = std::nullopt);

} // namespace vellumar
