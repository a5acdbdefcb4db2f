#include "expectedlocale.h"
#include "guifixture.h"
#include "ledger/ledgeredits.h"
#include "ledger/ledgerlimits.h"
#include "ledger/recorddialog.h"
#include "ledger/remarkedit.h"

#include <QClipboard>
#include <QFontDatabase>
#include <QGuiApplication>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QSignalSpy>
#include <QTest>
#include <QTextBlock>

using namespace vellumar;

namespace {

using Rows = QList<QStringList>;

// A sheet with the changes the dialogs make to it, as a ledger window has them.
struct EditedSheet : LedgerSheet {
    explicit EditedSheet(int rowCount) : LedgerSheet(rowCount) {}
    LedgerEdits edits{*this};
};

// A sheet whose rows start with the given cells; row 0 holds the titles unless rows say otherwise.
std::unique_ptr<EditedSheet> sheetOf(int rowCount, const Rows& rows = {}, bool titles = true) {
    auto sheet = std::make_unique<EditedSheet>(rowCount);
    if (titles)
        sheet->applyTitles();
    for (int row = 0; row < rows.size(); ++row)
        for (int column = 0; column < rows[row].size(); ++column)
            sheet->setCell(titles ? row + 1 : row, column, rows[row][column]);
    return sheet;
}

QStringList rowOf(const LedgerSheet& sheet, int row) {
    QStringList cells;
    for (int column = 0; column < LedgerSheet::ColumnCount; ++column)
        cells << sheet.cell(row, column);
    return cells;
}

QLineEdit* box(QWidget* dialog, const char* name) {
    return GuiFixture::control<QLineEdit>(dialog, name);
}

// Steps like "2:3 4:2.5": box number, colon, what is typed into it.
QStringList steps(const char* list) {
    return QString::fromUtf8(list).split(u' ');
}

QPlainTextEdit* remark(QWidget* dialog) {
    return GuiFixture::control<QPlainTextEdit>(dialog, "编辑框5");
}

// Fills the form as an operator would, one keystroke at a time where the keys exist.
void typeInto(QWidget* target, const QString& text) {
    target->setFocus();
    if (auto* line = qobject_cast<QLineEdit*>(target); line && text.toLatin1() != text.toUtf8())
        line->insert(text); // Chinese text arrives through the input method in one piece
    else
        QTest::keyClicks(target, text);
}

const QStringList stockRecord = {QStringLiteral("3"),
                                 QStringLiteral("康师傅红烧牛肉面"),
                                 QStringLiteral("3"),
                                 QStringLiteral("箱"),
                                 QStringLiteral("2.5"),
                                 QStringLiteral("7"),
                                 QStringLiteral("2026-12-01 08:00:00"),
                                 QStringLiteral("赊账\n月底结清")};

} // namespace

class TestRecordDialogs : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void initTestCase() {
        GuiFixture::prepareProcess();
        const QString locale = checkExpectedLocale();
        QVERIFY2(locale.isEmpty(), qPrintable(locale));
    }
    void bothDialogsShareTheDesign_data();
    void bothDialogsShareTheDesign();
    void recordLandsInFirstFreeRow_data();
    void recordLandsInFirstFreeRow();
    void totalFollowsQuantityAndPrice_data();
    void totalFollowsQuantityAndPrice();
    void keyboard_data();
    void keyboard();
    void editShowsStoredTotalThenRecomputes();
    void editWritesBack_data();
    void editWritesBack();
    void editNeedsARecordRow_data();
    void editNeedsARecordRow();
    void editShowsTheStartOfEveryBox();
    void remarkShowsWholeLines_data();
    void remarkShowsWholeLines();
    void boxesTakeNoMoreThanACell_data();
    void boxesTakeNoMoreThanACell();
    void dialogSaysHowItClosed_data();
    void dialogSaysHowItClosed();
};

void TestRecordDialogs::bothDialogsShareTheDesign_data() {
    QTest::addColumn<bool>("edit");
    QTest::addColumn<QString>("caption");
    QTest::addColumn<QString>("confirm");
    QTest::newRow("add") << false << QStringLiteral("增加记录") << QStringLiteral("确认增加");
    QTest::newRow("edit") << true << QStringLiteral("编辑记录") << QStringLiteral("确认修改");
}

