#include "utilities/commandmapper.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

using namespace vellumar;

namespace {

// A machine on which exactly the named programs are installed, under /usr/bin.
DesktopLookup machineWith(const QStringList& installed) {
    return {[installed](const QString& name) {
                return installed.contains(name) ? QStringLiteral("/usr/bin/") + name : QString();
            },
            QStringLiteral("/home/shop")};
}

void touch(const QString& path) {
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly));
}

} // namespace

class TestCommandMapper : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void desktopTools_data();
    void desktopTools();
    void helpDocument_data();
    void helpDocument();
    void otherCommandLines();
};

void TestCommandMapper::desktopTools_data() {
    QTest::addColumn<QString>("commandLine");
    QTest::addColumn<QStringList>("installed");
    QTest::addColumn<QString>("program"); // empty: nothing starts
    QTest::addColumn<QStringList>("arguments");

    const QString explorer = QStringLiteral("C:\\WINDOWS\\explorer.exe");
    const QString calc = QStringLiteral("C:\\WINDOWS\\system32\\calc.exe");
    const QString browser = QStringLiteral("C:\\Program Files\\Internet Explorer\\IEXPLORE.EXE");
    const QString notepad = QStringLiteral("C:\\WINDOWS\\NOTEPAD.EXE");
    const QStringList home = {QStringLiteral("/home/shop")};

    QTest::newRow("explorer: the desktop's own choice first")
        << explorer << QStringList{QStringLiteral("nautilus"), QStringLiteral("xdg-open")}
        << QStringLiteral("/usr/bin/xdg-open") << home;
    QTest::newRow("explorer: a file manager when there is no default handler")
        << explorer << QStringList{QStringLiteral("thunar"), QStringLiteral("gedit")}
        << QStringLiteral("/usr/bin/thunar") << home;
    QTest::newRow("explorer: none installed")
        << explorer << QStringList{QStringLiteral("gedit")} << QString() << QStringList();
    QTest::newRow("calculator") << calc
                                << QStringList{QStringLiteral("xcalc"), QStringLiteral("kcalc")}
                                << QStringLiteral("/usr/bin/kcalc") << QStringList();
    QTest::newRow("calculator: none installed")
        << calc << QStringList{QStringLiteral("xdg-open")} << QString() << QStringList();
    QTest::newRow("browser: the system's chosen browser")
        << browser << QStringList{QStringLiteral("firefox-esr"), QStringLiteral("x-www-browser")}
        << QStringLiteral("/usr/bin/x-www-browser") << QStringList();
    QTest::newRow("browser: an installed one")
        << browser << QStringList{QStringLiteral("chromium")} << QStringLiteral("/usr/bin/chromium")
        << QStringList();
    QTest::newRow("browser: none installed")
        << browser << QStringList{QStringLiteral("xdg-open")} << QString() << QStringList();
    QTest::newRow("text editor") << notepad
                                 << QStringList{QStringLiteral("mousepad"), QStringLiteral("gedit")}
                                 << QStringLiteral("/usr/bin/gedit") << QStringList();
    QTest::newRow("text editor: none installed")
        << notepad << QStringList() << QString() << QStringList();
    QTest::newRow("letter case and separators of Windows paths")
        << QStringLiteral("c:/windows/System32/CALC.EXE")
        << QStringList{QStringLiteral("gnome-calculator")}
        << QStringLiteral("/usr/bin/gnome-calculator") << QStringList();
    QTest::newRow("another Windows program")
        << QStringLiteral("C:\\WINDOWS\\regedit.exe") << QStringList{QStringLiteral("xdg-open")}
        << QString() << QStringList();
}

void TestCommandMapper::desktopTools() {
    QFETCH(QString, commandLine);
    QFETCH(QStringList, installed);
    QFETCH(QString, program);
    QFETCH(QStringList, arguments);
    const LaunchPlan plan = planLaunch(commandLine, machineWith(installed));
    QCOMPARE(plan.kind, program.isEmpty() ? LaunchPlan::Kind::Nothing : LaunchPlan::Kind::Program);
    QCOMPARE(plan.program, program);
    QCOMPARE(plan.arguments, arguments);
}

void TestCommandMapper::helpDocument_data() {
    QTest::addColumn<QStringList>("files"); // in help/; "" for no help folder at all
    QTest::addColumn<QString>("opened");    // empty: nothing opens

    QTest::newRow("the shipped guide")
        << QStringList{QStringLiteral("Vellumarhelp.doc")} << QStringLiteral("Vellumarhelp.doc");
    QTest::newRow("first match by name")
        << QStringList{QStringLiteral("zhelp.doc"), QStringLiteral("ahelp.doc"),
                       QStringLiteral("readme.txt")}
        << QStringLiteral("ahelp.doc");
    QTest::newRow("name ending otherwise")
        << QStringList{QStringLiteral("help.docx"), QStringLiteral("helper.doc")} << QString();
    QTest::newRow("empty help folder") << QStringList() << QString();
    QTest::newRow("no help folder") << QStringList{QString()} << QString();
}

void TestCommandMapper::helpDocument() {
    QFETCH(QStringList, files);
    QFETCH(QString, opened);
    QTemporaryDir program;
    const QString helpFolder = program.path() + QStringLiteral("/help");
    if (files != QStringList{QString()}) {
        QVERIFY(QDir().mkpath(helpFolder));
        for (const QString& file : files)
            touch(helpFolder + u'/' + file);
    }
    // As the menus build it: the program folder, then the help literal with its backslashes.
    const QString commandLine = program.path() + QStringLiteral("\\help\\*help.doc");
    const LaunchPlan plan = planLaunch(commandLine, machineWith({QStringLiteral("xdg-open")}));
    if (opened.isEmpty()) {
        QCOMPARE(plan.kind, LaunchPlan::Kind::Nothing);
    } else {
        QCOMPARE(plan.kind, LaunchPlan::Kind::Document);
        QCOMPARE(plan.document, helpFolder + u'/' + opened);
    }
}

void TestCommandMapper::otherCommandLines() {
    QTemporaryDir folder;
    const QString document = folder.path() + QStringLiteral("/价目 表.doc");
    touch(document);
    LaunchPlan plan = planLaunch(document, machineWith({}));
    QCOMPARE(plan.kind, LaunchPlan::Kind::Document);
    QCOMPARE(plan.document, document);

    plan =
        planLaunch(QStringLiteral("galculator --x 1"), machineWith({QStringLiteral("galculator")}));
    QCOMPARE(plan.kind, LaunchPlan::Kind::Program);
    QCOMPARE(plan.program, QStringLiteral("/usr/bin/galculator"));
    QCOMPARE(plan.arguments, (QStringList{QStringLiteral("--x"), QStringLiteral("1")}));

    QCOMPARE(planLaunch(QStringLiteral("missing-tool"), machineWith({})).kind,
             LaunchPlan::Kind::Nothing);
    QCOMPARE(planLaunch(QString(), machineWith({})).kind, LaunchPlan::Kind::Nothing);
}

QTEST_MAIN(TestCommandMapper)
#include "test_commandmapper.moc"
