#pragma once

#include "ledger/ledgerrecords.h"

#include <QString>

namespace vellumar {

// One change the operator made to an open ledger, as the recovery journal keeps it: enough to
// make the same change again on the same ledger, in the same order, undo and redo included.
struct LedgerChange {
    enum class Kind : quint8 {
        Add = 1, // a new record: fields and date; the row is the ledger's first free one
        Edit,    // the record in row: fields
        Delete,  // count rows from row on
        Open,    // the grid replaced by a file; snapshot names the copy kept with the journal
        Undo,
        Redo,
    };

    Kind kind = Kind::Add;
    int row = 0;
    int count = 0;
    RecordFields fields;
    QString date;
    QString snapshot;

    bool operator==(const LedgerChange&) const = default;

    static LedgerChange added(const RecordFields& fields, const QString& date) {
        LedgerChange change;
        change.fields = fields;
        change.date = date;
        return change;
    }
    static LedgerChange edited(int row, const RecordFields& fields) {
        LedgerChange change;
        change.kind = Kind::Edit;
        change.row = row;
        change.fields = fields;
        return change;
    }
    static LedgerChange deleted(int first, int count) {
        LedgerChange change;
        change.kind = Kind::Delete;
        change.row = first;
        change.count = count;
        return change;
    }
    static LedgerChange opened(const QString& snapshot) {
        LedgerChange change;
        change.kind = Kind::Open;
        change.snapshot = snapshot;
        return change;
    }
    static LedgerChange step(Kind undoOrRedo) {
        LedgerChange change;
        change.kind = undoOrRedo;
        return change;
    }
};

} // namespace vellumar