void TestRecordDialogs::bothDialogsShareTheDesign() {
    QFETCH(bool, edit);
    QFETCH(QString, caption);
    QFETCH(QString, confirm);
    GuiFixture fixture;
    auto sheet = sheetOf(5);
    QWidget* dialog =
        edit ? static_cast<QWidget*>(new EditRecordDialog(fixture.services, sheet->edits, 1))
             : new AddRecordDialog(fixture.services, sheet->edits);
    fixture.frame.open(dialog);
    QCOMPARE(dialog->windowTitle(), caption);
    QCOMPARE(dialog->size(), QSize(395, 297));
    QCOMPARE(dialog->minimumSize(), dialog->maximumSize());
    QVERIFY(
        !(dialog->windowFlags() & (Qt::WindowMinimizeButtonHint | Qt::WindowMaximizeButtonHint)));

    auto* banner = GuiFixture::control<QLabel>(dialog, "标签1");
    QCOMPARE(banner->text(), caption);
    QCOMPARE(banner->font().pixelSize(), 21);
    // Chinese in the Kai face (Latin letters take a serif face before it).
    if (QFontDatabase::families().contains(QStringLiteral("AR PL UKai CN")))
        QVERIFY(banner->font().families().contains(QStringLiteral("AR PL UKai CN")));
    const QImage look = dialog->grab().toImage();
    QCOMPARE(look.pixelColor(4, 4), QColor(0, 136, 255));
    QCOMPARE(GuiFixture::control<QPushButton>(dialog, "按钮1")->text(), confirm);
    QCOMPARE(GuiFixture::control<QPushButton>(dialog, "按钮2")->text(), QStringLiteral("取消"));

    // Each box is announced by the label beside it, and Tab walks them top to bottom.
    struct Stop {
        const char* name;
        const char* label;
        QRect geometry;
    };
    const Stop order[] = {
        {"编辑框1", "标签2", {152, 56, 200, 20}},  {"编辑框2", "标签7", {152, 88, 80, 20}},
        {"编辑框3", "标签6", {296, 88, 56, 20}},   {"编辑框4", "标签3", {152, 120, 200, 20}},
        {"编辑框6", "标签5", {152, 152, 200, 20}}, {"编辑框5", "标签4", {152, 184, 200, 48}},
        {"按钮1", nullptr, {64, 240, 96, 24}},     {"按钮2", nullptr, {216, 240, 96, 24}}};
    QCOMPARE(dialog->focusWidget(), GuiFixture::control<QWidget>(dialog, "编辑框1"));
    for (const Stop& stop : order) {
        QWidget* focus = dialog->focusWidget();
        QCOMPARE(focus->objectName(), QString::fromUtf8(stop.name));
        QCOMPARE(focus->geometry(), stop.geometry);
        if (stop.label) {
            auto* label = GuiFixture::control<QLabel>(dialog, stop.label);
            QCOMPARE(label->buddy(), focus);
            QCOMPARE(focus->accessibleName(), label->text());
        }
        QTest::keyClick(focus, Qt::Key_Tab);
    }
    QCOMPARE(dialog->focusWidget()->objectName(), QStringLiteral("编辑框1"));
}

void TestRecordDialogs::recordLandsInFirstFreeRow_data() {
    QTest::addColumn<int>("rowCount");
    QTest::addColumn<Rows>("rows");
    QTest::addColumn<bool>("titles");
    QTest::addColumn<int>("target");
    const QStringList record = {QStringLiteral("9"), QStringLiteral("旧")};
    // A free row keeps whatever else it held until the new record overwrites all eight cells.
    const QStringList leftover = {QString(),
                                  QStringLiteral("残留"),
                                  QString(),
                                  QString(),
                                  QString(),
                                  QString(),
                                  QStringLiteral("2020-01-01 00:00:00"),
                                  QStringLiteral("旧备注")};
    QTest::newRow("titles only") << 1000 << Rows{} << true << 1;
    QTest::newRow("after records") << 1000 << Rows{record, record} << true << 3;
    QTest::newRow("gap above the last record")
        << 1000 << Rows{record, leftover, record} << true << 2;
    QTest::newRow("full sheet grows") << 4 << Rows{record, record, record} << true << 4;
    QTest::newRow("title row left empty by a file") << 10 << Rows{{}, record} << false << 2;
    QTest::newRow("sheet without rows") << 0 << Rows{} << false << 1;
}

