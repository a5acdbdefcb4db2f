#include "ledger/ledgerwindow.h"

#include "frame/waitcursor.h"
#include "frame/windowstyle.h"
#include "ledger/ledgeraccess.h"
#include "ledger/ledgerclosing.h"
#include "ledger/ledgerdelegate.h"
#include "ledger/ledgerfile.h"
#include "ledger/ledgermodel.h"
#include "ledger/ledgerrecords.h"
#include "ledger/recorddialog.h"
#include "ledger/sidepicture.h"
#include "ledger/totaldialog.h"
#include "reports/ledgerextras.h"
#include "safety/ledgersafetynet.h"
#include "ui_ledgerwindow.h"
#include "utilities/aboutwindow.h"

#include <QDir>
#include <QHeaderView>
#include <QResizeEvent>
#include <QShortcut>
#include <QUndoStack>

namespace vellumar {

LedgerWindow::LedgerWindow(Services services, QString userName, QWidget* parent)
    : QMainWindow(parent), m_services(services), m_book(services.books.store().book(userName)),
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
    showLedgerIn(view, m_model);
    QHeaderView* titles = view->horizontalHeader();
    titles->setStretchLastSection(false);
    titles->setDefaultAlignment(Qt::AlignCenter);
    titles->setMinimumSectionSize(20);

    m_factories = programDialogs();
    connectCommands();
    m_book->trackEdits(&m_edits);
    m_safetyNet = new LedgerSafetyNet(m_services, *this, *m_ui->menuEdit);
    // Who else has the ledger open, in a bar of its own below the grid.
    m_access = new LedgerAccess(m_services, *this);
    // Statements, the workbook export, the find bar and the sum of the selection.
    new LedgerExtras(m_services, *this);
    view->setFocus();
}

