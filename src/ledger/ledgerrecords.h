#pragma once

#include "ledger/ledgerlimits.h"
#include "ledger/ledgersheet.h"
#include "storage/status.h"

#include <QString>
#include <QStringView>

namespace vellumar {

// What the operator types for one goods record. The serial number and the date are not among
// them: the ledger gives those.
struct RecordFields {
    QString product;
    QString quantity;
    QString unit;
    QString unitPrice;
    QString total;
    QString remark;

    bool operator==(const RecordFields&) const = default;
};

// The bookkeeping on a ledger sheet that the record dialogs and the totals ask for. Records are
// addressed by row; row 0 holds the titles and is never a record.
namespace LedgerRecords {

// Whether a serial-number cell holds a record's number: a whole number written in digits
// (ASCII or full width), with blanks around it allowed.
bool isSerialNumber(QStringView text);

// Puts the titles into a sheet just loaded. When row 0 holds a record (its first cell is a
// serial number, as in a ledger whose title row was removed in a spreadsheet) the record is
// kept and a title row goes above it; any other row 0 gets the titles written over it.
// Answers whether a title row was added. Refused, with the sheet as it was, when a ledger at
// the row ceiling has no room for the title row: saved, it could not be read back.
Result<bool> placeTitles(LedgerSheet& sheet, qsizetype maxRows = LedgerLimits::MaxRows);

// The row a new record goes to: the first free row below the titles, or a new row at the end
// when every row holds a record. Refused when the ledger already has maxRows rows, so the
// program never writes a ledger it could not read back.
Result<int> rowForNewRecord(LedgerSheet& sheet, qsizetype maxRows = LedgerLimits::MaxRows);

// Writes a new record into rowForNewRecord(): its serial number is its row, its date the text
// given. Answers the row. Nothing changes when it is refused.
Result<int> add(LedgerSheet& sheet, const RecordFields& fields, const QString& date,
                qsizetype maxRows = LedgerLimits::MaxRows);

// Rows below the titles can be edited, free or not.
bool isEditable(const LedgerSheet& sheet, int row);
// What the operator sees of a row in the edit dialog.
RecordFields fieldsAt(const LedgerSheet& sheet, int row);
// Writes the fields back into the row: the serial number becomes the row index, the date the
// record was added with stays.
Status edit(LedgerSheet& sheet, int row, const RecordFields& fields);

// Every figure below is worked exactly in decimal on the texts the operator typed and answered
// as the double nearest to the exact result (DecimalNumber), so a total shows the digits a
// calculator would, never the binary rounding of its parts.

// The total of one record: quantity × unit price, each read from its text.
double lineTotal(QStringView quantity, QStringView unitPrice);

// How many rows below the titles hold a record, as the grid shows them.
int recordCount(const LedgerSheet& sheet);

// The sum of the total column below the titles, in row order; free rows, empty totals and
// texts without a number add 0.
double total(const LedgerSheet& sheet);

// The change due on a cash payment: the amount paid less the sum, both read from their texts.
double changeDue(QStringView paid, QStringView sum);

} // namespace LedgerRecords

} // namespace vellumar
