#include "frame/application.h"
#include "host/qthost.h"
#include "storage/filesystem.h"

#include <QApplication>

int main(int argc, char* argv[]) {
    QApplication application(argc, argv);
    vellumar::prepareApplication(application);
    vellumar::QtHost host;
    vellumar::LocalFileSystem files;
    return vellumar::startProgram(host, files, vellumar::StartUp::ofThisProcess());
}
