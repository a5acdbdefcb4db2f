#include "guifixture.h"

#include "frame/application.h"
#include "storage/datastore.h"

#include <QApplication>
#include <QCloseEvent>
#include <QTest>

GuiFixture::GuiFixture() : paths(m_directory.path()) {
    const vellumar::Status prepared = vellumar::prepareDataDirectory(paths);
    if (!prepared)
        qFatal("%s", qPrintable(prepared.message()));
}

GuiFixture::~GuiFixture() {
    for (QWidget* window : frame.openWindows())
        frame.close(window);
    // Windows close with deleteLater; let them go before the data folder disappears.
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
}

void GuiFixture::closeFromFrame(QWidget* window) {
    window->close();
}

void GuiFixture::prepareProcess() {
    static bool done = false;
    if (done)
        return;
    done = true;
    vellumar::prepareApplication(*qApp);
}
