#include "guifixture.h"
#include "ledger/totaldialog.h"

#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>

using namespace vellumar;
using namespace Qt::StringLiterals;

namespace {

// A ledger with titles whose records (rows 1, 2, …) carry these totals; a null entry is a
// free row. The last record is the sheet's last row.
std::unique_ptr<LedgerSheet> ledgerWithTotals(const QStringList& totals) {
    auto sheet = std::make_unique<LedgerSheet>(totals.size() + 1);
    sheet->applyTitles();
    for (int i = 0; i < totals.size(); ++i) {
        if (totals[i].isNull())
            continue;
        sheet->setCell(i + 1, LedgerSheet::Serial, QString::number(i + 1));
        sheet->setCell(i + 1, LedgerSheet::Total, totals[i]);
    }
    return sheet;
}

QLineEdit* box(QWidget* dialog, const char* name) {
    return GuiFixture::control<QLineEdit>(dialog, name);
}

void pressCompute(QWidget* dialog) {
    QTest::mouseClick(GuiFixture::control<QPushButton>(dialog, "按钮2"), Qt::LeftButton);
}

} // namespace

class TestTotalDialog : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void initTestCase() { GuiFixture::prepareProcess(); }
    void layout();
    void sumOfTheLedger_data();
    void sumOfTheLedger();
    void changeFollowsEveryKeystroke();
    void changeFollowsTheSumBox_data();
    void changeFollowsTheSumBox();
};

void TestTotalDialog::layout() {
    GuiFixture fixture;
    auto sheet = ledgerWithTotals({});
    auto* dialog = new TotalDialog(fixture.services, *sheet);
    fixture.frame.open(dialog);
    QCOMPARE(dialog->windowTitle(), QStringLiteral("合计"));
    QCOMPARE(dialog->size(), QSize(345, 243));
    QCOMPARE(dialog->minimumSize(), dialog->maximumSize());
    // The "元" beside the sum must not hide under the button "计算".
    const QRect yuan = GuiFixture::control<QLabel>(dialog, "标签3")->geometry();
    const QRect compute = GuiFixture::control<QPushButton>(dialog, "按钮2")->geometry();
    QVERIFY(!yuan.intersects(compute));
    QVERIFY(!yuan.intersects(box(dialog, "编辑框1")->geometry()));
    QCOMPARE(yuan.x(), GuiFixture::control<QLabel>(dialog, "标签6")->x());

    struct Stop {
        const char* name;
        const char* label;
    };
    const Stop order[] = {{"编辑框3", "标签5"},
                          {"编辑框4", "标签7"},
                          {"按钮1", nullptr},
                          {"编辑框1", "标签1"},
                          {"按钮2", nullptr}};
    for (const Stop& stop : order) {
        QWidget* focus = dialog->focusWidget();
        QCOMPARE(focus->objectName(), QString::fromUtf8(stop.name));
        if (stop.label) {
            auto* label = GuiFixture::control<QLabel>(dialog, stop.label);
            QCOMPARE(label->buddy(), focus);
            QCOMPARE(focus->accessibleName(), label->text());
        }
        QTest::keyClick(focus, Qt::Key_Tab);
    }
    QTest::keyClick(box(dialog, "编辑框3"), Qt::Key_Return);
    QVERIFY(fixture.windows().isEmpty());
}

void TestTotalDialog::sumOfTheLedger_data() {
    QTest::addColumn<QStringList>("totals");
    QTest::addColumn<QString>("sum");
    const QString free; // a row without a record
    QTest::newRow("no records") << QStringList{} << QStringLiteral("0");
    QTest::newRow("10 and 20.5") << QStringList{u"10"_s, u"20.5"_s} << QStringLiteral("30.5");
    QTest::newRow("first total empty")
        << QStringList{u""_s, u"10"_s, u"2.5"_s} << QStringLiteral("12.5");
    QTest::newRow("later total empty")
        << QStringList{u"10"_s, u""_s, u"5"_s} << QStringLiteral("15");
    QTest::newRow("free rows between")
        << QStringList{u"7"_s, free, free, u"3"_s, free} << QStringLiteral("10");
    QTest::newRow("text without a number")
        << QStringList{u"abc"_s, u"12元"_s, u"-2"_s} << QStringLiteral("10");
    // Summed in decimal: plain double addition would show 0.30000000000000004 and
    // 60.599999999999994 here.
    QTest::newRow("decimal fractions") << QStringList{u"0.1"_s, u"0.2"_s} << QStringLiteral("0.3");
    QTest::newRow("prices of a day")
        << QStringList{u"10.1"_s, u"20.2"_s, u"30.3"_s} << QStringLiteral("60.6");
}

