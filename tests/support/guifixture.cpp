#include "guifixture.h"

#include "books/localbooks.h"
#include "frame/application.h"
#include "storage/datastore.h"

#include <QApplication>
#include <QCloseEvent>
#include <QTest>

GuiFixture::GuiFixture()
    : paths(m_directory.path()),
      books(std::make_unique<vellumar::LocalBooks>(paths, files), vellumar::BooksLocation()) {
    const vellumar::Status prepared = vellumar::prepareDataDirectory(paths);
    if (!prepared)
        qFatal("%s", qPrintable(prepared.message()));
}

GuiFixture::~GuiFixture() {
    // Every test is held to its script, and no message may show English to the operator.
    if (const QString problems = host.problems();
        !problems.isEmpty() && !QTest::currentTestFailed())
        QTest::qFail(qPrintable(QStringLiteral("the scripted host: ") + problems), __FILE__,
                     __LINE__);
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