void TestRecordDialogs::recordLandsInFirstFreeRow() {
    QFETCH(int, rowCount);
    QFETCH(Rows, rows);
    QFETCH(bool, titles);
    QFETCH(int, target);
    GuiFixture fixture;
    auto sheet = sheetOf(rowCount, rows, titles);
    QList<QStringList> untouched;
    for (int row = 0; row < sheet->rowCount(); ++row)
        untouched << rowOf(*sheet, row);

    auto* dialog = new AddRecordDialog(fixture.services, sheet->edits);
    fixture.frame.open(dialog);
    typeInto(box(dialog, "编辑框1"), QStringLiteral("农夫山泉"));
    typeInto(box(dialog, "编辑框2"), QStringLiteral("24"));
    typeInto(box(dialog, "编辑框3"), QStringLiteral("瓶"));
    typeInto(box(dialog, "编辑框4"), QStringLiteral("1.5"));
    remark(dialog)->setPlainText(QStringLiteral("整箱\n进货"));
    // The date is the moment of the click, not of the opening.
    fixture.host.setNow(QDateTime(QDate(2026, 12, 24), QTime(18, 5, 9)));
    QTest::mouseClick(GuiFixture::control<QPushButton>(dialog, "按钮1"), Qt::LeftButton);

    QVERIFY(fixture.windows().isEmpty());
    QCOMPARE(sheet->rowCount(), std::max(rowCount, target + 1));
    QCOMPARE(rowOf(*sheet, target),
             (QStringList{QString::number(target), QStringLiteral("农夫山泉"), QStringLiteral("24"),
                          QStringLiteral("瓶"), QStringLiteral("1.5"), QStringLiteral("36"),
                          QStringLiteral("2026-12-24 18:05:09"), QStringLiteral("整箱\n进货")}));
    for (int row = 0; row < untouched.size(); ++row)
        if (row != target)
            QCOMPARE(rowOf(*sheet, row), untouched[row]);
}

void TestRecordDialogs::totalFollowsQuantityAndPrice_data() {
    // Steps are "box:keys"; "box:" empties the box with Backspace keystrokes.
    QTest::addColumn<QStringList>("steps");
    QTest::addColumn<QString>("total");
    QTest::newRow("quantity then price") << steps("2:3 4:2.5") << QStringLiteral("7.5");
    QTest::newRow("price then quantity") << steps("4:2.5 2:3") << QStringLiteral("7.5");
    QTest::newRow("a further digit") << steps("2:3 4:2.5 2:1") << QStringLiteral("77.5");
    QTest::newRow("price alone") << steps("4:2.5") << QStringLiteral("0");
    QTest::newRow("neither box changed") << steps("1:abc 3:kg") << QString();
    QTest::newRow("typed total kept") << steps("2:3 4:2.5 6: 6:7 1:x 3:kg") << QStringLiteral("7");
    QTest::newRow("typed total replaced by a new quantity")
        << steps("2:3 4:2.5 6: 6:7 2:0") << QStringLiteral("75");
    QTest::newRow("quantity emptied") << steps("2:3 4:2.5 2:") << QStringLiteral("0");
    QTest::newRow("no number in the box") << steps("2:abc 4:2") << QStringLiteral("0");
    // Worked in decimal: plain double arithmetic would show 0.30000000000000004, 3.3000000000000003
    // and 7.050000000000001 here.
    QTest::newRow("decimal fractions") << steps("2:3 4:0.1") << QStringLiteral("0.3");
    QTest::newRow("price with one decimal") << steps("2:3 4:1.1") << QStringLiteral("3.3");
    QTest::newRow("price with two decimals") << steps("2:3 4:2.35") << QStringLiteral("7.05");
    QTest::newRow("half a unit") << steps("2:0.5 4:19.99") << QStringLiteral("9.995");
}