void TestTotalDialog::sumOfTheLedger() {
    QFETCH(QStringList, totals);
    QFETCH(QString, sum);
    GuiFixture fixture;
    auto sheet = ledgerWithTotals(totals);
    sheet->setCell(0, LedgerSheet::Total, QStringLiteral("999")); // the title row never counts
    auto* dialog = new TotalDialog(fixture.services, *sheet);
    fixture.frame.open(dialog);
    QVERIFY(box(dialog, "编辑框1")->text().isEmpty());
    pressCompute(dialog);
    QCOMPARE(box(dialog, "编辑框1")->text(), sum);
    QVERIFY(box(dialog, "编辑框4")->text().isEmpty()); // no change before an amount paid
}

void TestTotalDialog::changeFollowsEveryKeystroke() {
    GuiFixture fixture;
    auto sheet = ledgerWithTotals({QStringLiteral("10"), QStringLiteral("20.5")});
    auto* dialog = new TotalDialog(fixture.services, *sheet);
    fixture.frame.open(dialog);
    pressCompute(dialog);
    QCOMPARE(box(dialog, "编辑框1")->text(), QStringLiteral("30.5"));
    const QStringList expected = {u"-29.5"_s, u"-20.5"_s, u"69.5"_s};
    for (int i = 0; i < expected.size(); ++i) {
        QTest::keyClick(box(dialog, "编辑框3"), "100"[i]);
        QCOMPARE(box(dialog, "编辑框4")->text(), expected[i]);
    }
    QTest::keyClick(box(dialog, "编辑框3"), Qt::Key_Backspace);
    QCOMPARE(box(dialog, "编辑框4")->text(), QStringLiteral("-20.5"));
    QCOMPARE(sheet->cell(1, LedgerSheet::Total), QStringLiteral("10")); // the ledger is only read
}

void TestTotalDialog::changeFollowsTheSumBox_data() {
    QTest::addColumn<QString>("typedSum");
    QTest::addColumn<QString>("changeBeforeCompute");
    QTest::addColumn<QString>("change");
    QTest::newRow("paid before 计算")
        << QString() << QStringLiteral("100") << QStringLiteral("69.5");
    QTest::newRow("sum typed by hand")
        << QStringLiteral("50") << QStringLiteral("50") << QStringLiteral("69.5");
}

// The change always agrees with the sum shown, whether the sum came before the amount paid,
// after it, or was typed by hand.
void TestTotalDialog::changeFollowsTheSumBox() {
    QFETCH(QString, typedSum);
    QFETCH(QString, changeBeforeCompute);
    QFETCH(QString, change);
    GuiFixture fixture;
    auto sheet = ledgerWithTotals({QStringLiteral("10"), QStringLiteral("20.5")});
    auto* dialog = new TotalDialog(fixture.services, *sheet);
    fixture.frame.open(dialog);
    QTest::keyClicks(box(dialog, "编辑框1"), typedSum);
    QTest::keyClicks(box(dialog, "编辑框3"), QStringLiteral("100"));
    QCOMPARE(box(dialog, "编辑框4")->text(), changeBeforeCompute);
    pressCompute(dialog);
    QCOMPARE(box(dialog, "编辑框4")->text(), change);
    box(dialog, "编辑框1")->selectAll();
    QTest::keyClicks(box(dialog, "编辑框1"), QStringLiteral("120"));
    QCOMPARE(box(dialog, "编辑框4")->text(), QStringLiteral("-20"));
}

QTEST_MAIN(TestTotalDialog)
#include "test_totaldialog.moc"