LedgerWindow::DialogFactories LedgerWindow::programDialogs() {
    return {
        [](LedgerWindow& window) -> QWidget* {
            return new AddRecordDialog(window.m_services, window.m_edits);
        },
        [](LedgerWindow& window) -> QWidget* {
            const int row = window.currentRow();
            if (!EditRecordDialog::canEdit(window.m_sheet, row))
                return nullptr;
            return new EditRecordDialog(window.m_services, window.m_edits, row);
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

void LedgerWindow::created() {
    const QString caption = m_book->userName() + QStringLiteral("的账目");
    setWindowTitle(caption);
    m_ui->标签1->setText(caption);
    loadLedger();
    applyLayout();
    m_safetyNet->ledgerLoaded();
    m_access->ledgerLoaded();
}

void LedgerWindow::setReadOnly(bool readOnly) {
    m_readOnly = readOnly;
    for (QAction* action :
         {m_ui->actionOpen, m_ui->actionSave, m_ui->actionAddRecord, m_ui->actionEditRecord,
          m_ui->actionDeleteRecord, m_safetyNet->undoAction(), m_safetyNet->redoAction()})
        action->setEnabled(!readOnly);
    if (!readOnly) {
        // The undo items follow the steps there are again.
        m_safetyNet->undoAction()->setEnabled(m_edits.undoStack().canUndo());
        m_safetyNet->redoAction()->setEnabled(m_edits.undoStack().canRedo());
    }
}

Status LedgerWindow::reloadLedger() {
    // A book that has the ledger reads it again itself, so that it never holds it twice; one
    // that only looks at it is replaced by a new one that takes it if it is free now.
    const bool editing = m_book->access() == HolderBook::Access::Editing;
    std::unique_ptr<HolderBook> fresh =
        editing ? nullptr : m_services.books.store().book(m_book->userName());
    HolderBook& book = fresh ? *fresh : *m_book;
    LedgerSheet sheet;
    Result<HolderLedger::Opened> loaded = HolderLedger::Opened::New;
    {
        WaitCursor wait;
        loaded = book.load(sheet);
    }
    if (!loaded)
        return loaded.status();
    if (const Result<bool> titled = LedgerRecords::placeTitles(sheet); !titled)
        return titled.status();
    // The changes recorded so far went to the journal of the book that goes.
    m_edits.setRecorder(nullptr);
    LedgerSheet::Content content;
    sheet.swapContent(content);
    m_sheet.swapContent(content);
    m_edits.undoStack().clear();
    m_edits.markSaved();
    if (fresh)
        m_book = std::move(fresh);
    m_book->trackEdits(&m_edits);
    // What a crash left for this ledger is offered, and the new journal starts.
    m_safetyNet->ledgerLoaded();
    return Status();
}

void LedgerWindow::loadLedger() {
    Result<HolderLedger::Opened> loaded = HolderLedger::Opened::New;
    {
        WaitCursor wait;
        loaded = m_book->load(m_sheet);
    }
    if (loaded)
        return;
    // The grid stays empty; what becomes of the ledger is the book's promise.
    const bool inFile = !m_book->filePath().isEmpty();
    const QString promise =
        !inFile ? QStringLiteral("\n\n窗口中的账目是空的，共享账本中的账目没有改动，这里也不能"
                                 "保存。请关闭窗口，稍后再打开。")
        : m_book->foundUnreadableFile()
            ? QStringLiteral("\n\n窗口中的账目是空的。保存时会先把原文件另存一份带日期时间"
                             "的副本，原来的内容不会丢失。")
            : QStringLiteral("\n\n窗口中的账目是空的，原来的文件没有改动。保存不成功时，"
                             "关闭窗口时可以把账目另存到别处。");
    m_services.host.messageBox(
        (inFile ? QStringLiteral("账目文件无法读取：") : QStringLiteral("账目无法读取：")) +
            m_book->location() + QStringLiteral("\n") + loaded.status().message() + promise,
        MessageFlags::IconWarning, QString(), loaded.status().detail());
}

// Titles, widths and alignments, applied after every load at opening, whatever the file held.
void LedgerWindow::applyLayout() {
    // A loaded ledger has its titles already; a new or empty one gets them here, which cannot
    // be refused for want of room.
    if (const Result<bool> titled = LedgerRecords::placeTitles(m_sheet); !titled)
        m_services.host.reportFailure(titled.status());
    QHeaderView* titles = m_ui->高级表格1->horizontalHeader();
    for (int column = 0; column < LedgerSheet::ColumnCount; ++column)
        titles->resizeSection(column, LedgerModel::columnWidth(column));
}

void LedgerWindow::resizeEvent(QResizeEvent* event) {
    QMainWindow::resizeEvent(event);
    placeGrid();
}

void LedgerWindow::placeGrid() {
    // The grid keeps a fixed margin to the window's edges; a tiny window gives it no room.
    QTableView* view = m_ui->高级表格1;
    const int bars = m_access ? m_access->barHeight() : 0;
    view->resize(std::max(0, width() - 150), std::max(0, height() - 85 - bars));
    m_ui->图片框1->resize(m_ui->图片框1->width(), view->height());
}

Status LedgerWindow::saveLedger() {
    WaitCursor wait;
    Status saved = m_book->save(m_sheet, m_services.host.now());
    // Whatever the books keep besides, what the window shows is now what they hold.
    if (saved)
        m_edits.markSaved();
    return saved;
}

bool LedgerWindow::saveOrReport() {
    const Status saved = saveLedger();
    if (!saved)
        m_services.host.reportFailure(saved, QStringLiteral("文件保存失败！\n"),
                                      MessageFlags::IconWarning, noticeTitle());
    return saved.ok();
}

bool LedgerWindow::saveBeforeClosing() {
    // Nothing to save where nothing can be saved and nothing was changed.
    if (m_book->access() == HolderBook::Access::ReadOnly && !m_edits.hasUnsavedChanges()) {
        (void)m_book->closedWithoutSaving();
        return true;
    }
    SaveBeforeClosing closing(m_services.host, *m_book, m_sheet,
                              [](const SaveBeforeClosing::Work& work) {
                                  WaitCursor wait;
                                  return work();
                              });
    return closing.run();
}

bool LedgerWindow::closeQuery() {
    if (m_services.host.messageBox(QStringLiteral("确认要关闭此窗口？"),
                                   MessageFlags::IconWarning | MessageFlags::OkCancel) !=
        MessageAnswer::Ok)
        return false;
    if (!saveBeforeClosing())
        return false;
    m_book->close();
    return true;
}

void LedgerWindow::openFile() {
    if (m_readOnly)
        return;
    const std::optional<QString> chosen =
        m_services.host.chooseFileToOpen(ledgerFileFilters(), m_services.paths.ledgerDirectory());
    if (!chosen || chosen->isEmpty())
        return;
    Status loaded;
    {
        WaitCursor wait;
        loaded = m_edits.openFile(*chosen);
    }
    if (!loaded)
        m_services.host.reportFailure(loaded,
                                      QStringLiteral("无法打开文件：") +
                                          QDir::toNativeSeparators(*chosen) + QStringLiteral("\n"),
                                      MessageFlags::IconWarning, noticeTitle());
}

void LedgerWindow::save() {
    if (m_readOnly)
        return;
    if (!saveOrReport())
        return;
    m_services.host.messageBox(QStringLiteral("文件已保存！"), MessageFlags::IconWarning,
                               noticeTitle());
    if (const Status tidied = m_book->tidiedUp(); !tidied)
        m_services.host.reportFailure(tidied, QStringLiteral("账目已经保存，但是"),
                                      MessageFlags::IconWarning, noticeTitle());
}

void LedgerWindow::closeLedger() {
    if (m_services.host.messageBox(QStringLiteral("确认要关闭？"),
                                   MessageFlags::IconWarning | MessageFlags::OkCancel,
                                   noticeTitle()) != MessageAnswer::Ok)
        return;
    if (saveBeforeClosing()) {
        // Other counters may have the ledger at once, not only once the window is gone.
        m_book->close();
        m_services.frame.close(this);
    }
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
    if (top < 0 || m_readOnly)
        return;
    if (m_services.host.messageBox(QStringLiteral("确认删除该条记录？"),
                                   MessageFlags::IconWarning | MessageFlags::YesNo,
                                   noticeTitle()) != MessageAnswer::Yes)
        return;
    // Serial numbers stay as they are; the file is written only by a save.
    m_edits.deleteRows(LedgerModel::sheetRow(top), bottom - top + 1);
}

void LedgerWindow::openFrom(const Factory& factory) {
    if (!factory)
        return;
    if (QWidget* window = factory(*this))
        m_services.frame.open(window);
}

void LedgerWindow::addRecord() {
    if (m_readOnly)
        return;
    openFrom(m_factories.addRecord);
}

void LedgerWindow::editRecord() {
    if (!m_readOnly && currentRow() >= 1)
        openFrom(m_factories.editRecord);
}

void LedgerWindow::showTotals() {
    openFrom(m_factories.totals);
}

void LedgerWindow::showAbout() {
    openFrom(m_factories.about);
}

void LedgerWindow::showHelp() {
    m_services.host.run(m_services.paths.helpCommandLine());
}

} // namespace vellumar
