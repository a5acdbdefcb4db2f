#pragma once

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

// Gets the data folder ready, opens the sign-in window and runs until the last window is
// gone. A damaged data file is reported by name and the program stops with exit code 1,
// leaving the file as it is.
int runProgram(Host& host, const DataPaths& paths, FileSystem& files);

} // namespace vellumar
