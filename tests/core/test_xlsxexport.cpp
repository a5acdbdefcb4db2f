// The workbook export read back by another program (openpyxl): numbers as numbers, text kept
// as the text the grid shows, no formula made from text, dates as dates, line breaks, the SUM.

#include "ledger/ledgersheet.h"
#include "reports/xlsxexport.h"

#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

using namespace vellumar;

namespace {

// Reads the workbook with openpyxl; the JSON the script printed.
QJsonObject readBack(const QString& path) {
    QProcess python;
    python.start(u"/usr/bin/python3"_qs, {QString::fromUtf8(VELLUMAR_READ_XLSX), path});
    if (!python.waitForFinished(60000) || python.exitCode() != 0) {
        qWarning("%s", python.readAllStandardError().constData());
        return {};
    }
    return QJsonDocument::fromJson(python.readAllStandardOutput()).object();
}

Xlsx::Table tableOf(const QList<QStringList>& rows) {
    Xlsx::Table table;
    table.sheetName = u"账目"_qs;
    table.columns = {{u"名称"_qs, 150, Xlsx::CellKind::Text},
                     {u"金额"_qs, 100, Xlsx::CellKind::Number},
                     {u"日期"_qs, 170, Xlsx::CellKind::DateTime},
                     {u"备注"_qs, 220, Xlsx::CellKind::Text, true}};
    table.rows = rows.size();
    table.cell = [rows](qint64 row, int column) {
        return rows[row].value(column);
    };
    table.totals = Xlsx::Totals{0, u"合计"_qs, {1}, 3};
    return table;
}

} // namespace

class TestXlsxExport : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void exactNumbers_data();
    void exactNumbers();
    void cellsReadBackAsShown_data();
    void cellsReadBackAsShown();
    void layoutAndTotals();
    void stoppedExportLeavesNothing();
};

void TestXlsxExport::exactNumbers_data() {
    QTest::addColumn<QString>("text");
    QTest::addColumn<bool>("number");
    QTest::addColumn<int>("decimals");
    QTest::newRow("integer") << u"12"_qs << true << 0;
    QTest::newRow("decimals kept") << u"3.50"_qs << true << 2;
    QTest::newRow("negative") << u"-0.5"_qs << true << 1;
    QTest::newRow("zero") << u"0"_qs << true << 0;
    QTest::newRow("fifteen digits") << u"123456789012.345"_qs << true << 3;
    QTest::newRow("sixteen digits") << u"1234567890123.456"_qs << false << 0;
    QTest::newRow("large, few digits") << u"100000000000000000000"_qs << true << 0;
    QTest::newRow("leading zeros") << u"007"_qs << false << 0;
    QTest::newRow("exponent") << u"1e5"_qs << false << 0;
    QTest::newRow("minus zero") << u"-0"_qs << false << 0;
    QTest::newRow("plus sign") << u"+3"_qs << false << 0;
    QTest::newRow("full width") << u"１２"_qs << false << 0;
    QTest::newRow("thousands separator") << u"1,000"_qs << false << 0;
    QTest::newRow("unit after") << u"12元"_qs << false << 0;
    QTest::newRow("blank around") << u" 12"_qs << false << 0;
    QTest::newRow("point only") << u"12."_qs << false << 0;
    QTest::newRow("overflow text") << u"溢出"_qs << false << 0;
}

void TestXlsxExport::exactNumbers() {
    QFETCH(QString, text);
    QFETCH(bool, number);
    QFETCH(int, decimals);
    const std::optional<Xlsx::ExactNumber> found = Xlsx::exactNumber(text);
    QCOMPARE(found.has_value(), number);
    if (found) {
        QCOMPARE(found->decimals, decimals);
        QCOMPARE(found->value, text.toDouble());
    }
}

void TestXlsxExport::cellsReadBackAsShown_data() {
    QTest::addColumn<int>("column");
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("type"); // openpyxl: n number, s string, d date
    QTest::addColumn<QString>("format");
    QTest::newRow("number") << 1 << u"12.5"_qs << u"n"_qs << u"0.0"_qs;
    QTest::newRow("number, zeros kept") << 1 << u"3.50"_qs << u"n"_qs << u"0.00"_qs;
    QTest::newRow("integer") << 1 << u"42"_qs << u"n"_qs << u"0"_qs;
    QTest::newRow("leading zeros stay text") << 1 << u"007"_qs << u"s"_qs << u"General"_qs;
    QTest::newRow("exponent stays text") << 1 << u"1e5"_qs << u"s"_qs << u"General"_qs;
    QTest::newRow("full width stays text") << 1 << u"１２"_qs << u"s"_qs << u"General"_qs;
    QTest::newRow("minus zero stays text") << 1 << u"-0"_qs << u"s"_qs << u"General"_qs;
    QTest::newRow("too many digits") << 1 << u"0.30000000000000004"_qs << u"s"_qs << u"General"_qs;
    QTest::newRow("formula-like") << 0 << u"=1+1"_qs << u"s"_qs << u"General"_qs;
    QTest::newRow("formula-like in a number column")
        << 1 << u"=SUM(A1:A9)"_qs << u"s"_qs << u"General"_qs;
    QTest::newRow("plus") << 0 << u"+86 138"_qs << u"s"_qs << u"General"_qs;
    QTest::newRow("minus text") << 1 << u"-cmd|' /C calc'!A0"_qs << u"s"_qs << u"General"_qs;
    QTest::newRow("at sign") << 0 << u"@SUM(1)"_qs << u"s"_qs << u"General"_qs;
    QTest::newRow("date and time")
        << 2 << u"2026-12-09 09:30:15"_qs << u"d"_qs << u"yyyy-mm-dd hh:mm:ss"_qs;
    QTest::newRow("date only") << 2 << u"2026-12-09"_qs << u"d"_qs << u"yyyy-mm-dd"_qs;
    QTest::newRow("another date form stays text")
        << 2 << u"2026/12/9"_qs << u"s"_qs << u"General"_qs;
    QTest::newRow("no such date") << 2 << u"2026-02-30 10:00:00"_qs << u"s"_qs << u"General"_qs;
    QTest::newRow("Chinese text") << 0 << u"特级西湖龙井（半斤）"_qs << u"s"_qs << u"General"_qs;
}

