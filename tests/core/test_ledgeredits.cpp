#include "checks.h"
#include "ledger/ledgeredits.h"
#include "ledger/ledgerfile.h"
#include "sheetcells.h"

#include <QBuffer>
#include <QRandomGenerator>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <QUndoStack>

using namespace vellumar;

namespace {

using Cells = QList<QStringList>;
// A ledger as a loader makes it: its rows borrow their text from the loader's block.
QByteArray ledgerBytes(int records, int freeRows, const QString& product = u"大米"_qs) {
    QByteArray bytes = "\xEF\xBB\xBF" + LedgerSheet::titles().join(u',').toUtf8() + "\r\n";
    for (int row = 1; row <= records; ++row)
        bytes += QStringLiteral("%1,%2%1,2,袋,2.5,5,2026-12-0%3 09:00:00,\"备注，第%1条\"\r\n")
                     .arg(QString::number(row), product, QString::number(row % 9 + 1))
                     .toUtf8();
    for (int row = 0; row < freeRows; ++row)
        bytes += ",,,,,,,\r\n";
    return bytes;
}

void load(LedgerSheet& sheet, QByteArray bytes) {
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::ReadOnly);
    must(LedgerFile::read(buffer, sheet));
}

RecordFields fields(const QString& product) {
    return {product, u"3"_qs, u"箱"_qs, u"2.5"_qs, u"7.5"_qs, u"赊账\n月底结清"_qs};
}

// Keeps what it is told, as a journal would.
class ListRecorder final : public ChangeRecorder {
public:
    QList<LedgerChange> changes;
    QString folder;
    int opened = 0;
    Result<QString> keepOpened(const LedgerSheet& sheet) override {
        const QString name = QStringLiteral("opened-%1.z").arg(++opened);
        if (Status saved = LedgerFile::save(folder + u'/' + name, sheet); !saved)
            return saved;
        return name;
    }
    Status record(const LedgerChange& change) override {
        changes.append(change);
        return Status();
    }
};

} // namespace

class TestLedgerEdits : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void everyStepUndoesAndRedoesExactly_data();
    void everyStepUndoesAndRedoesExactly();
    void refusedChangeIsNoStep();
    void savedMarksTheStackClean();
    void replayMakesTheSameLedgerAndHistory();
    void refusingRecorderIsToldOnceAndDropped();
};

void TestLedgerEdits::everyStepUndoesAndRedoesExactly_data() {
    QTest::addColumn<QString>("step");
    QTest::addColumn<int>("records"); // in the ledger before, with 4 free rows after them
    QTest::addColumn<int>("first");
    QTest::addColumn<int>("count");
    QTest::addColumn<QString>("undoText");

    QTest::newRow("add into the first free row") << "add" << 5 << 0 << 0 << "撤销 增加记录";
    QTest::newRow("add to a full ledger grows it") << "add full" << 5 << 0 << 0 << "撤销 增加记录";
    QTest::newRow("add to a ledger without rows") << "add empty" << 0 << 0 << 0 << "撤销 增加记录";
    QTest::newRow("edit renumbers, keeps the date") << "edit" << 5 << 3 << 0 << "撤销 编辑记录";
    QTest::newRow("delete at the top") << "delete" << 8 << 1 << 3 << "撤销 删除记录";
    QTest::newRow("delete in the middle") << "delete" << 8 << 4 << 2 << "撤销 删除记录";
    QTest::newRow("delete at the bottom") << "delete" << 8 << 11 << 2 << "撤销 删除记录";
    QTest::newRow("delete the whole sheet") << "delete" << 8 << 1 << 12 << "撤销 删除记录";
    QTest::newRow("delete most of it") << "delete" << 8 << 2 << 10 << "撤销 删除记录";
    QTest::newRow("open another file") << "open" << 8 << 0 << 0 << "撤销 打开文件";
}

// Undo gives back exactly the cells, serial numbers and row count from before the step; redo
// exactly those after it, as often as the operator goes back and forth.
void TestLedgerEdits::everyStepUndoesAndRedoesExactly() {
    QFETCH(QString, step);
    QFETCH(int, records);
    QFETCH(int, first);
    QFETCH(int, count);
    QFETCH(QString, undoText);
    QTemporaryDir folder;
    LedgerSheet sheet(0);
    if (step != u"add empty")
        load(sheet, ledgerBytes(records, step == u"add full" ? 0 : 4));
    LedgerEdits edits(sheet);
    QUndoStack& stack = edits.undoStack();
    QSignalSpy touched(&edits, &LedgerEdits::rowsTouched);
    const Cells before = cellsOf(sheet);

    if (step.startsWith(u"add")) {
        QVERIFY(edits.addRecord(fields(u"方便面"_qs), u"2026-12-09 09:30:15"_qs).ok());
    } else if (step == u"edit") {
        QVERIFY(edits.editRecord(first, fields(u"改过的"_qs)).ok());
        QCOMPARE(sheet.cell(first, LedgerSheet::Date), before[first][LedgerSheet::Date]);
    } else if (step == u"delete") {
        edits.deleteRows(first, count);
        QCOMPARE(sheet.rowCount(),
                 int(before.size()) - std::min(count, int(before.size()) - first));
    } else {
        const QString other = folder.filePath(u"other.z"_qs);
        QFile file(other);
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write(ledgerBytes(3, 1, u"别人的"_qs));
        file.close();
        QVERIFY(edits.openFile(other).ok());
        QCOMPARE(sheet.cell(1, LedgerSheet::Product), u"别人的1"_qs);
    }
    const Cells after = cellsOf(sheet);
    QVERIFY(after != before);
    QCOMPARE(stack.count(), 1);
    QCOMPARE(stack.undoText(), undoText.mid(3));
    QVERIFY(touched.isEmpty()); // the change itself shows where it was made

    for (int round = 0; round < 2; ++round) {
        stack.undo();
        QCOMPARE(cellsOf(sheet), before);
        QVERIFY(!stack.canUndo());
        stack.redo();
        QCOMPARE(cellsOf(sheet), after);
    }
    QCOMPARE(touched.size(), 4);
}

