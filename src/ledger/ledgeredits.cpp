#include "ledger/ledgeredits.h"

#include "ledger/ledgerfile.h"

#include <QDir>
#include <QUndoCommand>
#include <QUndoStack>

namespace vellumar {

ChangeRecorder::~ChangeRecorder() = default;

// A step of the undo stack. The change is made before the step is pushed, so the stack's first
// redo only takes note; every later redo and undo is written down as such.
class LedgerEdits::Step : public QUndoCommand {
public:
    Step(LedgerEdits& edits, const QString& text) : QUndoCommand(text), m_edits(edits) {}

    void redo() final {
        if (m_made) {
            m_edits.record(LedgerChange::step(LedgerChange::Kind::Redo));
            apply();
            touched(true);
        }
        m_made = true;
    }
    void undo() final {
        m_edits.record(LedgerChange::step(LedgerChange::Kind::Undo));
        revert();
        touched(false);
    }

protected:
    LedgerSheet& sheet() const { return m_edits.m_sheet; }
    virtual void apply() = 0;
    virtual void revert() = 0;
    // Where the change shows once made (applied) or undone: the first row and how many rows
    // hold it (none where they are gone).
    virtual std::pair<int, int> rows(bool applied) const = 0;

private:
    void touched(bool applied) {
        const auto [first, count] = rows(applied);
        Q_EMIT m_edits.rowsTouched(first, count);
    }

    LedgerEdits& m_edits;
    bool m_made = false;
};

// A record written into one row (added or edited), with the rows added at the end to make room.
class LedgerEdits::RowWrite final : public Step {
public:
    RowWrite(LedgerEdits& edits, const QString& text, int row, LedgerSheet::Row before,
             int rowsBefore)
        : Step(edits, text), m_row(row), m_before(std::move(before)), m_after(sheet().row(row)),
          m_rowsBefore(rowsBefore), m_rowsAfter(sheet().rowCount()) {}

private:
    void apply() override {
        while (sheet().rowCount() < m_rowsAfter)
            sheet().appendRow();
        sheet().setRow(m_row, m_after);
    }
    void revert() override {
        sheet().setRow(m_row, m_before);
        if (sheet().rowCount() > m_rowsBefore)
            sheet().takeRows(m_rowsBefore, sheet().rowCount() - m_rowsBefore);
    }
    std::pair<int, int> rows(bool) const override { return {m_row, 1}; }

    const int m_row;
    const LedgerSheet::Row m_before;
    const LedgerSheet::Row m_after;
    const int m_rowsBefore;
    const int m_rowsAfter;
};

// Rows deleted as a block; the step holds them, moved out of the sheet.
class LedgerEdits::RowsDelete final : public Step {
public:
    RowsDelete(LedgerEdits& edits, int first, LedgerSheet::TakenRows taken)
        : Step(edits, QStringLiteral("删除记录")), m_first(first), m_count(taken.count()),
          m_taken(std::move(taken)) {}

private:
    void apply() override { m_taken = sheet().takeRows(m_first, m_count); }
    void revert() override { sheet().insertRows(m_first, std::move(m_taken)); }
    std::pair<int, int> rows(bool applied) const override {
        return {m_first, applied ? 0 : m_count};
    }

    const int m_first;
    const int m_count;
    LedgerSheet::TakenRows m_taken;
};

// The whole grid exchanged for another one ("打开"); the step holds the grid not shown.
class LedgerEdits::ContentSwap final : public Step {
public:
    ContentSwap(LedgerEdits& edits, LedgerSheet::Content other)
        : Step(edits, QStringLiteral("打开文件")), m_other(std::move(other)) {}

private:
    void apply() override { sheet().swapContent(m_other); }
    void revert() override { sheet().swapContent(m_other); }
    std::pair<int, int> rows(bool) const override { return {1, 0}; }