void TestXlsxExport::cellsReadBackAsShown() {
    QFETCH(int, column);
    QFETCH(QString, text);
    QFETCH(QString, type);
    QFETCH(QString, format);
    QTemporaryDir folder;
    const QString path = folder.filePath(u"导出.xlsx"_qs);
    QStringList row(4);
    row[column] = text;
    const Result<bool> written = Xlsx::write(path, tableOf({row}));
    QVERIFY2(written.ok(), qPrintable(written.status().message() + written.status().detail()));
    const QJsonObject book = readBack(path);
    QVERIFY(!book.isEmpty());
    const QJsonObject cell = book[u"rows"].toArray()[1].toArray()[column].toObject();
    QCOMPARE(cell[u"type"].toString(), type);
    QCOMPARE(cell[u"format"].toString(), format);
    if (type == u"n")
        QCOMPARE(cell[u"value"].toDouble(), text.toDouble());
    else if (type == u"d") // read back as a moment: the date, at midnight when it has no time
        QCOMPARE(cell[u"value"].toString().left(text.size()), text);
    else
        QCOMPARE(cell[u"value"].toString(), text);
}

void TestXlsxExport::layoutAndTotals() {
    QTemporaryDir folder;
    const QString path = folder.filePath(u"账目.xlsx"_qs);
    const QList<QStringList> rows = {
        {u"大米"_qs, u"0.1"_qs, u"2026-12-01 08:00:00"_qs, u"赊账\n月底结清"_qs},
        {u"面粉"_qs, u"0.2"_qs, QString(), QString()},
        {u"白糖"_qs, u"12元"_qs, QString(), QString()}};
    QVERIFY(Xlsx::write(path, tableOf(rows)).ok());
    const QJsonObject book = readBack(path);
    QCOMPARE(book[u"sheet"].toString(), u"账目"_qs);
    QCOMPARE(book[u"freeze"].toString(), u"A2"_qs);
    const QJsonArray cells = book[u"rows"].toArray();
    QCOMPARE(cells.size(), 5);
    QCOMPARE(cells[0].toArray()[0].toObject()[u"value"].toString(), u"名称"_qs);
    const QJsonObject remark = cells[1].toArray()[3].toObject();
    QCOMPARE(remark[u"value"].toString(), u"赊账\n月底结清"_qs);
    QVERIFY(remark[u"wrap"].toBool());
    const QJsonArray totals = cells[4].toArray();
    QCOMPARE(totals[0].toObject()[u"value"].toString(), u"合计"_qs);
    QCOMPARE(totals[1].toObject()[u"value"].toString(), u"=SUM(B2:B4)"_qs);
    QVERIFY(totals[3].toObject()[u"value"].toString().contains(u"1 格不是数字"));
    // Wider columns on the screen are wider in the workbook.
    const QJsonObject widths = book[u"widths"].toObject();
    QVERIFY(widths[u"D"].toDouble() > widths[u"A"].toDouble());
    QVERIFY(widths[u"A"].toDouble() > widths[u"B"].toDouble());

    // The stored result of the SUM, for viewers that do not calculate: the exact sum.
    QFile file(path);
    QVERIFY(file.open(QIODevice::ReadOnly));
    QProcess unzip;
    unzip.start(u"/usr/bin/python3"_qs, {u"-c"_qs,
                                         u"import zipfile,sys; print(zipfile.ZipFile(sys.argv[1])"
                                         ".read('xl/worksheets/sheet1.xml').decode())"_qs,
                                         path});
    QVERIFY(unzip.waitForFinished(60000));
    const QString xml = QString::fromUtf8(unzip.readAllStandardOutput());
    QVERIFY2(xml.contains(u"<f>SUM(B2:B4)</f><v>0.3</v>"), qPrintable(xml.right(600)));
}

void TestXlsxExport::stoppedExportLeavesNothing() {
    QTemporaryDir folder;
    const QString path = folder.filePath(u"已有.xlsx"_qs);
    QFile existing(path);
    QVERIFY(existing.open(QIODevice::WriteOnly));
    existing.write("old");
    existing.close();
    QList<QStringList> rows(10000, {u"大米"_qs, u"1"_qs});
    const Result<bool> stopped =
        Xlsx::write(path, tableOf(rows), [](qint64 done, qint64) { return done < 5000; });
    QVERIFY(stopped.ok());
    QVERIFY(!*stopped);
    QVERIFY(existing.open(QIODevice::ReadOnly));
    QCOMPARE(existing.readAll(), QByteArray("old"));
    // A folder that is not there is refused with the system's reason.
    const Result<bool> refused = Xlsx::write(folder.filePath(u"没有/x.xlsx"_qs), tableOf(rows));
    QVERIFY(!refused.ok());
    QVERIFY(!refused.status().detail().isEmpty());
}

QTEST_GUILESS_MAIN(TestXlsxExport)
#include "test_xlsxexport.moc"
