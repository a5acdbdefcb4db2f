#include "ledger/ledgerwindow.h"

#include "frame/waitcursor.h"
#include "frame/windowstyle.h"
#include "ledger/ledgerfile.h"
#include "ledger/ledgermodel.h"
#include "ledger/recorddialog.h"
#include "ledger/sidepicture.h"
#include "ledger/totaldialog.h"
#include "storage/usernames.h"
#include "ui_ledgerwindow.h"
#include "utilities/aboutwindow.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QHeaderView>
#include <QResizeEvent>
#include <QShortcut>

namespace vellumar {

namespace {

const QString& notice() {
    static const QString title = QStringLiteral("提示");
    return title;
}

constexpr int ColumnWidths[LedgerSheet::ColumnCount] = {40, 150, 100, 50, 80, 100, 170, 220};

// Shows a wait cursor while a long file operation runs.

} // namespace

LedgerWindow::LedgerWindow(Services services, QString userName, QWidget* parent)
    : QMainWindow(parent), m_services(services), m_userName(std::move(userName)),
      m_ui(std::make_unique<Ui::LedgerWindow>()) {
    m_ui->setupUi(this);
    applyFrameKind(this, FrameKind::Resizable);

    QFont titleFont = m_ui->标签1->font();
    titleFont.setPixelSize(14);
    m_ui->标签1->setFont(titleFont);
    QPalette titlePalette = m_ui->标签1->palette();
    titlePalette.setColor(QPalette::WindowText, QColor(255, 0, 0));
    m_ui->标签1->setPalette(titlePalette);
    m_ui->图片框1->setPicture(QImage(QStringLiteral(":/pictures/ledger_side.jpg")));

    QTableView* view = m_ui->高级表格1;
    m_model = new LedgerModel(m_sheet, this);
    view->setModel(m_model);
    QHeaderView* rows = view->verticalHeader();
    rows->hide();
    rows->setSectionResizeMode(QHeaderView::Fixed);
    rows->setDefaultSectionSize(view->fontMetrics().height() + 8);
    QHeaderView* titles = view->horizontalHeader();
    // The title row is the header: clicking it neither selects a column nor sorts.
    titles->setSectionsClickable(false);
    titles->setHighlightSections(false);
    titles->setStretchLastSection(false);
    titles->setDefaultAlignment(Qt::AlignCenter);
    titles->setMinimumSectionSize(20);

    m_factories = programDialogs();
    connectCommands();
    view->setFocus();
}

LedgerWindow::DialogFactories LedgerWindow::programDialogs() {
    return {
        [](LedgerWindow& window) -> QWidget* {
            return new AddRecordDialog(window.m_services, window.m_sheet);
        },
        [](LedgerWindow& window) -> QWidget* {
            const int row = window.currentRow();
            if (!EditRecordDialog::canEdit(window.m_sheet, row))
                return nullptr;
            return new EditRecordDialog(window.m_services, window.m_sheet, row);
        },
        [](LedgerWindow& window) -> QWidget* {
            return new TotalDialog(window.m_services, window.m_sheet);
        },
        [](LedgerWindow& window) -> QWidget* { return new AboutWindow(window.m_services); },
    };
}

LedgerWindow::~LedgerWindow() = default;

void LedgerWindow::connectCommands() {
    connect(m_ui->actionOpen, &QAction::triggered, this, &LedgerWindow::openFile);
    connect(m_ui->actionSave, &QAction::triggered, this, &LedgerWindow::save);
    connect(m_ui->actionClose, &QAction::triggered, this, &LedgerWindow::closeLedger);
    connect(m_ui->actionSelectAll, &QAction::triggered, this, &LedgerWindow::selectAll);
    connect(m_ui->actionAddRecord, &QAction::triggered, this, &LedgerWindow::addRecord);
    connect(m_ui->actionEditRecord, &QAction::triggered, this, &LedgerWindow::editRecord);
    connect(m_ui->actionDeleteRecord, &QAction::triggered, this, &LedgerWindow::deleteRecords);
    connect(m_ui->actionHelp, &QAction::triggered, this, &LedgerWindow::showHelp);
    connect(m_ui->actionAbout, &QAction::triggered, this, &LedgerWindow::showAbout);
    connect(m_ui->按钮1, &QPushButton::clicked, this, &LedgerWindow::showTotals);
    connect(m_ui->高级表格1, &QTableView::doubleClicked, this, [this](const QModelIndex& index) {
        if (index.isValid() && !m_sheet.isFree(LedgerModel::sheetRow(index.row())))
            editRecord();
    });

    // The menu titles open from the keyboard too.
    const std::pair<const char*, QMenu*> menus[] = {
        {"Ctrl+F", m_ui->menuFile}, {"Ctrl+D", m_ui->menuEdit}, {"Ctrl+J", m_ui->menuHelp}};
    for (const auto& [keys, menu] : menus) {
        auto* shortcut = new QShortcut(QKeySequence(QString::fromLatin1(keys)), this);
        connect(shortcut, &QShortcut::activated, this,
                [this, menu = menu] { m_ui->menuBar->setActiveAction(menu->menuAction()); });
    }
}

void LedgerWindow::setRecordDialogFactories(DialogFactories factories) {
    m_factories = std::move(factories);
}

QTableView* LedgerWindow::grid() const {
    return m_ui->高级表格1;
}

int LedgerWindow::currentRow() const {
    const QModelIndex current = m_ui->高级表格1->currentIndex();
    return current.isValid() ? LedgerModel::sheetRow(current.row()) : -1;
}

QString LedgerWindow::userName() const {
    return m_userName;
}

QString LedgerWindow::ledgerPath(const QString& userName) const {
    return m_services.paths.ledgerFile(DataPaths::LedgerDirSlash, userName);
}

void LedgerWindow::created() {
    const QString name = userName();
    const QString caption = name + QStringLiteral("的账目");
    setWindowTitle(caption);
    m_ui->标签1->setText(caption);

    const QString path = ledgerPath(name);
    if (isSafeUserName(name) && QFileInfo::exists(path)) {
        Status loaded;
        {
            WaitCursor wait;
            loaded = LedgerFile::load(path, m_sheet);
        }
        if (!loaded) {
            // The grid stays empty; the file is kept aside before a save replaces it.
            m_unreadableFile = path;
            m_services.host.messageBox(
                QStringLiteral("账目文件无法读取：") + QDir::toNativeSeparators(path) +
                    QStringLiteral("\n") + loaded.message() +
                    QStringLiteral("\n\n窗口中的账目是空的。保存时会先把原文件另存一份带日期时间"
                                   "的副本，原来的内容不会丢失。"),
                MessageFlags::IconWarning);
        }
    }
    applyLayout();
}

// Titles, widths and alignments, applied after every load at opening, whatever the file held.
void LedgerWindow::applyLayout() {
    m_sheet.applyTitles();
    QHeaderView* titles = m_ui->高级表格1->horizontalHeader();
    for (int column = 0; column < LedgerSheet::ColumnCount; ++column)
        titles->resizeSection(column, ColumnWidths[column]);
}

void LedgerWindow::resizeEvent(QResizeEvent* event) {
    QMainWindow::resizeEvent(event);
    // The grid keeps a fixed margin to the window's edges; a tiny window gives it no room.
    QTableView* view = m_ui->高级表格1;
    view->resize(std::max(0, width() - 150), std::max(0, height() - 85));
    m_ui->图片框1->resize(m_ui->图片框1->width(), view->height());
}

Status LedgerWindow::keepUnreadableFile(const QString& path) {
    const QString stamp = m_services.host.now().toString(QStringLiteral("yyyyMMdd-HHmmss"));
    QString copy = path + QStringLiteral(".无法读取-") + stamp;
    for (int n = 2; QFileInfo::exists(copy); ++n)
        copy = path + QStringLiteral(".无法读取-%1-%2").arg(stamp).arg(n);
    if (!QFile::copy(path, copy))
        return Status::failure(
            QStringLiteral("打开窗口时无法读取的原账目文件没能另存一份副本，为了不覆盖它，"
                           "这次没有保存。请检查文件夹“%1”是否可以写入。")
                .arg(QDir::toNativeSeparators(QFileInfo(path).absolutePath())));
    return Status();
}

Status LedgerWindow::saveLedger() {
    const QString name = userName();
    // A name from an old user table could point outside the ledger folder; such a ledger is
    // never written. (The empty name is a user of its own, with the file ".z".)
    if (!isSafeUserName(name))
        return Status::failure(
            QStringLiteral("用户名“%1”不能用作文件名，请先在用户列表中修改该用户名。").arg(name));
    const QString path = ledgerPath(name);
    if (m_unreadableFile == path && QFileInfo::exists(path)) {
        if (Status kept = keepUnreadableFile(path); !kept)
            return kept;
        m_unreadableFile.clear();
    }
    WaitCursor wait;
    return LedgerFile::save(path, m_sheet);
}

bool LedgerWindow::saveOrReport() {
    const Status saved = saveLedger();
    if (!saved)
        m_services.host.messageBox(QStringLiteral("文件保存失败！\n") + saved.message(),
                                   MessageFlags::IconWarning, notice());
    return saved.ok();
}

bool LedgerWindow::closeQuery() {
    if (m_services.host.messageBox(QStringLiteral("确认要关闭此窗口？"),
                                   MessageFlags::IconWarning | MessageFlags::OkCancel) !=
        MessageAnswer::Ok)
        return false;
    // Nothing typed is lost: when the save fails the window stays open.
    return saveOrReport();
}

void LedgerWindow::openFile() {
    const std::optional<QString> chosen = m_services.host.chooseFileToOpen(
        {FileFilter{QStringLiteral("数据库文件（*.z）"), QStringLiteral("*.z")},
         FileFilter{QStringLiteral("全部文件（*.*）"), QStringLiteral("*.*")}},
        m_services.paths.ledgerDirectory());
    if (!chosen || chosen->isEmpty())
        return;
    Status loaded;
    {
        WaitCursor wait;
        loaded = LedgerFile::load(*chosen, m_sheet);
    }
    if (!loaded)
        m_services.host.messageBox(QStringLiteral("无法打开文件：") +
                                       QDir::toNativeSeparators(*chosen) + QStringLiteral("\n") +
                                       loaded.message(),
                                   MessageFlags::IconWarning, notice());
}

void LedgerWindow::save() {
    if (saveOrReport())
        m_services.host.messageBox(QStringLiteral("文件已保存！"), MessageFlags::IconWarning,
                                   notice());
}

void LedgerWindow::closeLedger() {
    if (m_services.host.messageBox(QStringLiteral("确认要关闭？"),
                                   MessageFlags::IconWarning | MessageFlags::OkCancel,
                                   notice()) != MessageAnswer::Ok)
        return;
    if (saveOrReport())
        m_services.frame.close(this);
}

void LedgerWindow::selectAll() {
    m_ui->高级表格1->selectAll();
}

void LedgerWindow::deleteRecords() {
    // Any cell of a row selects the whole row; the selection is one block of rows, or else the
    // cursor's row.
    QTableView* view = m_ui->高级表格1;
    int top = -1;
    int bottom = -1;
    for (const QItemSelectionRange& range : view->selectionModel()->selection()) {
        top = top < 0 ? range.top() : std::min(top, range.top());
        bottom = std::max(bottom, range.bottom());
    }
    if (top < 0 && view->currentIndex().isValid())
        top = bottom = view->currentIndex().row();
    if (top < 0)
        return;
    if (m_services.host.messageBox(QStringLiteral("确认删除该条记录？"),
                                   MessageFlags::IconWarning | MessageFlags::YesNo,
                                   notice()) != MessageAnswer::Yes)
        return;
    // Serial numbers stay as they are; the file is written only by a save.
    m_sheet.removeRows(LedgerModel::sheetRow(top), bottom - top + 1);
}

void LedgerWindow::openFrom(const Factory& factory) {
    if (!factory)
        return;
    if (QWidget* window = factory(*this))
        m_services.frame.open(window);
}

void LedgerWindow::addRecord() {
    openFrom(m_factories.addRecord);
}

void LedgerWindow::editRecord() {
    if (currentRow() >= 1)
        openFrom(m_factories.editRecord);
}

void LedgerWindow::showTotals() {
    openFrom(m_factories.totals);
}

void LedgerWindow::showAbout() {
    openFrom(m_factories.about);
}

void LedgerWindow::showHelp() {
    m_services.host.run(m_services.paths.resolve(DataPaths::HelpLiteral));
}

} // namespace vellumar
