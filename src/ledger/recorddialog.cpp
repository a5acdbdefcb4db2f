#include "ledger/recorddialog.h"

#include "frame/bannerfont.h"
#include "frame/labelalign.h"
#include "frame/windowstyle.h"
#include "ledger/ledgersheet.h"
#include "ui_recorddialog.h"

#include <QKeyEvent>

namespace vellumar {

RecordDialog::RecordDialog(Services services, LedgerSheet& sheet, const QString& caption,
                           const QString& confirmCaption, QWidget* parent)
    : Dialog(parent), m_services(services), m_sheet(&sheet),
      m_ui(std::make_unique<Ui::RecordDialog>()) {
    m_ui->setupUi(this);
    applyFrameKind(this, FrameKind::Dialog);
    setWindowTitle(caption);
    m_ui->标签1->setText(caption);
    m_ui->标签1->setFont(bannerFont(font(), 21));
    m_ui->按钮1->setText(confirmCaption);

    alignLabelWith(m_ui->标签2, m_ui->编辑框1);
    alignLabelWith(m_ui->标签7, m_ui->编辑框2);
    alignLabelWith(m_ui->标签6, m_ui->编辑框3);
    alignLabelWith(m_ui->标签3, m_ui->编辑框4);
    alignLabelWith(m_ui->标签5, m_ui->编辑框6);
    alignLabelWithFirstLine(m_ui->标签4, m_ui->编辑框5);

    // Every change counts, typed or pasted or set by the dialog itself.
    connect(m_ui->编辑框2, &QLineEdit::textChanged, this, &RecordDialog::recomputeTotal);
    connect(m_ui->编辑框4, &QLineEdit::textChanged, this, &RecordDialog::recomputeTotal);
    connect(m_ui->按钮1, &QPushButton::clicked, this, [this] { confirm(); });
    connect(m_ui->按钮2, &QPushButton::clicked, this, [this] { m_services.frame.close(this); });
    m_ui->编辑框5->installEventFilter(this);
    m_ui->编辑框1->setFocus();
}

RecordDialog::~RecordDialog() = default;

void RecordDialog::recomputeTotal() {
    const Host& host = m_services.host;
    const double quantity = host.toNumber(m_ui->编辑框2->text());
    const double price = host.toNumber(m_ui->编辑框4->text());
    m_ui->编辑框6->setText(host.toText(quantity * price));
}

void RecordDialog::showRecord(int row) {
    if (!m_sheet)
        return;
    m_ui->编辑框1->setText(m_sheet->cell(row, LedgerSheet::Product));
    m_ui->编辑框2->setText(m_sheet->cell(row, LedgerSheet::Quantity));
    m_ui->编辑框3->setText(m_sheet->cell(row, LedgerSheet::Unit));
    m_ui->编辑框4->setText(m_sheet->cell(row, LedgerSheet::UnitPrice));
    m_ui->编辑框6->setText(m_sheet->cell(row, LedgerSheet::Total));
    m_ui->编辑框5->setPlainText(m_sheet->cell(row, LedgerSheet::Remark));
}

void RecordDialog::writeRecord(int row, const QString* date) {
    if (!m_sheet)
        return;
    LedgerSheet& sheet = *m_sheet;
    sheet.setCell(row, LedgerSheet::Serial, QString::number(row));
    sheet.setCell(row, LedgerSheet::Product, m_ui->编辑框1->text());
    sheet.setCell(row, LedgerSheet::Quantity, m_ui->编辑框2->text());
    sheet.setCell(row, LedgerSheet::Unit, m_ui->编辑框3->text());
    sheet.setCell(row, LedgerSheet::UnitPrice, m_ui->编辑框4->text());
    sheet.setCell(row, LedgerSheet::Total, m_ui->编辑框6->text());
    if (date)
        sheet.setCell(row, LedgerSheet::Date, *date);
    sheet.setCell(row, LedgerSheet::Remark, m_ui->编辑框5->toPlainText());
}

bool RecordDialog::eventFilter(QObject* watched, QEvent* event) {
    // The remark may span lines, so plain Enter stays a new line there; Ctrl+Enter confirms.
    if (watched == m_ui->编辑框5 && event->type() == QEvent::KeyPress) {
        const auto* key = static_cast<QKeyEvent*>(event);
        const bool enter = key->key() == Qt::Key_Return || key->key() == Qt::Key_Enter;
        if (enter && (key->modifiers() & Qt::ControlModifier)) {
            m_ui->按钮1->click();
            return true;
        }
    }
    return Dialog::eventFilter(watched, event);
}

AddRecordDialog::AddRecordDialog(Services services, LedgerSheet& sheet, QWidget* parent)
    : RecordDialog(services, sheet, QStringLiteral("增加记录"), QStringLiteral("确认增加"),
                   parent) {}

int AddRecordDialog::targetRow(const LedgerSheet& sheet) {
    // Row 0 holds the titles and never a record, even when a loaded file left it without one.
    for (int row = 1; row < sheet.rowCount(); ++row)
        if (sheet.isFree(row))
            return row;
    return -1;
}

void AddRecordDialog::confirm() {
    if (LedgerSheet* ledger = sheet()) {
        int row = targetRow(*ledger);
        while (row < 1)
            row = ledger->appendRow();
        const QString date = m_services.host.toText(m_services.host.now());
        writeRecord(row, &date);
    }
    m_services.frame.close(this);
}

EditRecordDialog::EditRecordDialog(Services services, LedgerSheet& sheet, int row, QWidget* parent)
    : RecordDialog(services, sheet, QStringLiteral("编辑记录"), QStringLiteral("确认修改"), parent),
      m_row(row) {
    if (canEdit(sheet, m_row))
        showRecord(m_row);
}

bool EditRecordDialog::canEdit(const LedgerSheet& sheet, int row) {
    return row >= 1 && row < sheet.rowCount();
}

bool EditRecordDialog::openFor(Services services, LedgerSheet& sheet, int row) {
    if (!canEdit(sheet, row))
        return false;
    services.frame.open(new EditRecordDialog(services, sheet, row));
    return true;
}

void EditRecordDialog::confirm() {
    // The dialog is modal over the ledger, so the row it loaded is still the row it edits.
    if (sheet() && canEdit(*sheet(), m_row))
        writeRecord(m_row, nullptr);
    m_services.frame.close(this);
}

} // namespace vellumar
