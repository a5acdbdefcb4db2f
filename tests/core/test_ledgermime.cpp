#include <QDir>
#include <QFile>
#include <QLocale>
#include <QMimeDatabase>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>

namespace {

const QString LedgerType = u"application/x-vellumar-ledger"_qs;
const QByteArray LedgerStart = "\xEF\xBB\xBF序号,商品名称,数量,单位,单价,总金额,日期,备注\r\n";

} // namespace

// The desktop's file dialogs and file managers learn the ledger type from the MIME description
// the program installs. Here it is installed into a folder of the test's own, built as the
// packaging builds it, and asked through Qt's MIME database as every desktop program asks.
class TestLedgerMime : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void initTestCase();
    void byName_data();
    void byName();
    void byContent_data();
    void byContent();
    void describedInChinese();

private:
    QTemporaryDir m_data;
    QTemporaryDir m_home;
};

void TestLedgerMime::initTestCase() {
    QVERIFY(m_data.isValid() && m_home.isValid());
    const QString packages = m_data.filePath(u"mime/packages"_qs);
    QVERIFY(QDir().mkpath(packages));
    // Before the first question to the database, which reads these folders once.
    qputenv("XDG_DATA_HOME", QFile::encodeName(m_home.path()));
    qputenv("XDG_DATA_DIRS", QFile::encodeName(m_data.path()) + ":/usr/local/share:/usr/share");
    // The description as the source has it, or (for the package check) as a package has it.
    const QString description =
        qEnvironmentVariable("VELLUMAR_MIME_XML", QStringLiteral(VELLUMAR_MIME_XML));
    QVERIFY(QFile::copy(description, packages + u"/vellumar-ledger.xml"_qs));
    // Qt reads the XML itself where no cache was built; the packaging builds one.
    const QString tool = QStandardPaths::findExecutable(u"update-mime-database"_qs);
    if (!tool.isEmpty()) {
        QProcess update;
        update.start(tool, {m_data.filePath(u"mime"_qs)});
        QVERIFY(update.waitForFinished(60000));
        QCOMPARE(update.exitCode(), 0);
        const QByteArray complaints = update.readAllStandardError();
        QVERIFY2(complaints.isEmpty(), complaints.constData());
    }
}

void TestLedgerMime::byName_data() {
    QTest::addColumn<QString>("name");
    QTest::addColumn<bool>("ledger");
    QTest::newRow("a holder's ledger") << u"张三.z"_qs << true;
    QTest::newRow("a copy") << u"张三.z.无法读取-20261209-093015"_qs << false;
    QTest::newRow("compressed in capitals stays compressed") << u"archive.Z"_qs << false;
    QTest::newRow("another type") << u"notes.txt"_qs << false;
}

void TestLedgerMime::byName() {
    QFETCH(QString, name);
    QFETCH(bool, ledger);
    const QMimeType type = QMimeDatabase().mimeTypeForFile(name, QMimeDatabase::MatchExtension);
    QCOMPARE(type.name() == LedgerType, ledger);
    if (name.endsWith(u".Z"))
        QCOMPARE(type.name(), u"application/x-compress"_qs);
}

void TestLedgerMime::byContent_data() {
    QTest::addColumn<QByteArray>("start");
    QTest::addColumn<bool>("ledger");
    QTest::newRow("saved by the program") << LedgerStart << true;
    QTest::newRow("without the byte-order mark") << LedgerStart.mid(3) << false;
    QTest::newRow("compressed data") << QByteArray("\037\235\220abc") << false;
}

// A ledger renamed without its ending is still known by its first bytes.
void TestLedgerMime::byContent() {
    QFETCH(QByteArray, start);
    QFETCH(bool, ledger);
    QTemporaryDir folder;
    const QString path = folder.filePath(u"账目备份"_qs);
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write(start + "1,大米,2,袋,50,100,2026-12-09 09:30:15,\r\n");
    file.close();
    QCOMPARE(QMimeDatabase().mimeTypeForFile(path).name() == LedgerType, ledger);
    QCOMPARE(QMimeDatabase().mimeTypeForData(start).name() == LedgerType, ledger);
}

void TestLedgerMime::describedInChinese() {
    QLocale::setDefault(QLocale(QLocale::Chinese, QLocale::China));
    const QMimeType type = QMimeDatabase().mimeTypeForName(LedgerType);
    QVERIFY(type.isValid());
    QCOMPARE(type.comment(), u"Vellumar 账目文件"_qs);
    QVERIFY(type.inherits(u"text/csv"_qs));
    QCOMPARE(type.globPatterns(), QStringList{u"*.z"_qs});
}

QTEST_GUILESS_MAIN(TestLedgerMime)
#include "test_ledgermime.moc"