void TestLedgerEdits::refusedChangeIsNoStep() {
    LedgerSheet sheet(0);
    load(sheet, ledgerBytes(2, 1));
    LedgerEdits edits(sheet);
    const Cells before = cellsOf(sheet);
    RecordFields tooLong = fields(u"x"_qs);
    tooLong.remark = QString(LedgerLimits::MaxCellCharacters + 1, u'长');
    QVERIFY(!edits.addRecord(tooLong, u"2026-12-09"_qs).ok());
    QVERIFY(!edits.editRecord(0, fields(u"标题"_qs)).ok());
    edits.deleteRows(0, 0);
    edits.deleteRows(sheet.rowCount(), 3);
    QVERIFY(!edits.openFile(u"/nonexistent/ledger.z"_qs).ok());
    QCOMPARE(cellsOf(sheet), before);
    QCOMPARE(edits.undoStack().count(), 0);
    QVERIFY(!edits.hasUnsavedChanges());
}

void TestLedgerEdits::savedMarksTheStackClean() {
    LedgerSheet sheet(0);
    load(sheet, ledgerBytes(2, 2));
    LedgerEdits edits(sheet);
    QVERIFY(edits.addRecord(fields(u"一"_qs), u"d"_qs).ok());
    QVERIFY(edits.hasUnsavedChanges());
    edits.markSaved();
    QVERIFY(!edits.hasUnsavedChanges());
    // Going back past the save is a change again.
    edits.undo();
    QVERIFY(edits.hasUnsavedChanges());
    edits.redo();
    QVERIFY(!edits.hasUnsavedChanges());
}

// What a journal kept of any mix of changes, undo and redo included, made again on the ledger it
// started from, gives the same cells and the same history to undo.
void TestLedgerEdits::replayMakesTheSameLedgerAndHistory() {
    QTemporaryDir folder;
    const QByteArray start = ledgerBytes(6, 3);
    const QString other = folder.filePath(u"other.z"_qs);
    {
        LedgerSheet sheet(0);
        load(sheet, ledgerBytes(4, 2, u"别人的"_qs));
        must(LedgerFile::save(other, sheet));
    }
    QRandomGenerator random(1209);
    LedgerSheet sheet(0);
    load(sheet, start);
    LedgerEdits edits(sheet);
    ListRecorder recorder;
    recorder.folder = folder.path();
    edits.setRecorder(&recorder);
    for (int step = 0; step < 300; ++step) {
        const int rows = sheet.rowCount();
        switch (random.bounded(7)) {
        case 0:
        case 1:
            QVERIFY(edits.addRecord(fields(QString::number(step)), QString::number(step)).ok());
            break;
        case 2:
            if (rows > 1)
                QVERIFY(edits.editRecord(1 + random.bounded(rows - 1), fields(u"改"_qs)).ok());
            break;
        case 3:
            edits.deleteRows(random.bounded(rows + 1), random.bounded(4));
            break;
        case 4:
            if (random.bounded(10) == 0)
                QVERIFY(edits.openFile(other).ok());
            break;
        case 5:
            edits.undo();
            break;
        default:
            edits.redo();
            break;
        }
    }
    QVERIFY(recorder.changes.size() > 200);

    LedgerSheet again(0);
    load(again, start);
    LedgerEdits replayed(again);
    const LedgerEdits::Replayed outcome = replayed.replay(recorder.changes, folder.path());
    QVERIFY2(outcome.stoppedBy.ok(), qPrintable(outcome.stoppedBy.message()));
    QCOMPARE(outcome.made, int(recorder.changes.size()));
    QCOMPARE(cellsOf(again), cellsOf(sheet));
    QVERIFY(replayed.hasUnsavedChanges());
    QCOMPARE(replayed.undoStack().count(), edits.undoStack().count());
    QCOMPARE(replayed.undoStack().index(), edits.undoStack().index());
    while (edits.undoStack().canUndo()) {
        edits.undo();
        replayed.undo();
        QCOMPARE(cellsOf(again), cellsOf(sheet));
    }
}

void TestLedgerEdits::refusingRecorderIsToldOnceAndDropped() {
    class Refusing final : public ChangeRecorder {
    public:
        int asked = 0;
        Result<QString> keepOpened(const LedgerSheet&) override {
            return Status::failure(u"满"_qs);
        }
        Status record(const LedgerChange&) override {
            ++asked;
            return Status::failure(u"磁盘空间已满"_qs);
        }
    } refusing;
    LedgerSheet sheet(0);
    load(sheet, ledgerBytes(2, 2));
    LedgerEdits edits(sheet);
    edits.setRecorder(&refusing);
    QSignalSpy failed(&edits, &LedgerEdits::recordingFailed);
    QVERIFY(edits.addRecord(fields(u"一"_qs), u"d"_qs).ok());
    QVERIFY(edits.addRecord(fields(u"二"_qs), u"d"_qs).ok());
    edits.undo();
    QCOMPARE(refusing.asked, 1);
    QCOMPARE(failed.size(), 1);
    QVERIFY(!edits.isRecording());
    // The changes themselves went in regardless.
    QCOMPARE(sheet.cell(3, LedgerSheet::Product), u"一"_qs);
    QCOMPARE(edits.undoStack().index(), 1);
}

QTEST_GUILESS_MAIN(TestLedgerEdits)
#include "test_ledgeredits.moc"