void TestRecordDialogs::totalFollowsQuantityAndPrice() {
    QFETCH(QStringList, steps);
    QFETCH(QString, total);
    GuiFixture fixture;
    auto sheet = sheetOf(3);
    auto* dialog = new AddRecordDialog(fixture.services, sheet->edits);
    fixture.frame.open(dialog);
    for (const QString& step : steps) {
        QLineEdit* target = box(dialog, qPrintable(QStringLiteral("编辑框") + step.left(1)));
        const QString keys = step.mid(2);
        if (keys.isEmpty()) {
            target->setFocus();
            target->end(false);
            while (!target->text().isEmpty())
                QTest::keyClick(target, Qt::Key_Backspace);
        }
        typeInto(target, keys);
    }
    QCOMPARE(box(dialog, "编辑框6")->text(), total);
    QTest::keyClick(box(dialog, "编辑框1"), Qt::Key_Return);
    QCOMPARE(sheet->cell(1, LedgerSheet::Total), total); // stored as shown, not recomputed
}

void TestRecordDialogs::keyboard_data() {
    QTest::addColumn<QString>("where");
    QTest::addColumn<int>("key");
    QTest::addColumn<int>("modifiers");
    QTest::addColumn<bool>("added");
    QTest::addColumn<bool>("open");
    QTest::newRow("Enter in a box confirms")
        << QStringLiteral("编辑框2") << int(Qt::Key_Return) << 0 << true << false;
    QTest::newRow("keypad Enter confirms")
        << QStringLiteral("编辑框6") << int(Qt::Key_Enter) << 0 << true << false;
    QTest::newRow("Enter in the remark is a new line")
        << QStringLiteral("编辑框5") << int(Qt::Key_Return) << 0 << false << true;
    QTest::newRow("Ctrl+Enter in the remark confirms")
        << QStringLiteral("编辑框5") << int(Qt::Key_Return) << int(Qt::ControlModifier) << true
        << false;
    QTest::newRow("Esc cancels") << QStringLiteral("编辑框4") << int(Qt::Key_Escape) << 0 << false
                                 << false;
    QTest::newRow("Enter on 取消 cancels")
        << QStringLiteral("按钮2") << int(Qt::Key_Return) << 0 << false << false;
}

void TestRecordDialogs::keyboard() {
    QFETCH(QString, where);
    QFETCH(int, key);
    QFETCH(int, modifiers);
    QFETCH(bool, added);
    QFETCH(bool, open);
    GuiFixture fixture;
    auto sheet = sheetOf(3);
    auto* dialog = new AddRecordDialog(fixture.services, sheet->edits);
    fixture.frame.open(dialog);
    typeInto(box(dialog, "编辑框2"), QStringLiteral("2"));
    typeInto(remark(dialog), QStringLiteral("a"));
    auto* target = dialog->findChild<QWidget*>(where);
    target->setFocus();
    QTest::keyClick(target, Qt::Key(key), Qt::KeyboardModifiers(modifiers));

    QCOMPARE(fixture.windows().size(), open ? 1 : 0);
    QCOMPARE(sheet->cell(1, LedgerSheet::Quantity), added ? QStringLiteral("2") : QString());
    QCOMPARE(sheet->isFree(1), !added);
    if (added)
        QCOMPARE(sheet->cell(1, LedgerSheet::Remark), QStringLiteral("a"));
    if (open)
        QCOMPARE(remark(dialog)->toPlainText(), QStringLiteral("a\n"));
}

void TestRecordDialogs::editShowsStoredTotalThenRecomputes() {
    GuiFixture fixture;
    auto sheet = sheetOf(5, {stockRecord, stockRecord});
    auto* dialog = new EditRecordDialog(fixture.services, sheet->edits, 2);
    fixture.frame.open(dialog);
    QCOMPARE(box(dialog, "编辑框1")->text(), stockRecord[1]);
    QCOMPARE(box(dialog, "编辑框2")->text(), stockRecord[2]);
    QCOMPARE(box(dialog, "编辑框3")->text(), stockRecord[3]);
    QCOMPARE(box(dialog, "编辑框4")->text(), stockRecord[4]);
    QCOMPARE(box(dialog, "编辑框6")->text(), QStringLiteral("7")); // not 3 × 2.5
    QCOMPARE(remark(dialog)->toPlainText(), stockRecord[7]);
    typeInto(box(dialog, "编辑框1"), QStringLiteral("x"));
    QCOMPARE(box(dialog, "编辑框6")->text(), QStringLiteral("7"));
    typeInto(box(dialog, "编辑框4"), QStringLiteral("0")); // "2.50": same price, yet recomputed
    QCOMPARE(box(dialog, "编辑框6")->text(), QStringLiteral("7.5"));
}

