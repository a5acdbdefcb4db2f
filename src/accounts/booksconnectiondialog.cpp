#include "accounts/booksconnectiondialog.h"

#include "frame/booksstart.h"
#include "frame/waitcursor.h"
#include "frame/windowstyle.h"
#include "sharedstore/connectiontext.h"
#include "sharedstore/pgconnection.h"

#include <QButtonGroup>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QGroupBox>
#include <QIntValidator>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QVBoxLayout>

namespace vellumar {

namespace {

QLineEdit* field(const char* name, const QString& accessibleName, QWidget* parent) {
    auto* edit = new QLineEdit(parent);
    edit->setObjectName(QString::fromLatin1(name));
    edit->setAccessibleName(accessibleName);
    return edit;
}

QString environmentNote() {
    return QStringLiteral("本机的环境变量 %1 已经指定了共享账本，程序总是使用它；这里的选择会记下，"
                          "但要等去掉这个变量以后才起作用。")
        .arg(QLatin1String(DatabaseVariable));
}

} // namespace

BooksConnectionDialog::BooksConnectionDialog(Services services, QWidget* parent)
    : Dialog(parent), m_services(services) {
    setObjectName(QStringLiteral("BooksConnectionDialog"));
    setWindowTitle(QStringLiteral("选择账本"));
    applyFrameKind(this, FrameKind::Dialog);

    m_environment = new QLabel(environmentNote(), this);
    m_environment->setObjectName(QStringLiteral("environmentNote"));
    m_environment->setWordWrap(true);
    m_environment->setAccessibleName(m_environment->text());
    m_environment->setVisible(environmentChoosesBooks());

    m_local = new QRadioButton(QStringLiteral("本机的账本（数据文件夹中）"), this);
    m_local->setObjectName(QStringLiteral("localChoice"));
    m_shared =
        new QRadioButton(QStringLiteral("共享账本（PostgreSQL 数据库服务器，几台电脑共用）"), this);
    m_shared->setObjectName(QStringLiteral("sharedChoice"));
    auto* kinds = new QButtonGroup(this);
    kinds->addButton(m_local);
    kinds->addButton(m_shared);

    auto* server = new QGroupBox(QStringLiteral("共享账本的服务器"), this);
    server->setObjectName(QStringLiteral("serverBox"));
    auto* form = new QFormLayout(server);
    m_host = field("hostField", QStringLiteral("服务器地址"), server);
    m_host->setPlaceholderText(QStringLiteral("例如 192.168.1.10 或 shop-server"));
    m_port = field("portField", QStringLiteral("端口"), server);
    m_port->setPlaceholderText(QStringLiteral("5432"));
    m_port->setValidator(new QIntValidator(1, 65535, m_port));
    m_database = field("databaseField", QStringLiteral("数据库"), server);
    m_user = field("userField", QStringLiteral("用户名"), server);
    m_sslMode = new QComboBox(server);
    m_sslMode->setObjectName(QStringLiteral("sslModeChoice"));
    m_sslMode->setAccessibleName(QStringLiteral("加密连接"));
    const QPair<QString, QString> modes[] = {
        {QStringLiteral("默认（服务器支持时加密）"), QString()},
        {QStringLiteral("必须加密（require）"), QStringLiteral("require")},
        {QStringLiteral("加密并核对证书（verify-ca）"), QStringLiteral("verify-ca")},
        {QStringLiteral("加密并核对证书和服务器名（verify-full）"), QStringLiteral("verify-full")},
        {QStringLiteral("不加密（disable）"), QStringLiteral("disable")},
    };
    for (const auto& [caption, mode] : modes)
        m_sslMode->addItem(caption, mode);
    m_connectionText = field("connectionTextField", QStringLiteral("连接字符串或服务名"), server);
    m_connectionText->setPlaceholderText(
        QStringLiteral("例如 service=shop 或 postgresql://shop-server/books"));
    form->addRow(QStringLiteral("服务器地址："), m_host);
    form->addRow(QStringLiteral("端口："), m_port);
    form->addRow(QStringLiteral("数据库："), m_database);
    form->addRow(QStringLiteral("用户名："), m_user);
    form->addRow(QStringLiteral("加密连接："), m_sslMode);
    auto* orLabel =
        new QLabel(QStringLiteral("或者填写 libpq 连接字符串、postgresql:// 地址或 service=服务名"
                                  "（填写后，上面各项不用）："),
                   server);
    orLabel->setWordWrap(true);
    form->addRow(orLabel);
    form->addRow(m_connectionText);

    auto* help =
        new QLabel(QStringLiteral("数据库的密码不由本程序保存。服务器要求密码时，请由管理员写进本机"
                                  "用户的 ~/.pgpass 文件，每行一个：服务器:端口:数据库:用户名:密码"
                                  "（文件权限须为 600）。"),
                   this);
    help->setObjectName(QStringLiteral("passwordHelp"));
    help->setWordWrap(true);
    for (QLabel* label : findChildren<QLabel*>())
        if (label->accessibleName().isEmpty())
            label->setAccessibleName(label->text());

    auto* buttons = new QDialogButtonBox(this);
    QPushButton* test =
        buttons->addButton(QStringLiteral("测试连接"), QDialogButtonBox::ActionRole);
    test->setObjectName(QStringLiteral("testButton"));
    QPushButton* ok = buttons->addButton(QStringLiteral("确定"), QDialogButtonBox::AcceptRole);
    ok->setObjectName(QStringLiteral("okButton"));
    QPushButton* cancel = buttons->addButton(QStringLiteral("取消"), QDialogButtonBox::RejectRole);
    cancel->setObjectName(QStringLiteral("cancelButton"));
    ok->setDefault(true);
    connect(test, &QPushButton::clicked, this, &BooksConnectionDialog::testConnection);
    connect(ok, &QPushButton::clicked, this, &BooksConnectionDialog::confirm);
    connect(cancel, &QPushButton::clicked, this, [this] { m_services.frame.close(this); });
    connect(m_local, &QRadioButton::toggled, this, &BooksConnectionDialog::kindChosen);
    connect(m_connectionText, &QLineEdit::textChanged, this, &BooksConnectionDialog::kindChosen);

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(m_environment);
    layout->addWidget(m_local);
    layout->addWidget(m_shared);
    layout->addWidget(server);
    layout->addWidget(help);
    layout->addWidget(buttons);
    setMinimumWidth(460);

    // What is saved shows first; without a saved choice, the books in use.
    const Result<std::optional<BooksLocation>> saved =
        savedBooksChoice(m_services.paths.settingsFile());
    showLocation(saved && *saved ? **saved : m_services.books.location());
}

void BooksConnectionDialog::showLocation(const BooksLocation& location) {
    const bool shared = location.kind == BooksLocation::Kind::Shared;
    (shared ? m_shared : m_local)->setChecked(true);
    if (shared) {
        if (const std::optional<ConnectionFields> fields = connectionFields(location.connection)) {
            m_host->setText(fields->host);
            m_port->setText(fields->port);
            m_database->setText(fields->database);
            m_user->setText(fields->user);
            const int mode = m_sslMode->findData(fields->sslMode);
            if (mode >= 0)
                m_sslMode->setCurrentIndex(mode);
            else
                m_connectionText->setText(location.connection);
        } else {
            m_connectionText->setText(location.connection);
        }
    }
    kindChosen();
}

void BooksConnectionDialog::kindChosen() {
    const bool shared = m_shared->isChecked();
    const bool byText = !m_connectionText->text().trimmed().isEmpty();
    for (QWidget* edit :
         std::initializer_list<QWidget*>{m_host, m_port, m_database, m_user, m_sslMode})
        edit->setEnabled(shared && !byText);
    m_connectionText->parentWidget()->setEnabled(shared);
}

BooksLocation BooksConnectionDialog::chosenLocation() const {
    if (!m_shared->isChecked())
        return BooksLocation{BooksLocation::Kind::Local, QString(), BooksLocation::Source::Saved};
    QString text = m_connectionText->text().trimmed();
    if (text.isEmpty())
        text = connectionText({m_host->text(), m_port->text(), m_database->text(), m_user->text(),
                               m_sslMode->currentData().toString()});
    return BooksLocation{BooksLocation::Kind::Shared, text, BooksLocation::Source::Saved};
}

QString BooksConnectionDialog::problem() const {
    const BooksLocation location = chosenLocation();
    if (location.kind == BooksLocation::Kind::Local)
        return QString();
    if (location.connection.isEmpty())
        return QStringLiteral("请填写共享账本的服务器地址和数据库，或者连接字符串、服务名。");
    if (connectionHasPassword(location.connection))
        return QStringLiteral("连接字符串里不要写数据库的密码：程序会把连接设置记在数据文件夹中。"
                              "请把密码写进 ~/.pgpass 文件，再从连接字符串中去掉它。");
    return QString();
}

void BooksConnectionDialog::testConnection() {
    if (const QString why = problem(); !why.isEmpty()) {
        m_services.host.messageBox(why, MessageFlags::IconWarning);
        return;
    }
    const BooksLocation location = chosenLocation();
    if (location.kind == BooksLocation::Kind::Local) {
        m_services.host.messageBox(QStringLiteral("本机的账本不需要连接服务器。"),
                                   MessageFlags::IconInformation);
        return;
    }
    const Result<QString> tried = [&] {
        WaitCursor wait;
        return tryConnection(location.connection);
    }();
    if (!tried) {
        m_services.host.reportFailure(tried.status(), QString(), MessageFlags::IconWarning);
        return;
    }
    m_services.host.messageBox(QStringLiteral("连接成功：%1。").arg(*tried),
                               MessageFlags::IconInformation);
}

bool BooksConnectionDialog::keepChoice(const BooksLocation& location) {
    const Status kept = saveBooksChoice(m_services.paths.settingsFile(), location);
    if (!kept)
        m_services.host.reportFailure(kept, QStringLiteral("这个选择没能记下，下次启动时程序仍按"
                                                           "原来的选择打开账本：\n"));
    return kept.ok();
}

void BooksConnectionDialog::confirm() {
    if (const QString why = problem(); !why.isEmpty()) {
        m_services.host.messageBox(why, MessageFlags::IconWarning);
        return;
    }
    BooksLocation location = chosenLocation();
    if (location.kind == BooksLocation::Kind::Shared)
        if (Status readable = PgConnection::checkText(location.connection); !readable) {
            m_services.host.reportFailure(readable);
            return;
        }
    if (environmentChoosesBooks()) {
        if (keepChoice(location))
            m_services.host.messageBox(QStringLiteral("选择已记下。") + environmentNote(),
                                       MessageFlags::IconInformation);
        m_services.frame.close(this);
        return;
    }
    Result<std::unique_ptr<BooksStore>> opened =
        connectBooks(location, m_services.paths, m_services.files);
    if (!opened) {
        // The books in use stay; the operator may correct the fields or cancel.
        m_services.host.reportFailure(opened.status(),
                                      QStringLiteral("没有改用这些账本，仍使用原来的账本。\n"));
        return;
    }
    (void)keepChoice(location);
    const QString description = (*opened)->description();
    m_services.books.replace(std::move(opened).value(), location);
    m_services.host.messageBox(
        QStringLiteral("现在使用%1。\n请输入这些账本的管理密码登录。").arg(description),
        MessageFlags::IconInformation);
    m_services.frame.close(this);
}

} // namespace vellumar
