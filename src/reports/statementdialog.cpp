#include "reports/statementdialog.h"

#include "frame/windowstyle.h"
#include "reports/reportoutput.h"
#include "reports/statement.h"
#include "storage/settingsfile.h"

#include <QComboBox>
#include <QDateEdit>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

namespace vellumar {

namespace {

QDateEdit* dateEdit(const char* name, const QString& accessibleName, QWidget* parent) {
    auto* edit = new QDateEdit(parent);
    edit->setObjectName(QString::fromLatin1(name));
    edit->setAccessibleName(accessibleName);
    edit->setDisplayFormat(QStringLiteral("yyyy-MM-dd"));
    edit->setCalendarPopup(true);
    // The text field inside is what a screen reader lands on.
    if (auto* field = edit->findChild<QLineEdit*>())
        field->setAccessibleName(accessibleName);
    return edit;
}

} // namespace

StatementDialog::StatementDialog(Services services, const LedgerSheet& sheet, QString holder,
                                 QWidget* parent)
    : Dialog(parent), m_services(services), m_sheet(&sheet), m_holder(std::move(holder)) {
    setObjectName(QStringLiteral("StatementDialog"));
    setWindowTitle(QStringLiteral("打印对账单"));
    auto* form = new QFormLayout;
    m_choice = new QComboBox(this);
    m_choice->setObjectName(QStringLiteral("periodChoice"));
    m_choice->setAccessibleName(QStringLiteral("期间"));
    m_choice->addItems({QStringLiteral("全部记录"), QStringLiteral("本月"), QStringLiteral("上月"),
                        QStringLiteral("今年"), QStringLiteral("自选日期")});
    form->addRow(QStringLiteral("期间："), m_choice);
    m_from = dateEdit("fromDate", QStringLiteral("起始日期"), this);
    m_to = dateEdit("toDate", QStringLiteral("截止日期"), this);
    auto* dates = new QHBoxLayout;
    dates->addWidget(m_from, 1);
    dates->addWidget(new QLabel(QStringLiteral("至"), this));
    dates->addWidget(m_to, 1);
    form->addRow(QStringLiteral("日期："), dates);
    m_heading = new QLineEdit(this);
    m_heading->setObjectName(QStringLiteral("shopHeading"));
    m_heading->setAccessibleName(QStringLiteral("店名（印在页首）"));
    m_heading->setPlaceholderText(QStringLiteral("例如：某某商店"));
    m_heading->setMaxLength(200);
    form->addRow(QStringLiteral("店名（页首）："), m_heading);
    m_count = new QLabel(this);
    m_count->setObjectName(QStringLiteral("statementCount"));
    m_count->setWordWrap(true);
    form->addRow(m_count);
    for (QLabel* label : findChildren<QLabel*>())
        if (label->accessibleName().isEmpty())
            label->setAccessibleName(label->text().isEmpty() ? QStringLiteral("记录数")
                                                             : label->text());

    auto* buttons = new QDialogButtonBox(this);
    QPushButton* previewButton =
        addReportButton(buttons, QStringLiteral("打印预览…"), "previewButton");
    QPushButton* printButton = addReportButton(buttons, QStringLiteral("打印…"), "printButton");
    QPushButton* pdfButton = addReportButton(buttons, QStringLiteral("保存为 PDF…"), "pdfButton");
    QPushButton* closeButton = addReportButton(buttons, QStringLiteral("关闭"), "closeButton",
                                               QDialogButtonBox::RejectRole);
    previewButton->setDefault(true);

    auto* layout = new QVBoxLayout(this);
    layout->addLayout(form);
    layout->addWidget(buttons);

    connect(m_choice, &QComboBox::currentIndexChanged, this, &StatementDialog::choose);
    connect(m_from, &QDateEdit::dateChanged, this, &StatementDialog::datesEdited);
    connect(m_to, &QDateEdit::dateChanged, this, &StatementDialog::datesEdited);
    connect(previewButton, &QPushButton::clicked, this, &StatementDialog::preview);
    connect(printButton, &QPushButton::clicked, this, &StatementDialog::print);
    connect(pdfButton, &QPushButton::clicked, this, &StatementDialog::savePdf);
    connect(closeButton, &QPushButton::clicked, this, [this] { m_services.frame.close(this); });
    const QList<QWidget*> order = {m_choice,      m_from,      m_to,      m_heading,
                                   previewButton, printButton, pdfButton, closeButton};
    for (qsizetype n = 1; n < order.size(); ++n)
        setTabOrder(order[n - 1], order[n]);
    resize(440, sizeHint().height());
    applyFrameKind(this, FrameKind::Dialog);
}

void StatementDialog::created() {
    Result<SettingsFile> settings = SettingsFile::load(m_services.paths.settingsFile());
    if (settings) {
        m_keptHeading = settings->value(HeadingKey.toString());
        m_heading->setText(*m_keptHeading);
    } else {
        // The heading can still be typed for this statement; it is not kept, so the file that
        // could not be read is not written over.
        m_services.host.reportFailure(settings.status(),
                                      QStringLiteral("店名无法读取，这次输入的店名不会保存。\n"));
    }
    choose(Everything);
    m_choice->setFocus();
}

Period StatementDialog::period() const {
    if (m_choice->currentIndex() == Everything)
        return Period::all();
    return {m_from->date(), m_to->date()};
}

void StatementDialog::choose(int choice) {
    const QDate today = m_services.host.now().date();
    Period chosen = period();
    switch (choice) {
    case ThisMonth:
        chosen = Period::month(today);
        break;
    case LastMonth:
        chosen = Period::lastMonth(today);
        break;
    case ThisYear:
        chosen = Period::year(today);
        break;
    case Everything:
        chosen = Period::month(today); // what the dates show should the operator pick them
        break;
    default:
        break;
    }
    m_choosing = true;
    m_from->setDate(chosen.from);
    m_to->setDate(chosen.to);
    m_from->setEnabled(choice != Everything);
    m_to->setEnabled(choice != Everything);
    m_choosing = false;
    showCount();
}

void StatementDialog::datesEdited() {
    if (m_choosing)
        return;
    // Dates typed by hand are a period of the operator's own.
    if (m_choice->currentIndex() != Chosen) {
        const QSignalBlocker quiet(m_choice);
        m_choice->setCurrentIndex(Chosen);
    }
    showCount();
}

void StatementDialog::showCount() {
    if (!m_sheet)
        return;
    const Statement statement = Statement::build(*m_sheet, period());
    QString text = QStringLiteral("%1 条记录，合计 %2")
                       .arg(statement.rows.size())
                       .arg(m_services.host.toText(statement.total.toDouble()));
    if (!statement.undatedRows.empty())
        text += QStringLiteral("；另有 %1 条记录的日期无法识别，将另外列出")
                    .arg(statement.undatedRows.size());
    m_count->setText(text);
}

void StatementDialog::keepHeading() {
    if (!m_keptHeading || *m_keptHeading == m_heading->text())
        return;
    m_keptHeading = m_heading->text();
    // Read afresh, so that what was chosen meanwhile elsewhere (the books, for one) stays.
    Result<SettingsFile> settings = SettingsFile::load(m_services.paths.settingsFile());
    Status saved = settings.status();
    if (settings) {
        settings->setValue(HeadingKey.toString(), *m_keptHeading);
        saved = settings->save();
    }
    if (!saved)
        m_services.host.reportFailure(saved, QStringLiteral("店名没有保存，下次需要重新输入。\n"));
}

std::optional<ReportDocument> StatementDialog::document() {
    if (!m_sheet)
        return std::nullopt;
    const Period chosen = period();
    if (!chosen.isAll() && chosen.from > chosen.to) {
        m_services.host.messageBox(QStringLiteral("起始日期晚于截止日期，请重新选择期间。"),
                                   MessageFlags::IconWarning, QStringLiteral("提示"));
        return std::nullopt;
    }
    keepHeading();
    return statementDocument(*m_sheet, Statement::build(*m_sheet, chosen), m_holder,
                             m_heading->text(), m_services.host);
}

void StatementDialog::preview() {
    if (const std::optional<ReportDocument> made = document())
        ReportOutput::preview(m_services.host, *made);
}

void StatementDialog::print() {
    if (const std::optional<ReportDocument> made = document())
        if (ReportOutput::print(m_services.host, *made))
            m_services.frame.close(this);
}

void StatementDialog::savePdf() {
    const std::optional<ReportDocument> made = document();
    if (!made)
        return;
    const QString name =
        m_holder + QStringLiteral("对账单") +
        (period().isAll() ? QString() : u'_' + period().from.toString(u"yyyyMMdd"));
    if (ReportOutput::savePdf(m_services.host, *made, name))
        m_services.frame.close(this);
}

} // namespace vellumar
