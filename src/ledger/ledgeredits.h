#pragma once

#include "ledger/ledgerchange.h"
#include "ledger/ledgerrecords.h"
#include "ledger/ledgersheet.h"
#include "storage/status.h"

#include <QList>
#include <QObject>
#include <QString>

class QUndoStack;

namespace vellumar {

// Where the changes to an open ledger are written down as they are made (the recovery journal).
class ChangeRecorder {
public:
    virtual ~ChangeRecorder();
    // Keeps a copy of the ledger that "打开" is about to show; answers the name a change of kind
    // Open refers to it by.
    virtual Result<QString> keepOpened(const LedgerSheet& opened) = 0;
    virtual Status record(const LedgerChange& change) = 0;
};

// The one way the program changes an open ledger: the record dialogs, "删除记录" and "打开"
// all go through here. Each change is one step of the undo stack, named for the operator
// ("增加记录", "编辑记录", "删除记录", "打开文件"), and one entry of the recorder when there is
// one.
//
// Steps keep only what they need to go back: a delete keeps the rows it took out (moved, not
// copied, so deleting a million records and undoing that neither copies a cell nor takes the
// memory twice), an edit the row as it was, "打开" the whole grid it replaced. Undo and redo
// restore exactly the rows, serial numbers and row count, and are recorded too.
//
// QUndoStack lives in QtGui in Qt 6; it is the one piece of QtGui the core uses, and it needs
// no windows.
class LedgerEdits final : public QObject {
    Q_OBJECT

public:
    // How many steps can be undone; older ones are forgotten.
    static constexpr int UndoLimit = 100;

    explicit LedgerEdits(LedgerSheet& sheet, QObject* parent = nullptr);
    ~LedgerEdits() override;

    LedgerSheet& sheet() const { return m_sheet; }
    QUndoStack& undoStack() const { return *m_stack; }

    // Changes are written to the recorder from now on (nothing: not written down). A recorder
    // that refuses is told of once and not used again until setRecorder is called anew.
    void setRecorder(ChangeRecorder* recorder);
    bool isRecording() const { return m_recorder != nullptr; }

    // A new record in the first free row (LedgerRecords::add); answers its row.
    Result<int> addRecord(const RecordFields& fields, const QString& date);
    // The record in the row gets the fields (LedgerRecords::edit).
    Status editRecord(int row, const RecordFields& fields);
    // Deletes count rows from first on, below the titles; nothing outside the records.
    void deleteRows(int first, int count);
    // Replaces the whole grid by a ledger file ("打开"); the grid stays as it was when the file
    // cannot be read.
    Status openFile(const QString& path);
    void undo();
    void redo();

    // The ledger has reached its file: what is shown now is what the file holds.
    void markSaved();
    // Whether the grid differs from what was last loaded or saved.
    bool hasUnsavedChanges() const;

    // Makes the changes again, in order, without writing them down: what a recovery journal
    // kept of a run that ended without saving. snapshotFolder holds the copies that changes of
    // kind Open name. Stops at the first change that cannot be made the way it was made.
    struct Replayed {
        int made = 0;
        Status stoppedBy; // ok when every change was made
    };
    Replayed replay(const QList<LedgerChange>& changes, const QString& snapshotFolder);

Q_SIGNALS:
    // The recorder refused a change; later changes are not written down.
    void recordingFailed(const Status& why);
    // A step was made, undone or redone; these rows show what it changed (count 0: the grid
    // as a whole).
    void rowsTouched(int first, int count);

private:
    class Step;
    class RowWrite;
    class RowsDelete;
    class ContentSwap;

    void record(const LedgerChange& change);
    void dropRecorder(const Status& why);
    void push(Step* step);
    Status openContent(LedgerSheet::Content content);

    LedgerSheet& m_sheet;
    QUndoStack* m_stack;
    ChangeRecorder* m_recorder = nullptr;
    bool m_replaying = false;
    // The grid was filled from a journal: it differs from the file even where the stack is clean.
    bool m_recovered = false;
};

} // namespace vellumar
