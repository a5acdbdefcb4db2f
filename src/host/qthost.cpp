#include "host/qthost.h"

#include "utilities/commandmapper.h"

#include <QApplication>
#include <QClipboard>
#include <QDesktopServices>
#include <QDir>
#include <QFileDialog>
#include <QFileIconProvider>
#include <QFileSystemModel>
#include <QGridLayout>
#include <QHeaderView>
#include <QIdentityProxyModel>
#include <QKeyEvent>
#include <QLabel>
#include <QLocale>
#include <QMessageBox>
#include <QPageLayout>
#include <QPrintDialog>
#include <QPrintPreviewDialog>
#include <QPrinter>
#include <QProcess>
#include <QProgressDialog>
#include <QPushButton>
#include <QStandardPaths>
#include <QTreeView>
#include <QUrl>

#include <algorithm>

namespace vellumar {

namespace {

QMessageBox::Icon iconFor(int flags) {
    switch (flags & MessageFlags::IconMask) {
    case MessageFlags::IconError:
        return QMessageBox::Critical;
    case MessageFlags::IconQuestion:
        return QMessageBox::Question;
    case MessageFlags::IconWarning:
        return QMessageBox::Warning;
    case MessageFlags::IconInformation:
        return QMessageBox::Information;
    default:
        return QMessageBox::NoIcon;
    }
}

// The window the operator is looking at, so the box centres on it and blocks it.
QWidget* ownerWindow() {
    if (QWidget* modal = QApplication::activeModalWidget())
        return modal;
    return QApplication::activeWindow();
}

constexpr int MinimumBoxWidth = 220;
constexpr int QuestionBoxWidth = 420;

// A long path or word has no place to break a line, and a message box would cut it off at
// its edge. An invisible break after each separator, and inside any long unbroken run, lets the
// box wrap it instead. Chinese text breaks between any two characters by itself.
QString breakableText(const QString& text) {
    constexpr int LongestRun = 24;
    QString out;
    out.reserve(text.size() + text.size() / 8);
    int run = 0;
    for (const QChar c : text) {
        out += c;
        const bool breaksByItself = c.isSpace() || c.unicode() >= 0x2E80;
        run = breaksByItself ? 0 : run + 1;
        if (c == u'/' || c == u'\\' || c == u'_' || c == u'.' || run >= LongestRun) {
            out += QChar(0x200B);
            run = 0;
        }
    }
    return out;
}

// A message box whose Ctrl+C copies its message, on every desktop, as the program gave it:
// without the invisible break points that only serve the box's own line wrapping, so a copied
// path works and a failure can be pasted into a note for whoever looks after the computer.
class ProgramMessageBox final : public QMessageBox {
public:
    ProgramMessageBox(Icon icon, const QString& title, QWidget* owner)
        : QMessageBox(icon, title, QString(), NoButton, owner) {}

protected:
    void keyPressEvent(QKeyEvent* event) override {
        if (!event->matches(QKeySequence::Copy)) {
            QMessageBox::keyPressEvent(event);
            return;
        }
        QString message = text();
        if (!informativeText().isEmpty())
            message += u'\n' + informativeText();
        QGuiApplication::clipboard()->setText(message.remove(QChar(0x200B)));
    }
};

// What every box of the program shares: the text wraps within the box, long paths included,
// the system's own words show smaller and quieter under it, and the box is at least as wide
// as given (a short message still has room for its title). QMessageBox sizes a longer text
// itself to wrap within a readable width.
void prepareBox(QMessageBox& box, const QString& text, const QString& detail, int minimumWidth) {
    box.setTextFormat(Qt::PlainText);
    box.setText(breakableText(text));
    if (!detail.isEmpty()) {
        box.setInformativeText(QStringLiteral("详细信息：") + breakableText(detail));
        if (auto* label = box.findChild<QLabel*>(QStringLiteral("qt_msgbox_informativelabel"))) {
            QFont smaller = label->font();
            smaller.setPixelSize(std::max(9, QFontInfo(smaller).pixelSize() - 1));
            label->setFont(smaller);
            label->setTextFormat(Qt::PlainText);
            label->setForegroundRole(QPalette::PlaceholderText);
        }
    }
    box.setWindowModality(Qt::ApplicationModal);
    if (auto* grid = qobject_cast<QGridLayout*>(box.layout()))
        grid->addItem(new QSpacerItem(minimumWidth, 0, QSizePolicy::Minimum, QSizePolicy::Fixed),
                      grid->rowCount(), 0, 1, grid->columnCount());
}

} // namespace

int QtHost::messageBox(const QString& text, int flags, const QString& title,
                       const QString& detail) {
    ProgramMessageBox box(iconFor(flags), title.isEmpty() ? defaultTitle() : title, ownerWindow());
    prepareBox(box, text, detail, MinimumBoxWidth);

    struct Choice {
        QString caption;
        int answer;
        QMessageBox::ButtonRole role;
    };
    QList<Choice> choices;
    switch (flags & MessageFlags::ButtonMask) {
    case MessageFlags::OkCancel:
        choices = {{QStringLiteral("确定"), MessageAnswer::Ok, QMessageBox::AcceptRole},
                   {QStringLiteral("取消"), MessageAnswer::Cancel, QMessageBox::RejectRole}};
        break;
    case MessageFlags::YesNo:
        choices = {{QStringLiteral("是"), MessageAnswer::Yes, QMessageBox::YesRole},
                   {QStringLiteral("否"), MessageAnswer::No, QMessageBox::NoRole}};
        break;
    default:
        choices = {{QStringLiteral("确定"), MessageAnswer::Ok, QMessageBox::AcceptRole}};
        break;
    }

    QList<QPushButton*> buttons;
    for (const Choice& choice : choices)
        buttons.append(box.addButton(choice.caption, choice.role));
    box.setDefaultButton(buttons.first());
    // Esc and the close box mean the last choice: Cancel, No, or OK when that is all there is.
    box.setEscapeButton(buttons.last());
    box.exec();

    for (qsizetype i = 0; i < buttons.size(); ++i)
        if (box.clickedButton() == buttons[i])
            return choices[i].answer;
    return choices.last().answer;
}

int QtHost::ask(const Question& question) {
    ProgramMessageBox box(iconFor(question.icon),
                          question.title.isEmpty() ? defaultTitle() : question.title,
                          ownerWindow());
    // A question names files and says what each choice does, over a row of several buttons.
    prepareBox(box, question.text, question.detail, QuestionBoxWidth);
    // One role for all, so the buttons stay in the caller's order on every desktop.
    QList<QPushButton*> buttons;
    for (const QString& caption : question.buttons)
        buttons.append(box.addButton(caption, QMessageBox::ActionRole));
    if (buttons.isEmpty())
        buttons.append(box.addButton(QStringLiteral("确定"), QMessageBox::AcceptRole));
    const auto button = [&buttons](int index) {
        return buttons.value(std::clamp<qsizetype>(index, 0, buttons.size() - 1));
    };
    box.setDefaultButton(button(question.defaultButton));
    box.setEscapeButton(button(question.cancelButton));
    box.exec();
    const qsizetype clicked = buttons.indexOf(box.clickedButton());
    return clicked >= 0 && clicked < question.buttons.size() ? int(clicked) : question.cancelButton;
}

namespace {

// Names ledger files by the program's own type; the desktop's MIME database takes "*.z" for
// old UNIX compressed files.
class LedgerFileTypes final : public QFileIconProvider {
public:
    QString type(const QFileInfo& info) const override {
        if (info.isFile() && info.suffix().compare(u"z", Qt::CaseInsensitive) == 0)
            return QtHost::ledgerTypeName();
        return QFileIconProvider::type(info);
    }
};

// Sizes and dates of the files the way a Chinese desktop writes them, whatever language the
// system itself is set to.
class ChineseFileDetails final : public QIdentityProxyModel {
public:
    using QIdentityProxyModel::QIdentityProxyModel;

