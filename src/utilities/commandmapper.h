#pragma once

#include <QString>
#include <QStringList>

#include <functional>

namespace vellumar {

// What starting one of the program's command lines comes to on this desktop.
struct LaunchPlan {
    enum class Kind {
        Nothing,  // nothing suitable is installed: the command is dropped silently
        Program,  // start `program` with `arguments`, without waiting for it
        Document, // open `document` in the desktop's application for its kind of file
    };
    Kind kind = Kind::Nothing;
    QString program;
    QStringList arguments;
    QString document;
};

// What the mapping may ask of the machine: the full path of an installed executable (empty
// when it is not installed) and the operator's home folder.
struct DesktopLookup {
    std::function<QString(const QString& name)> findExecutable;
    QString homeDirectory;
};

// The menus name the classic Windows tools by their fixed paths. Here each becomes this
// desktop's equivalent: the file manager on the home folder, a calculator, the web browser and
// a text editor, the first one installed of a short list each. A command line whose last part
// is a file pattern opens the first matching file as a document (the help document); an
// existing file opens as a document; anything else starts when its program is installed.
LaunchPlan planLaunch(const QString& commandLine, const DesktopLookup& desktop);

} // namespace vellumar