void TestRecordDialogs::editWritesBack_data() {
    QTest::addColumn<int>("row");
    QTest::addColumn<QString>("typed");
    QTest::addColumn<bool>("confirm");
    QTest::addColumn<QStringList>("expected");
    QStringList renumbered = stockRecord;
    renumbered[0] = QStringLiteral("2");
    QTest::newRow("nothing typed renumbers only") << 2 << QString() << true << renumbered;
    QStringList renamed = renumbered;
    renamed[1] += QStringLiteral("x");
    QTest::newRow("new name keeps total and date") << 2 << QStringLiteral("x") << true << renamed;
    QStringList cancelled = stockRecord;
    QTest::newRow("cancel leaves the row") << 2 << QStringLiteral("x") << false << cancelled;
    QTest::newRow("free row gets serial, no date")
        << 4 << QStringLiteral("x") << true
        << QStringList{QStringLiteral("4"), QStringLiteral("x"), {}, {}, {}, {}, {}, {}};
}

void TestRecordDialogs::editWritesBack() {
    QFETCH(int, row);
    QFETCH(QString, typed);
    QFETCH(bool, confirm);
    QFETCH(QStringList, expected);
    GuiFixture fixture;
    auto sheet = sheetOf(6, {stockRecord, stockRecord, stockRecord});
    auto* dialog = new EditRecordDialog(fixture.services, sheet->edits, row);
    fixture.frame.open(dialog);
    QCOMPARE(dialog->focusWidget(), box(dialog, "编辑框1"));
    box(dialog, "编辑框1")->end(false);
    QTest::keyClicks(box(dialog, "编辑框1"), typed);
    fixture.host.setNow(QDateTime(QDate(2027, 1, 1), QTime(0, 0)));
    const char* button = confirm ? "按钮1" : "按钮2";
    QTest::mouseClick(GuiFixture::control<QPushButton>(dialog, button), Qt::LeftButton);

    QVERIFY(fixture.windows().isEmpty());
    QCOMPARE(rowOf(*sheet, row), expected);
    for (int other : {1, 3}) // other records keep their serial numbers
        if (other != row)
            QCOMPARE(rowOf(*sheet, other), stockRecord);
}

void TestRecordDialogs::editNeedsARecordRow_data() {
    QTest::addColumn<int>("row");
    QTest::addColumn<bool>("opens");
    QTest::newRow("no current row") << -1 << false;
    QTest::newRow("title row") << 0 << false;
    QTest::newRow("first record") << 1 << true;
    QTest::newRow("last row") << 4 << true;
    QTest::newRow("past the end") << 5 << false;
}

void TestRecordDialogs::editNeedsARecordRow() {
    QFETCH(int, row);
    QFETCH(bool, opens);
    GuiFixture fixture;
    auto sheet = sheetOf(5, {stockRecord});
    const QStringList titles = rowOf(*sheet, 0);
    QCOMPARE(EditRecordDialog::openFor(fixture.services, sheet->edits, row), opens);
    QCOMPARE(fixture.windows().size(), opens ? 1 : 0);
    if (opens)
        return;
    // Made for such a row anyway, the dialog shows nothing and writes nothing.
    auto* dialog = new EditRecordDialog(fixture.services, sheet->edits, row);
    fixture.frame.open(dialog);
    QVERIFY(box(dialog, "编辑框1")->text().isEmpty());
    QTest::keyClicks(box(dialog, "编辑框1"), QStringLiteral("x"));
    QTest::keyClick(box(dialog, "编辑框1"), Qt::Key_Return);
    QVERIFY(fixture.windows().isEmpty());
    QCOMPARE(rowOf(*sheet, 0), titles);
    QCOMPARE(sheet->rowCount(), 5);
}

