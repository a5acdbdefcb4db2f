#include "ledger/recorddialog.h"

#include "frame/bannerfont.h"
#include "frame/labelalign.h"
#include "frame/windowstyle.h"
#include "ledger/ledgerlimits.h"
#include "ledger/ledgersheet.h"
#include "ui_recorddialog.h"

#include <QKeyEvent>

namespace vellumar {

RecordDialog::RecordDialog(Services services, LedgerEdits& edits, const QString& caption,
                           const QString& confirmCaption, QWidget* parent)
    : Dialog(parent), m_services(services), m_edits(&edits),
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
    centreLabelTextAt(m_ui->标签4, m_ui->编辑框5->y() + m_ui->编辑框5->firstLineCentre());
    for (QLineEdit* box :
         {m_ui->编辑框1, m_ui->编辑框2, m_ui->编辑框3, m_ui->编辑框4, m_ui->编辑框6})
        box->setMaxLength(static_cast<int>(LedgerLimits::MaxCellCharacters));
    m_ui->编辑框5->setMaxLength(LedgerLimits::MaxCellCharacters);

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
    m_ui->编辑框6->setText(m_services.host.toText(
        LedgerRecords::lineTotal(m_ui->编辑框2->text(), m_ui->编辑框4->text())));
}

void RecordDialog::showFields(const RecordFields& fields) {
    const auto show = [](QLineEdit* box, const QString& text) {
        box->setText(text);
        box->setCursorPosition(0);
    };
    show(m_ui->编辑框1, fields.product);
    show(m_ui->编辑框2, fields.quantity);
    show(m_ui->编辑框3, fields.unit);
    show(m_ui->编辑框4, fields.unitPrice);
    show(m_ui->编辑框6, fields.total);
    m_ui->编辑框5->setPlainText(fields.remark);
}

void RecordDialog::created() {
    // Showing a dialog gives its first box the focus as a Tab would, which selects the whole
    // text and scrolls to its end; the selection stays, read from the start.
    for (QLineEdit* box :
         {m_ui->编辑框1, m_ui->编辑框2, m_ui->编辑框3, m_ui->编辑框4, m_ui->编辑框6}) {
        const int length = static_cast<int>(box->text().size());
        if (box->hasSelectedText() && box->selectedText().size() == length)
            box->setSelection(length, -length);
        else
            box->setCursorPosition(0);
    }
}

RecordFields RecordDialog::fields() const {
    return {m_ui->编辑框1->text(), m_ui->编辑框2->text(), m_ui->编辑框3->text(),
            m_ui->编辑框4->text(), m_ui->编辑框6->text(), m_ui->编辑框5->toPlainText()};
}

void RecordDialog::finish(const Status& written) {
    if (!written) {
        m_services.host.reportFailure(written, QString(), MessageFlags::IconWarning,
                                      QStringLiteral("提示"));
        return;
    }
    accept(); // closes it for good, and tells whoever listens that the record went in
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

AddRecordDialog::AddRecordDialog(Services services, LedgerEdits& edits, QWidget* parent)
    : RecordDialog(services, edits, QStringLiteral("增加记录"), QStringLiteral("确认增加"),
                   parent) {}

void AddRecordDialog::confirm() {
    LedgerEdits* ledger = edits();
    if (!ledger) {
        m_services.frame.close(this);
        return;
    }
    const QString date = m_services.host.toText(m_services.host.now());
    finish(ledger->addRecord(fields(), date).status());
}

EditRecordDialog::EditRecordDialog(Services services, LedgerEdits& edits, int row, QWidget* parent)
    : RecordDialog(services, edits, QStringLiteral("编辑记录"), QStringLiteral("确认修改"), parent),
      m_row(row) {
    if (canEdit(edits.sheet(), m_row))
        showFields(LedgerRecords::fieldsAt(edits.sheet(), m_row));
}

bool EditRecordDialog::canEdit(const LedgerSheet& sheet, int row) {
    return LedgerRecords::isEditable(sheet, row);
}

bool EditRecordDialog::openFor(Services services, LedgerEdits& edits, int row) {
    if (!canEdit(edits.sheet(), row))
        return false;
    services.frame.open(new EditRecordDialog(services, edits, row));
    return true;
}

void EditRecordDialog::confirm() {
    // The dialog is modal over the ledger, so the row it loaded is still the row it edits. A
    // dialog made for a row that cannot be edited writes nothing.
    if (!sheet() || !canEdit(*sheet(), m_row)) {
        m_services.frame.close(this);
        return;
    }
    finish(edits()->editRecord(m_row, fields()));
}

} // namespace vellumar
