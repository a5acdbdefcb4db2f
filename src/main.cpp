#include "frame/application.h"
#include "host/qthost.h"
#include "storage/datapaths.h"
#include "storage/filesystem.h"

#include <QApplication>

int main(int argc, char* argv[]) {
    QApplication application(argc, argv);
    vellumar::prepareApplication(application);
    vellumar::QtHost host;
    vellumar::LocalFileSystem files;
    return vellumar::runProgram(host, vellumar::DataPaths(QCoreApplication::applicationDirPath()),
                                files);
}