// A long product name opens at its start, not scrolled to its end.
void TestRecordDialogs::editShowsTheStartOfEveryBox() {
    GuiFixture fixture;
    QStringList longRecord = stockRecord;
    longRecord[1] = u"特级西湖龙井明前茶叶礼盒装五百克（送礼佳品，附手提袋）"_qs;
    longRecord[4] = u"1234567890.12345678901234567890"_qs;
    auto sheet = sheetOf(3, {longRecord});
    auto* dialog = new EditRecordDialog(fixture.services, sheet->edits, 1);
    fixture.frame.open(dialog);
    for (const char* name : {"编辑框1", "编辑框2", "编辑框3", "编辑框4", "编辑框6"}) {
        QLineEdit* line = box(dialog, name);
        QCOMPARE(line->cursorPosition(), 0);
        // The first character is drawn at the box's left edge.
        QVERIFY2(line->inputMethodQuery(Qt::ImCursorRectangle).toRect().left() < 8, name);
    }
    QCOMPARE(box(dialog, "编辑框1")->text(), longRecord[1]);
}

void TestRecordDialogs::remarkShowsWholeLines_data() {
    QTest::addColumn<int>("lines");
    QTest::addColumn<bool>("toTheEnd");
    QTest::newRow("one line") << 1 << false;
    QTest::newRow("three lines, at the start") << 3 << false;
    QTest::newRow("three lines, scrolled to the end") << 3 << true;
    QTest::newRow("six lines, scrolled to the end") << 6 << true;
}

// However far the remark is scrolled, no line shows only in part.
void TestRecordDialogs::remarkShowsWholeLines() {
    QFETCH(int, lines);
    QFETCH(bool, toTheEnd);
    GuiFixture fixture;
    QStringList record = stockRecord;
    QStringList text;
    for (int line = 1; line <= lines; ++line)
        text << u"第%1行"_qs.arg(line);
    record[7] = text.join(u'\n');
    auto sheet = sheetOf(3, {record});
    auto* dialog = new EditRecordDialog(fixture.services, sheet->edits, 1);
    fixture.frame.open(dialog);
    auto* edit = GuiFixture::control<RemarkEdit>(dialog, "编辑框5");
    QVERIFY(edit);
    QCOMPARE(edit->geometry(), QRect(152, 184, 200, 48));
    QCOMPARE(edit->toPlainText(), record[7]);
    if (toTheEnd) {
        edit->setFocus();
        edit->moveCursor(QTextCursor::End);
        edit->ensureCursorVisible();
    }
    QVERIFY(edit->visibleLines() >= 2);
    int whole = 0;
    for (QTextBlock block = edit->document()->firstBlock(); block.isValid(); block = block.next()) {
        QTextCursor at(block);
        const QRect line = edit->cursorRect(at);
        const int top = line.top();
        const int bottom = top + edit->lineHeight();
        const bool outside = bottom <= 0 || top >= edit->viewport()->height();
        const bool inside = top >= 0 && bottom <= edit->viewport()->height();
        QVERIFY2(outside || inside,
                 qPrintable(u"line %1 at %2..%3 of %4"_qs.arg(block.blockNumber())
                                .arg(top)
                                .arg(bottom)
                                .arg(edit->viewport()->height())));
        whole += inside ? 1 : 0;
    }
    QCOMPARE(whole, std::min(lines, edit->visibleLines()));
    // The label beside the box sits on its first line.
    auto* label = GuiFixture::control<QLabel>(dialog, "标签4");
    const int labelCentre = label->y() + label->contentsRect().center().y();
    QVERIFY(std::abs(labelCentre - (edit->y() + edit->firstLineCentre())) <= 1);
}

void TestRecordDialogs::boxesTakeNoMoreThanACell_data() {
    QTest::addColumn<QString>("name");
    QTest::addColumn<bool>("paste");
    for (const char* name : {"编辑框1", "编辑框2", "编辑框3", "编辑框4", "编辑框6", "编辑框5"})
        for (const bool paste : {false, true})
            QTest::addRow("%s, %s", name, paste ? "pasted" : "set")
                << QString::fromUtf8(name) << paste;
}

