// The program's real start-up, with a scripted host instead of message boxes, for tests that
// start it in processes of their own (two at once, one killed). It prints "ready" once the
// program runs and, at the end, every message it showed; its exit code is the program's.
//
//   vellumar_startprobe PROGRAMDIR [--quit-when-ready] [ARGUMENTS...]
//
// PROGRAMDIR stands for the executable's folder; the operator's data folder is the real one
// (XDG_DATA_HOME decides where it is).

#include "frame/application.h"
#include "guifixture.h"
#include "storage/filesystem.h"

#include <QApplication>
#include <QStandardPaths>
#include <QTimer>

#include <cstdio>

int main(int argc, char* argv[]) {
    QApplication application(argc, argv);
    QStringList arguments = QCoreApplication::arguments();
    if (arguments.size() < 2) {
        std::fprintf(stderr, "usage: vellumar_startprobe PROGRAMDIR [--quit-when-ready] ...\n");
        return 64;
    }
    GuiFixture::prepareProcess();
    const QString programDirectory = arguments.takeAt(1);
    const bool quitWhenReady = arguments.removeOne(QStringLiteral("--quit-when-ready"));

    QTimer::singleShot(0, [quitWhenReady] {
        std::printf("ready\n");
        std::fflush(stdout);
        if (quitWhenReady)
            QCoreApplication::quit();
    });
    ScriptedHost host;
    vellumar::LocalFileSystem files;
    const vellumar::StartUp startUp{
        programDirectory, QStandardPaths::writableLocation(QStandardPaths::AppDataLocation),
        arguments};
    const int exitCode = vellumar::startProgram(host, files, startUp);
    for (const ScriptedHost::Message& message : host.messages())
        std::printf("message\t%s\t%s\n", qUtf8Printable(message.text),
                    qUtf8Printable(message.detail));
    return exitCode;
}
