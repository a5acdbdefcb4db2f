#include "accounts/userlistwindow.h"

#include "accounts/accountmessages.h"
#include "accounts/adduserdialog.h"
#include "accounts/bookstransfer.h"
#include "accounts/changepassworddialog.h"
#include "accounts/renameuserdialog.h"
#include "accounts/signinwindow.h"
#include "frame/waitcursor.h"
#include "frame/windowstyle.h"
#include "ledger/ledgerwindow.h"
#include "reports/receivableswindow.h"
#include "safety/safetymenus.h"
#include "ui_userlistwindow.h"
#include "utilities/aboutwindow.h"

#include <QLabel>
#include <QListWidget>
#include <QScrollBar>

#include <utility>

namespace vellumar {

namespace {

// The classic desktop tools, started by their fixed command lines; the host maps each to this
// desktop's equivalent.
constexpr QStringView ExplorerCommand = u"C:\\WINDOWS\\explorer.exe";
constexpr QStringView CalculatorCommand = u"C:\\WINDOWS\\system32\\calc.exe";
constexpr QStringView BrowserCommand = u"C:\\Program Files\\Internet Explorer\\IEXPLORE.EXE";
constexpr QStringView NotepadCommand = u"C:\\WINDOWS\\NOTEPAD.EXE";

} // namespace

UserListWindow::UserListWindow(Services services, QWidget* parent)
    : QMainWindow(parent), m_services(services), m_ui(std::make_unique<Ui::UserListWindow>()) {
    m_ui->setupUi(this);
    applyFrameKind(this, FrameKind::FixedWithMinimize);
    m_ui->列表框1->setSelectionMode(QAbstractItemView::SingleSelection);

    connect(m_ui->按钮1, &QPushButton::clicked, this, &UserListWindow::search);
    connect(m_ui->编辑框1, &QLineEdit::returnPressed, this, &UserListWindow::search);
    // Only a double-click on an item opens a ledger; one beside the items does nothing.
    connect(m_ui->列表框1, &QListWidget::itemDoubleClicked, this, &UserListWindow::openLedger);
    connectMenus();
    m_ledgerWindowFactory = [this](const QString& userName) -> QWidget* {
        return new LedgerWindow(m_services, userName);
    };
}

UserListWindow::~UserListWindow() = default;

void UserListWindow::connectMenus() {
    connect(m_ui->actionSave, &QAction::triggered, this, &UserListWindow::confirmSave);
    connect(m_ui->actionExit, &QAction::triggered, this, &UserListWindow::exit);
    connect(m_ui->actionNewUser, &QAction::triggered, this,
            [this] { m_services.frame.open(new AddUserDialog(m_services, *this)); });
    connect(m_ui->actionRenameUser, &QAction::triggered, this, [this] {
        if (selectedPosition())
            m_services.frame.open(new RenameUserDialog(m_services, *this));
    });
    connect(m_ui->actionDeleteUser, &QAction::triggered, this, &UserListWindow::deleteUser);
    connect(m_ui->actionChangePassword, &QAction::triggered, this,
            [this] { m_services.frame.open(new ChangePasswordDialog(m_services)); });

    const auto runs = [this](QStringView commandLine) {
        return [this, commandLine] {
            m_services.host.run(commandLine.toString());
        };
    };
    connect(m_ui->actionExplorer, &QAction::triggered, this, runs(ExplorerCommand));
    connect(m_ui->actionCalculator, &QAction::triggered, this, runs(CalculatorCommand));
    connect(m_ui->actionBrowser, &QAction::triggered, this, runs(BrowserCommand));
    connect(m_ui->actionNotepad, &QAction::triggered, this, runs(NotepadCommand));
    connect(m_ui->actionHelp, &QAction::triggered, this,
            [this] { m_services.host.run(m_services.paths.helpCommandLine()); });
    connect(m_ui->actionAbout, &QAction::triggered, this,
            [this] { m_services.frame.open(new AboutWindow(m_services)); });
    addReceivablesItem(m_services, *this);
    installSafetyMenus(m_services, *this, *m_ui->menuFile, *m_ui->menuEdit);
    installBooksTransferItems(m_services, *this, *m_ui->menuFile);
}

void UserListWindow::created() {
    // Signing in is over once this window exists.
    m_services.frame.close(m_services.frame.find<SignInWindow>());
    openHolders();
}

void UserListWindow::openHolders() {
    Result<HolderList*> opened = [this] {
        WaitCursor wait;
        return m_services.books.store().holders();
    }();
    if (!opened) {
        showUnavailable(opened.status());
        return;
    }
    m_holders = *opened;
    // What a crash cut short has been settled; anything the operator must look at is said
    // before the users are shown.
    for (const Status& warning : m_holders->warnings())
        m_services.host.reportFailure(warning);

    HolderList* holders = m_holders;
    connect(holders, &HolderList::userAdded, this, [this](int position) {
        // Another counter's addition lands in its place, and this list stays where it is.
        m_ui->列表框1->insertItem(position, userName(position));
        if (position == userCount() - 1)
            m_ui->列表框1->scrollToBottom();
    });
    connect(holders, &HolderList::userRenamed, this,
            [this](int position) { m_ui->列表框1->item(position)->setText(userName(position)); });
    connect(holders, &HolderList::userRemoved, this, [this](int position) {
        delete m_ui->列表框1->takeItem(position);
        // The neighbour that moved up was not chosen by the operator.
        m_ui->列表框1->clearSelection();
    });
    connect(holders, &HolderList::usersReloaded, this, &UserListWindow::reloaded);
    showAll();
}

void UserListWindow::reloaded() {
    const std::optional<QString> selected = [this]() -> std::optional<QString> {
        const QList<QListWidgetItem*> items = m_ui->列表框1->selectedItems();
        if (items.isEmpty())
            return std::nullopt;
        return items.first()->text();
    }();
    const int scrolled = m_ui->列表框1->verticalScrollBar()->value();
    showAll();
    m_ui->列表框1->verticalScrollBar()->setValue(scrolled);
    if (selected && m_holders && !m_changing)
        if (const std::optional<int> position = m_holders->find(*selected)) {
            QListWidgetItem* item = m_ui->列表框1->item(*position);
            m_ui->列表框1->setCurrentItem(item);
            item->setSelected(true);
        }
}

// A table that cannot be read must not look like one without users: the list says so, and
// nothing that would change the users can be chosen.
void UserListWindow::showUnavailable(const Status& why) {
    m_services.host.reportFailure(why, userTableUnavailableMessage() + u'\n');
    m_ui->列表框1->setEnabled(false);
    for (QAction* action : {m_ui->actionNewUser, m_ui->actionRenameUser, m_ui->actionDeleteUser})
        action->setEnabled(false);
    m_unavailable = new QLabel(userTableUnavailableMessage(), m_ui->列表框1);
    m_unavailable->setObjectName(QStringLiteral("userTableUnavailable"));
    m_unavailable->setWordWrap(true);
    m_unavailable->setAlignment(Qt::AlignCenter);
    m_unavailable->setGeometry(m_ui->列表框1->rect().adjusted(12, 12, -12, -12));
    m_unavailable->show();
}

void UserListWindow::showAll() {
    m_ui->列表框1->clear();
    if (m_holders)
        m_ui->列表框1->addItems(m_holders->users());
}

bool UserListWindow::closeQuery() {
    return m_services.host.messageBox(QStringLiteral("确认要关闭此窗口？"),
                                      MessageFlags::IconWarning | MessageFlags::OkCancel) ==
           MessageAnswer::Ok;
}

void UserListWindow::setLedgerWindowFactory(LedgerWindowFactory factory) {
    m_ledgerWindowFactory = std::move(factory);
}

std::optional<int> UserListWindow::selectedPosition() const {
    // The selection, not the focus frame: a list that merely has the focus has chosen no one.
    const QList<QListWidgetItem*> selected = m_ui->列表框1->selectedItems();
    if (selected.isEmpty())
        return std::nullopt;
    const int position = m_ui->列表框1->row(selected.first());
    if (position < 0 || position >= userCount())
        return std::nullopt;
    return position;
}

std::optional<QString> UserListWindow::selectedUserName() const {
    if (const std::optional<int> position = selectedPosition())
        return userName(*position);
    return std::nullopt;
}

int UserListWindow::userCount() const {
    return m_holders ? m_holders->count() : 0;
}

QString UserListWindow::userName(int position) const {
    if (position < 0 || position >= userCount())
        return QString();
    return m_holders->users()[position];
}

void UserListWindow::showUser(int position) {
    QListWidgetItem* item = m_ui->列表框1->item(position);
    if (!item)
        return;
    m_ui->列表框1->setCurrentItem(item);
    item->setSelected(true);
    m_ui->列表框1->scrollToItem(item);
}

void UserListWindow::search() {
    const QString text = m_ui->编辑框1->text();
    if (text.isEmpty())
        return;
    // The user of exactly that name, else the first whose name contains the text.
    std::optional<int> found = m_holders ? m_holders->find(text) : std::nullopt;
    for (int position = 0; !found && position < userCount(); ++position)
        if (userName(position).contains(text, Qt::CaseInsensitive))
            found = position;
    if (found)
        showUser(*found);
}

void UserListWindow::deleteUser() {
    const std::optional<int> position = selectedPosition();
    if (!position || !m_holders)
        return;
    if (m_services.host.messageBox(QStringLiteral("确认删除？"), MessageFlags::OkCancel) !=
        MessageAnswer::Ok)
        return;
    // The list follows the directory: it loses the user only if the directory did.
    reportUserChange(m_services.host, changeHolders([&](HolderList& holders) {
                         return holders.remove(*position, m_services.host.now());
                     }));
}

void UserListWindow::confirmSave() {
    // Every change has reached the user table as it was made; there is nothing left to write.
    m_services.host.messageBox(QStringLiteral("记录已保存！"));
}

void UserListWindow::exit() {
    if (m_services.host.messageBox(QStringLiteral("确认退出？"), MessageFlags::OkCancel) ==
        MessageAnswer::Ok)
        m_services.frame.close(this);
}

UserChange UserListWindow::changeHolders(const std::function<UserChange(HolderList&)>& change) {
    WaitCursor wait;
    const bool outer = !std::exchange(m_changing, true);
    UserChange changed = change(*m_holders);
    if (outer)
        m_changing = false;
    return changed;
}

void UserListWindow::openLedger() {
    const std::optional<QString> name = selectedUserName();
    if (!name || !m_ledgerWindowFactory)
        return;
    if (QWidget* ledger = m_ledgerWindowFactory(*name))
        m_services.frame.open(ledger);
}

} // namespace vellumar