    enum Column { Name = 0, Size, Type, Modified };

    QVariant data(const QModelIndex& index, int role) const override {
        const auto* files = qobject_cast<const QFileSystemModel*>(sourceModel());
        if (role != Qt::DisplayRole || !files || !index.isValid())
            return QIdentityProxyModel::data(index, role);
        const QModelIndex file = mapToSource(index);
        static const QLocale chinese(QLocale::Chinese, QLocale::China);
        switch (index.column()) {
        case Size:
            if (files->isDir(file))
                return QString();
            return chinese.formattedDataSize(files->size(file), 1,
                                             QLocale::DataSizeTraditionalFormat);
        case Modified:
            return chinese.toString(files->lastModified(file), QStringLiteral("yyyy/M/d HH:mm"));
        default:
            return QIdentityProxyModel::data(index, role);
        }
    }
};

// The program's own file dialog rather than the desktop's, so it speaks Chinese, names ledger
// files as the program does and opens large enough to read.
void prepareFileDialog(QFileDialog& dialog, const QList<FileFilter>& filters,
                       QFileIconProvider& types) {
    dialog.setOption(QFileDialog::DontUseNativeDialog);
    // The descriptions already show their pattern, so Qt's own copy of it stays hidden.
    dialog.setOption(QFileDialog::HideNameFilterDetails);
    dialog.setIconProvider(&types);
    dialog.setProxyModel(new ChineseFileDetails(&dialog));
    QStringList entries;
    for (const FileFilter& filter : filters)
        entries.append(filter.description + QStringLiteral(" (") + filter.pattern +
                       QStringLiteral(")"));
    dialog.setNameFilters(entries);
    dialog.setViewMode(QFileDialog::Detail);
    dialog.setLabelText(QFileDialog::LookIn, QStringLiteral("查找范围："));
    dialog.setLabelText(QFileDialog::FileName, QStringLiteral("文件名："));
    dialog.setLabelText(QFileDialog::FileType, QStringLiteral("文件类型："));
    dialog.setLabelText(QFileDialog::Reject, QStringLiteral("取消"));
    dialog.setWindowModality(Qt::ApplicationModal);
    dialog.resize(QtHost::fileDialogSize());
    // Name, size, type, date: wide enough for a Chinese name and the type of a ledger file.
    if (auto* details = dialog.findChild<QTreeView*>()) {
        const int widths[] = {300, 90, 150, 160};
        for (int column = 0; column < 4; ++column)
            details->header()->resizeSection(column, widths[column]);
    }
}

std::optional<QString> chosenFile(QFileDialog& dialog) {
    if (dialog.exec() != QDialog::Accepted)
        return std::nullopt;
    const QString chosen = dialog.selectedFiles().value(0);
    if (chosen.isEmpty())
        return std::nullopt;
    return chosen;
}

} // namespace

QString QtHost::ledgerTypeName() {
    return QStringLiteral("Vellumar 账目文件");
}

QSize QtHost::fileDialogSize() {
    return {820, 500};
}

std::optional<QString> QtHost::chooseFileToOpen(const QList<FileFilter>& filters,
                                                const QString& startDirectory) {
    LedgerFileTypes types; // outlives the dialog that asks it
    QFileDialog dialog(ownerWindow(), QStringLiteral("打开"), startDirectory);
    prepareFileDialog(dialog, filters, types);
    dialog.setAcceptMode(QFileDialog::AcceptOpen);
    dialog.setFileMode(QFileDialog::ExistingFile);
    dialog.setLabelText(QFileDialog::Accept, QStringLiteral("打开"));
    return chosenFile(dialog);
}

std::optional<QString> QtHost::chooseFileToSave(const QList<FileFilter>& filters,
                                                const QString& suggestedPath) {
    LedgerFileTypes types; // outlives the dialog that asks it
    const QFileInfo suggested(suggestedPath);
    QFileDialog dialog(ownerWindow(), QStringLiteral("另存为"), suggested.absolutePath());
    prepareFileDialog(dialog, filters, types);
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    dialog.setFileMode(QFileDialog::AnyFile);
    dialog.setLabelText(QFileDialog::Accept, QStringLiteral("保存"));
    // A name typed without an ending gets the ending of the first filter.
    if (!filters.isEmpty() && filters.first().pattern.startsWith(QStringLiteral("*.")))
        dialog.setDefaultSuffix(filters.first().pattern.mid(2));
    dialog.selectFile(suggested.fileName());
    return chosenFile(dialog);
}

namespace {

// A progress dialog that shows itself only once the work takes longer than a moment.
class DialogProgress final : public Progress {
public:
    DialogProgress(const QString& text, qint64 total)
        : m_dialog(text, QStringLiteral("取消"), 0, 1000, ownerWindow()), m_total(total) {
        m_dialog.setWindowTitle(Host::defaultTitle());
        m_dialog.setWindowModality(Qt::ApplicationModal);
        m_dialog.setMinimumDuration(400);
        m_dialog.setAutoClose(false);
        m_dialog.setAutoReset(false);
        m_dialog.setMinimumWidth(360);
        // Work whose size is not known beforehand shows that it is busy rather than how far.
        if (total <= 0)
            m_dialog.setRange(0, 0);
        m_dialog.setValue(0);
    }
    bool advance(qint64 done) override {
        const int permille =
            m_total > 0 ? int(std::clamp<qint64>(done * 1000 / m_total, 0, 1000)) : 0;
        // setValue lets the dialog show itself and take the click on its button.
        m_dialog.setValue(m_total > 0 ? std::min(permille, 999) : 0);
        QCoreApplication::processEvents();
        return !m_dialog.wasCanceled();
    }

private:
    QProgressDialog m_dialog;
    qint64 m_total;
};

// A4 portrait, as a statement is laid out, until the operator chooses otherwise.
void prepareForPrinting(QPrinter& printer, const QString& title) {
    printer.setPageLayout(QPageLayout(QPageSize(QPageSize::A4), QPageLayout::Portrait,
                                      QMarginsF(12, 12, 12, 12), QPageLayout::Millimeter));
    printer.setDocName(title);
    printer.setCreator(QStringLiteral("Vellumar"));
}

} // namespace

std::unique_ptr<Progress> QtHost::startProgress(const QString& text, qint64 total) {
    return std::make_unique<DialogProgress>(text, total);
}

void QtHost::previewPrint(const QString& title, const PagePainter& paint) {
    QPrinter printer(QPrinter::HighResolution);
    prepareForPrinting(printer, title);
    QPrintPreviewDialog preview(&printer, ownerWindow());
    preview.setWindowTitle(title);
    preview.setWindowModality(Qt::ApplicationModal);
    preview.resize(900, 700);
    Status failed;
    QObject::connect(&preview, &QPrintPreviewDialog::paintRequested, &preview,
                     [&](QPrinter* target) {
                         if (Status painted = paint(*target); !painted)
                             failed = painted;
                     });
    preview.exec();
    if (!failed)
        reportFailure(failed, QString(), MessageFlags::IconWarning);
}

Result<bool> QtHost::print(const QString& title, const PagePainter& paint) {
    QPrinter printer(QPrinter::HighResolution);
    prepareForPrinting(printer, title);
    QPrintDialog dialog(&printer, ownerWindow());
    dialog.setWindowTitle(QStringLiteral("打印"));
    dialog.setWindowModality(Qt::ApplicationModal);
    if (dialog.exec() != QDialog::Accepted)
        return false;
    if (Status painted = paint(printer); !painted)
        return painted;
    return true;
}

bool QtHost::run(const QString& commandLine) {
    const DesktopLookup desktop{
        [](const QString& name) { return QStandardPaths::findExecutable(name); }, QDir::homePath()};
    const LaunchPlan plan = planLaunch(commandLine, desktop);
    switch (plan.kind) {
    case LaunchPlan::Kind::Program:
        return QProcess::startDetached(plan.program, plan.arguments, QDir::homePath());
    case LaunchPlan::Kind::Document:
        return QDesktopServices::openUrl(QUrl::fromLocalFile(plan.document));
    case LaunchPlan::Kind::Nothing:
        break;
    }
    return false;
}

QDateTime QtHost::now() const {
    return QDateTime::currentDateTime();
}

} // namespace vellumar
