#include "ledger/ledgerrecords.h"

#include "host/conversions.h"

namespace vellumar::LedgerRecords {

namespace {

bool isDigit(QChar c) {
    return (c >= u'0' && c <= u'9') || (c >= u'\uFF10' && c <= u'\uFF19');
}

// The fields with the columns they go to, in ledger order.
struct Placed {
    LedgerSheet::Column column;
    const QString& text;
};

std::array<Placed, 6> placed(const RecordFields& fields) {
    return {{{LedgerSheet::Product, fields.product},
             {LedgerSheet::Quantity, fields.quantity},
             {LedgerSheet::Unit, fields.unit},
             {LedgerSheet::UnitPrice, fields.unitPrice},
             {LedgerSheet::Total, fields.total},
             {LedgerSheet::Remark, fields.remark}}};
}

// A cell longer than a ledger may hold would make a file the program cannot open again.
Status checkLengths(const RecordFields& fields) {
    for (const Placed& field : placed(fields))
        if (field.text.size() > LedgerLimits::MaxCellCharacters)
            return Status::failure(QStringLiteral("“%1”太长：一栏最多 %2 个字，这里有 %3 个。")
                                       .arg(LedgerSheet::titles().at(field.column))
                                       .arg(LedgerLimits::MaxCellCharacters)
                                       .arg(field.text.size()));
    return Status();
}

void write(LedgerSheet& sheet, int row, const RecordFields& fields, const QString* date) {
    sheet.setCell(row, LedgerSheet::Serial, QString::number(row));
    for (const Placed& field : placed(fields)) {
        if (field.column == LedgerSheet::Remark && date)
            sheet.setCell(row, LedgerSheet::Date, *date);
        sheet.setCell(row, field.column, field.text);
    }
}

} // namespace

bool isSerialNumber(QStringView text) {
    const QStringView number = text.trimmed();
    if (number.isEmpty())
        return false;
    for (const QChar c : number)
        if (!isDigit(c))
            return false;
    return true;
}

Result<bool> placeTitles(LedgerSheet& sheet, qsizetype maxRows) {
    const bool keepRecord = sheet.rowCount() > 0 && isSerialNumber(sheet.cellView(0, 0));
    if (keepRecord) {
        // At the ceiling a free row at the end makes room, so the ledger stays readable.
        const bool atCeiling = sheet.rowCount() >= maxRows;
        if (atCeiling && !sheet.rows().back().isEmpty())
            return Status::failure(
                QStringLiteral("这本账目的第一行是一条记录，前面还要加一行标题，可账目已经有 %1 "
                               "行，达到了一本账目的上限，加上标题就无法再读回。请在表格程序里"
                               "删去一些行，或在最前面加上标题行后再打开。")
                    .arg(sheet.rowCount()));
        if (atCeiling)
            sheet.removeRow(sheet.rowCount() - 1);
        sheet.insertRow(0);
    }
    sheet.applyTitles();
    return keepRecord;
}

Result<int> rowForNewRecord(LedgerSheet& sheet, qsizetype maxRows) {
    if (const int free = sheet.firstFreeRow(); free > 0)
        return free;
    if (sheet.rowCount() >= maxRows)
        return Status::failure(
            QStringLiteral("账目已经有 %1 行，达到了一本账目的上限，不能再增加记录。"
                           "请把账目另存一份后删除一些旧记录，再增加新的记录。")
                .arg(sheet.rowCount()));
    // A sheet without even a title row gets one first, so the record lands below it.
    if (sheet.rowCount() == 0)
        sheet.appendRow();
    return sheet.appendRow();
}

Result<int> add(LedgerSheet& sheet, const RecordFields& fields, const QString& date,
                qsizetype maxRows) {
    if (Status fits = checkLengths(fields); !fits)
        return fits;
    Result<int> row = rowForNewRecord(sheet, maxRows);
    if (row)
        write(sheet, *row, fields, &date);
    return row;
}

bool isEditable(const LedgerSheet& sheet, int row) {
    return row >= 1 && row < sheet.rowCount();
}

RecordFields fieldsAt(const LedgerSheet& sheet, int row) {
    if (!isEditable(sheet, row))
        return {};
    return {sheet.cell(row, LedgerSheet::Product), sheet.cell(row, LedgerSheet::Quantity),
            sheet.cell(row, LedgerSheet::Unit),    sheet.cell(row, LedgerSheet::UnitPrice),
            sheet.cell(row, LedgerSheet::Total),   sheet.cell(row, LedgerSheet::Remark)};
}

Status edit(LedgerSheet& sheet, int row, const RecordFields& fields) {
    if (!isEditable(sheet, row))
        return Status::failure(QStringLiteral("第 %1 行不是账目中的一行，没有修改。").arg(row));
    if (Status fits = checkLengths(fields); !fits)
        return fits;
    write(sheet, row, fields, nullptr);
    return Status();
}

double lineTotal(QStringView quantity, QStringView unitPrice) {
    return DecimalNumber::fromText(quantity).times(DecimalNumber::fromText(unitPrice)).toDouble();
}

int recordCount(const LedgerSheet& sheet) {
    int records = 0;
    for (int row = 1; row < sheet.rowCount(); ++row)
        records += sheet.isFree(row) ? 0 : 1;
    return records;
}

double total(const LedgerSheet& sheet) {
    DecimalNumber sum;
    for (int row = 1; row < sheet.rowCount(); ++row)
        sum = sum.plus(DecimalNumber::fromText(sheet.cellView(row, LedgerSheet::Total)));
    return sum.toDouble();
}

double changeDue(QStringView paid, QStringView sum) {
    return DecimalNumber::fromText(paid).minus(DecimalNumber::fromText(sum)).toDouble();
}

} // namespace vellumar::LedgerRecords