    LedgerSheet::Content m_other;
};

LedgerEdits::LedgerEdits(LedgerSheet& sheet, QObject* parent)
    : QObject(parent), m_sheet(sheet), m_stack(new QUndoStack(this)) {
    m_stack->setUndoLimit(UndoLimit);
}

LedgerEdits::~LedgerEdits() = default;

void LedgerEdits::setRecorder(ChangeRecorder* recorder) {
    m_recorder = recorder;
}

void LedgerEdits::record(const LedgerChange& change) {
    if (m_replaying || !m_recorder)
        return;
    if (Status recorded = m_recorder->record(change); !recorded)
        dropRecorder(recorded);
}

void LedgerEdits::dropRecorder(const Status& why) {
    m_recorder = nullptr;
    Q_EMIT recordingFailed(why);
}

void LedgerEdits::push(Step* step) {
    m_stack->push(step);
}

Result<int> LedgerEdits::addRecord(const RecordFields& fields, const QString& date) {
    const int rowsBefore = m_sheet.rowCount();
    const int target = m_sheet.firstFreeRow();
    const LedgerSheet::Row before = m_sheet.row(target);
    const Result<int> added = LedgerRecords::add(m_sheet, fields, date);
    if (!added)
        return added;
    record(LedgerChange::added(fields, date));
    // Rows added to make room were empty before, like a free row.
    push(new RowWrite(*this, QStringLiteral("增加记录"), *added,
                      *added == target ? before : LedgerSheet::Row(), rowsBefore));
    return added;
}

Status LedgerEdits::editRecord(int row, const RecordFields& fields) {
    const LedgerSheet::Row before = m_sheet.row(row);
    const int rowsBefore = m_sheet.rowCount();
    if (Status edited = LedgerRecords::edit(m_sheet, row, fields); !edited)
        return edited;
    record(LedgerChange::edited(row, fields));
    push(new RowWrite(*this, QStringLiteral("编辑记录"), row, before, rowsBefore));
    return Status();
}

void LedgerEdits::deleteRows(int first, int count) {
    // The titles are never part of a deletion.
    first = std::max(first, 1);
    count = std::min(count, m_sheet.rowCount() - first);
    if (count <= 0)
        return;
    record(LedgerChange::deleted(first, count));
    LedgerSheet::TakenRows taken = m_sheet.takeRows(first, count);
    push(new RowsDelete(*this, first, std::move(taken)));
}

Status LedgerEdits::openFile(const QString& path) {
    LedgerSheet loaded(0);
    if (Status read = LedgerFile::load(path, loaded); !read)
        return read;
    if (m_recorder && !m_replaying) {
        if (const Result<QString> kept = m_recorder->keepOpened(loaded); kept)
            record(LedgerChange::opened(*kept));
        else
            dropRecorder(kept.status());
    }
    LedgerSheet::Content content;
    loaded.swapContent(content);
    return openContent(std::move(content));
}

Status LedgerEdits::openContent(LedgerSheet::Content content) {
    m_sheet.swapContent(content);
    push(new ContentSwap(*this, std::move(content)));
    return Status();
}

void LedgerEdits::undo() {
    m_stack->undo();
}

void LedgerEdits::redo() {
    m_stack->redo();
}

void LedgerEdits::markSaved() {
    m_stack->setClean();
    m_recovered = false;
}

bool LedgerEdits::hasUnsavedChanges() const {
    return m_recovered || !m_stack->isClean();
}

LedgerEdits::Replayed LedgerEdits::replay(const QList<LedgerChange>& changes,
                                          const QString& snapshotFolder) {
    Replayed replayed;
    m_replaying = true;
    const auto stop = [&](const QString& why) {
        replayed.stoppedBy = Status::failure(
            QStringLiteral("第 %1 项修改无法在账目上重做：%2").arg(replayed.made + 1).arg(why));
    };
    for (const LedgerChange& change : changes) {
        Status made;
        switch (change.kind) {
        case LedgerChange::Kind::Add:
            made = addRecord(change.fields, change.date).status();
            break;
        case LedgerChange::Kind::Edit:
            made = editRecord(change.row, change.fields);
            break;
        case LedgerChange::Kind::Delete:
            if (change.row < 1 || change.count < 1 ||
                change.count > m_sheet.rowCount() - change.row)
                made = Status::failure(QStringLiteral("要删除的行不在账目中。"));
            else
                deleteRows(change.row, change.count);
            break;
        case LedgerChange::Kind::Open:
            made = openFile(QDir(snapshotFolder).filePath(change.snapshot));
            break;
        case LedgerChange::Kind::Undo:
        case LedgerChange::Kind::Redo: {
            const bool undo = change.kind == LedgerChange::Kind::Undo;
            if (undo ? !m_stack->canUndo() : !m_stack->canRedo())
                made = Status::failure(undo ? QStringLiteral("没有可以撤销的修改。")
                                            : QStringLiteral("没有可以重做的修改。"));
            else if (undo)
                m_stack->undo();
            else
                m_stack->redo();
            break;
        }
        }
        if (!made) {
            stop(made.message());
            break;
        }
        ++replayed.made;
    }
    m_replaying = false;
    m_recovered = m_recovered || replayed.made > 0;
    return replayed;
}

} // namespace vellumar