// Whatever reaches a box, it never holds more than one ledger cell takes, so the ledger that
// is saved can always be opened again.
void TestRecordDialogs::boxesTakeNoMoreThanACell() {
    QFETCH(QString, name);
    QFETCH(bool, paste);
    GuiFixture fixture;
    auto sheet = sheetOf(3);
    auto* dialog = new AddRecordDialog(fixture.services, sheet->edits);
    fixture.frame.open(dialog);
    auto* target = dialog->findChild<QWidget*>(name);
    const QString start = u"开头"_qs;
    const QString tooMuch = QString(LedgerLimits::MaxCellCharacters, u'长');
    auto* line = qobject_cast<QLineEdit*>(target);
    auto* remarkBox = qobject_cast<QPlainTextEdit*>(target);
    if (line)
        line->setText(start);
    else
        remarkBox->setPlainText(start);
    target->setFocus();
    if (line)
        line->end(false);
    else
        remarkBox->moveCursor(QTextCursor::End);
    if (paste) {
        QGuiApplication::clipboard()->setText(tooMuch);
        if (line)
            line->paste();
        else
            remarkBox->paste();
    } else if (line) {
        line->insert(tooMuch);
    } else {
        remarkBox->insertPlainText(tooMuch);
    }
    const QString held = line ? line->text() : remarkBox->toPlainText();
    QCOMPARE(held.size(), LedgerLimits::MaxCellCharacters);
    QVERIFY(held.startsWith(start)); // what was there stays; the end of the new text goes
    QTest::keyClick(target, Qt::Key_Return, line ? Qt::NoModifier : Qt::ControlModifier);
    QVERIFY(fixture.windows().isEmpty());
    const int column = name == u"编辑框5"_qs   ? LedgerSheet::Remark
                       : name == u"编辑框6"_qs ? LedgerSheet::Total
                                               : name.right(1).toInt();
    QCOMPARE(sheet->cell(1, column).size(), LedgerLimits::MaxCellCharacters);
}

void TestRecordDialogs::dialogSaysHowItClosed_data() {
    QTest::addColumn<QString>("how");
    QTest::addColumn<int>("result");
    QTest::newRow("确认增加") << u"confirm"_qs << int(QDialog::Accepted);
    QTest::newRow("取消") << u"cancel"_qs << int(QDialog::Rejected);
    QTest::newRow("Esc") << u"escape"_qs << int(QDialog::Rejected);
    QTest::newRow("close box") << u"close box"_qs << int(QDialog::Rejected);
}

// Every way out tells once that the dialog finished, and the dialog is gone for good.
void TestRecordDialogs::dialogSaysHowItClosed() {
    QFETCH(QString, how);
    QFETCH(int, result);
    GuiFixture fixture;
    auto sheet = sheetOf(3);
    QPointer<AddRecordDialog> dialog = new AddRecordDialog(fixture.services, sheet->edits);
    QSignalSpy finished(dialog.data(), &QDialog::finished);
    QSignalSpy accepted(dialog.data(), &QDialog::accepted);
    QSignalSpy rejected(dialog.data(), &QDialog::rejected);
    fixture.frame.open(dialog);
    if (how == u"confirm")
        QTest::mouseClick(GuiFixture::control<QPushButton>(dialog, "按钮1"), Qt::LeftButton);
    else if (how == u"cancel")
        QTest::mouseClick(GuiFixture::control<QPushButton>(dialog, "按钮2"), Qt::LeftButton);
    else if (how == u"escape")
        QTest::keyClick(box(dialog, "编辑框1"), Qt::Key_Escape);
    else
        GuiFixture::closeFromFrame(dialog);
    QCOMPARE(finished.size(), 1);
    QCOMPARE(finished.first().first().toInt(), result);
    QCOMPARE(accepted.size(), result == QDialog::Accepted ? 1 : 0);
    QCOMPARE(rejected.size(), result == QDialog::Rejected ? 1 : 0);
    QVERIFY(fixture.windows().isEmpty());
    QTRY_VERIFY(dialog.isNull());
    QCOMPARE(sheet->isFree(1), result != QDialog::Accepted);
}

QTEST_MAIN(TestRecordDialogs)
#include "test_recorddialogs.moc"
