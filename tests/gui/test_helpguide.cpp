#include "accounts/userlistwindow.h"
#include "guifixture.h"
#include "ledger/ledgerwindow.h"
#include "utilities/commandmapper.h"

#include <QAction>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

using namespace vellumar;

// Both help items find the user guide where this copy of the program keeps it: beside the
// executable in a portable copy, in the installed share folder otherwise, wherever the books
// are.
class TestHelpGuide : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void initTestCase() { GuiFixture::prepareProcess(); }
    void bothWindowsOpenTheGuide_data();
    void bothWindowsOpenTheGuide();
};

void TestHelpGuide::bothWindowsOpenTheGuide_data() {
    QTest::addColumn<bool>("installed");
    QTest::newRow("portable") << false;
    QTest::newRow("installed") << true;
}

void TestHelpGuide::bothWindowsOpenTheGuide() {
    QFETCH(bool, installed);
    GuiFixture fixture;
    QTemporaryDir share;
    const QString programFiles = installed ? share.path() : fixture.paths.programDirectory();
    QVERIFY(QDir().mkpath(programFiles + u"/help"_qs));
    QFile guide(programFiles + u"/help/Vellumarhelp.doc"_qs);
    QVERIFY(guide.open(QIODevice::WriteOnly));
    guide.close();
    const DataPaths paths(fixture.paths.programDirectory(), programFiles);
    const Services services{fixture.host, fixture.frame, paths, fixture.files, fixture.books};

    auto* list = new UserListWindow(services);
    fixture.frame.open(list);
    list->findChild<QAction*>(u"actionHelp"_qs)->trigger();
    auto* ledger = new LedgerWindow(services, u"张三"_qs);
    fixture.frame.open(ledger);
    ledger->findChild<QAction*>(u"actionHelp"_qs)->trigger();

    // One command line from both, and it comes to the guide itself.
    const QStringList commandLines = fixture.host.commandLines();
    QCOMPARE(commandLines.size(), 2);
    QCOMPARE(commandLines[0], commandLines[1]);
    const DesktopLookup desktop{[](const QString&) { return QString(); }, QDir::homePath()};
    const LaunchPlan plan = planLaunch(commandLines[0], desktop);
    QCOMPARE(int(plan.kind), int(LaunchPlan::Kind::Document));
    QCOMPARE(plan.document, guide.fileName());
    QVERIFY(fixture.host.messages().isEmpty());
    fixture.frame.close(ledger);
    fixture.frame.close(list);
}

QTEST_MAIN(TestHelpGuide)
#include "test_helpguide.moc"
