#include "accounts/userlistwindow.h"

#include "accounts/accountmessages.h"
#include "accounts/adduserdialog.h"
#include "accounts/changepassworddialog.h"
#include "accounts/renameuserdialog.h"
#include "accounts/signinwindow.h"
#include "frame/windowstyle.h"
#include "ledger/ledgerwindow.h"
#include "storage/usernames.h"
#include "ui_userlistwindow.h"
#include "utilities/aboutwindow.h"

#include <QListWidget>

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
    connect(m_ui->actionHelp, &QAction::triggered, this, [this] {
        m_services.host.run(m_services.paths.programDirectory() + DataPaths::HelpLiteral);
    });
    connect(m_ui->actionAbout, &QAction::triggered, this,
            [this] { m_services.frame.open(new AboutWindow(m_services)); });
}

void UserListWindow::created() {
    // Signing in is over once this window exists.
    m_services.frame.close(m_services.frame.find<SignInWindow>());
    Result<RecordTable> table = RecordTable::open(m_services.paths.userTable());
    if (!table) {
        m_services.host.reportFailure(table.status());
        return;
    }
    m_userTable = std::move(table).value();
    fill();
}

void UserListWindow::fill() {
    const Result<QStringList> names = m_userTable->readColumn(1);
    if (!names) {
        m_services.host.reportFailure(names.status());
        return;
    }
    m_ui->列表框1->addItems(*names);
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
    return m_ui->列表框1->row(selected.first());
}

std::optional<QString> UserListWindow::selectedUserName() const {
    if (const std::optional<int> position = selectedPosition())
        return userName(*position);
    return std::nullopt;
}

int UserListWindow::userCount() const {
    return m_ui->列表框1->count();
}

QString UserListWindow::userName(int position) const {
    const QListWidgetItem* item = m_ui->列表框1->item(position);
    return item ? item->text() : QString();
}

std::optional<int> UserListWindow::findUser(const QString& name) const {
    for (int position = 0; position < userCount(); ++position)
        if (userName(position) == name)
            return position;
    return std::nullopt;
}

void UserListWindow::showUser(int position) {
    QListWidgetItem* item = m_ui->列表框1->item(position);
    if (!item)
        return;
    m_ui->列表框1->setCurrentItem(item);
    item->setSelected(true);
    m_ui->列表框1->scrollToItem(item);
}

Status UserListWindow::userTableMissing() const {
    return Status::failure(
        QStringLiteral("无法打开用户表“%1”。").arg(m_services.paths.userTable()));
}

Status UserListWindow::appendUser(const QString& name) {
    if (!m_userTable)
        return userTableMissing();
    if (Status status = m_userTable->appendRecord({name}); !status)
        return status;
    m_ui->列表框1->addItem(name);
    m_ui->列表框1->scrollToBottom();
    return Status();
}

Status UserListWindow::renameUser(int position, const QString& name) {
    if (!m_userTable)
        return userTableMissing();
    if (Status status = m_userTable->writeField(position + 1, 1, name); !status)
        return status;
    m_ui->列表框1->item(position)->setText(name);
    return Status();
}

Status UserListWindow::removeUser(int position) {
    if (!m_userTable)
        return userTableMissing();
    if (Status status = m_userTable->deleteRecords(position + 1, 1); !status)
        return status;
    // The ledger goes with the user. A user whose ledger was never saved has no file.
    const QString name = userName(position);
    if (isSafeUserName(name))
        m_services.host.deleteFile(
            m_services.paths.ledgerFile(DataPaths::LedgerDirBackslash, name));
    delete m_ui->列表框1->takeItem(position);
    // The neighbour that moved up was not chosen by the operator.
    m_ui->列表框1->clearSelection();
    return Status();
}

void UserListWindow::search() {
    const QString text = m_ui->编辑框1->text();
    if (text.isEmpty())
        return;
    // The user of exactly that name, else the first whose name contains the text.
    std::optional<int> found = findUser(text);
    for (int position = 0; !found && position < userCount(); ++position)
        if (userName(position).contains(text, Qt::CaseInsensitive))
            found = position;
    if (found)
        showUser(*found);
}

void UserListWindow::deleteUser() {
    const std::optional<int> position = selectedPosition();
    if (!position)
        return;
    if (m_services.host.messageBox(QStringLiteral("确认删除？"), MessageFlags::OkCancel) !=
        MessageAnswer::Ok)
        return;
    if (Status status = removeUser(*position); !status)
        reportUserTableFailure(m_services.host, status);
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

void UserListWindow::openLedger() {
    const std::optional<QString> name = selectedUserName();
    if (!name || !m_ledgerWindowFactory)
        return;
    if (QWidget* ledger = m_ledgerWindowFactory(*name))
        m_services.frame.open(ledger);
}

} // namespace vellumar
