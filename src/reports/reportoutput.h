#pragma once

#include "host/host.h"
#include "ledger/ledgersheet.h"
#include "reports/reportdocument.h"
#include "reports/statement.h"
#include "reports/xlsxexport.h"

#include <QDialogButtonBox>
#include <QList>
#include <QString>

class QPushButton;

namespace vellumar {

// The statement of one holder as a printed document: the shop's heading, "对账单", whose and
// which period, the records with their eight fields, the period's total and the number of
// records, and apart from them the records whose date cannot be read.
ReportDocument statementDocument(const LedgerSheet& sheet, const Statement& statement,
                                 const QString& holder, const QString& heading, const Host& host);

// The ledger's records as a workbook table: numbers as numbers, dates as dates, the remark
// wrapped, the widths of the grid's columns, and the totals of column 5 under them.
Xlsx::Table ledgerTable(const LedgerSheet& sheet, const std::vector<int>& rows,
                        const QList<int>& columnWidths);

// A button of the report windows' button rows, with the object name tests and screen readers
// find it by.
QPushButton* addReportButton(QDialogButtonBox* box, const QString& text, const char* name,
                             QDialogButtonBox::ButtonRole role = QDialogButtonBox::ActionRole);

// Getting a report out, with progress and a message for whatever goes wrong.
namespace ReportOutput {

void preview(Host& host, const ReportDocument& document);
// True when it was printed.
bool print(Host& host, const ReportDocument& document);
// Asks where, then writes the PDF; true when it was written.
bool savePdf(Host& host, const ReportDocument& document, const QString& suggestedName);
// Asks where, then writes the workbook; true when it was written.
bool saveWorkbook(Host& host, const Xlsx::Table& table, const QString& suggestedName);

} // namespace ReportOutput

} // namespace vellumar
