#include "ledger/totaldialog.h"

#include "frame/labelalign.h"
#include "frame/windowstyle.h"
#include "ledger/ledgerrecords.h"
#include "ledger/ledgersheet.h"
#include "ui_totaldialog.h"

namespace vellumar {

TotalDialog::TotalDialog(Services services, const LedgerSheet& sheet, QWidget* parent)
    : Dialog(parent), m_services(services), m_sheet(&sheet),
      m_ui(std::make_unique<Ui::TotalDialog>()) {
    m_ui->setupUi(this);
    applyFrameKind(this, FrameKind::Dialog);

    alignLabelWith(m_ui->标签1, m_ui->编辑框1);
    alignLabelWith(m_ui->标签3, m_ui->编辑框1);
    alignLabelWith(m_ui->标签5, m_ui->编辑框3);
    alignLabelWith(m_ui->标签6, m_ui->编辑框3);
    alignLabelWith(m_ui->标签7, m_ui->编辑框4);
    alignLabelWith(m_ui->标签8, m_ui->编辑框4);

    connect(m_ui->按钮2, &QPushButton::clicked, this, &TotalDialog::showLedgerTotal);
    connect(m_ui->编辑框3, &QLineEdit::textChanged, this, &TotalDialog::showChange);
    connect(m_ui->编辑框1, &QLineEdit::textChanged, this, [this] {
        // Before the first amount paid there is no change to show.
        if (!m_ui->编辑框4->text().isEmpty())
            showChange();
    });
    connect(m_ui->按钮1, &QPushButton::clicked, this, [this] { m_services.frame.close(this); });
    m_ui->编辑框3->setFocus();
}

TotalDialog::~TotalDialog() = default;

void TotalDialog::showLedgerTotal() {
    if (!m_sheet)
        return;
    m_ui->编辑框1->setText(m_services.host.toText(LedgerRecords::total(*m_sheet)));
}

void TotalDialog::showChange() {
    m_ui->编辑框4->setText(m_services.host.toText(
        LedgerRecords::changeDue(m_ui->编辑框3->text(), m_ui->编辑框1->text())));
}

} // namespace vellumar
