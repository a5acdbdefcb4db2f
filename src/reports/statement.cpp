#include "reports/statement.h"

namespace vellumar {

bool isReportedRow(const LedgerSheet& sheet, int row) {
    return row >= 1 && row < sheet.rowCount() && !sheet.rows()[size_t(row)].isEmpty();
}

Statement Statement::build(const LedgerSheet& sheet, const Period& period) {
    Statement statement;
    statement.period = period;
    for (int row = 1; row < sheet.rowCount(); ++row) {
        if (!isReportedRow(sheet, row))
            continue;
        if (!period.isAll()) {
            const std::optional<QDateTime> date =
                readRecordDate(sheet.cellView(row, LedgerSheet::Date));
            if (!date) {
                statement.undatedRows.push_back(row);
                continue;
            }
            if (!period.contains(date->date()))
                continue;
        }
        statement.rows.push_back(row);
        statement.total =
            statement.total.plus(DecimalNumber::fromText(sheet.cellView(row, LedgerSheet::Total)));
    }
    return statement;
}

} // namespace vellumar
