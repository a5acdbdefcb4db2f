#include "frame/application.h"
#include "host/qthost.h"
#include "storage/datapaths.h"

#include <QApplication>

int main(int argc, char* argv[]) {
    QApplication application(argc, argv);
    vellumar::prepareApplication(application);
    vellumar::QtHost host;
    return vellumar::runProgram(host, vellumar::DataPaths(QCoreApplication::applicationDirPath()));
}
