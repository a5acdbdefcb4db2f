#pragma once

#include "frame/dialog.h"
#include "frame/services.h"
#include "ledger/ledgersheet.h"
#include "reports/recorddates.h"

#include <QPointer>

#include <optional>

class QComboBox;
class QDateEdit;
class QLabel;
class QLineEdit;
class QPushButton;

namespace vellumar {

struct ReportDocument;

// Chooses the period of a holder's statement and the shop's heading line, then shows the
// statement in a print preview, prints it, or saves it as a PDF file. The heading is kept in
// the data folder for the next statement.
class StatementDialog final : public Dialog {
    Q_OBJECT

public:
    // The quick choices of the period, in the order the list shows them.
    enum Choice { Everything, ThisMonth, LastMonth, ThisYear, Chosen };

    StatementDialog(Services services, const LedgerSheet& sheet, QString holder,
                    QWidget* parent = nullptr);

    void created() override;

    Period period() const;
    static constexpr QStringView HeadingKey = u"statement/heading";

private:
    void choose(int choice);
    void datesEdited();
    void showCount();
    void keepHeading();
    std::optional<ReportDocument> document();
    void preview();
    void print();
    void savePdf();

    Services m_services;
    QPointer<const LedgerSheet> m_sheet;
    QString m_holder;
    // The heading as the settings file holds it; nothing when the file could not be read,
    // which is then never written over.
    std::optional<QString> m_keptHeading;
    QComboBox* m_choice;
    QDateEdit* m_from;
    QDateEdit* m_to;
    QLineEdit* m_heading;
    QLabel* m_count;
    bool m_choosing = false;
};

} // namespace vellumar
