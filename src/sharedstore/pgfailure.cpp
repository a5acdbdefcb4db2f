#include "sharedstore/pgfailure.h"

namespace vellumar {

namespace {

QString sentence(const char16_t* pattern, const QString& server) {
    return QString::fromUtf16(pattern).arg(server);
}

} // namespace

QString describeServer(const QString& host, const QString& port, const QString& database) {
    const QString where = host.isEmpty() || host.startsWith(u'/') || host.startsWith(u'@')
                              ? QStringLiteral("本机套接字目录 %1")
                                    .arg(host.isEmpty() ? QStringLiteral("（默认）") : host)
                              : QStringLiteral("服务器 %1").arg(host);
    return QStringLiteral("%1（端口 %2）上的数据库“%3”").arg(where, port, database);
}

Status connectFailure(const QString& server, const QString& detail) {
    return Status::failure(
        sentence(u"无法连接共享账本：%1。\n请确认那台电脑已开机、PostgreSQL 服务正在运行、"
                 u"网络畅通；服务器要求密码时，请检查本机的 ~/.pgpass 文件。然后再试一次，"
                 u"或者先使用本机的账本。",
                 server),
        detail);
}

Status statementFailure(const QString& server, const QString& sqlState, const QString& detail,
                        bool connectionLost) {
    const QString cls = sqlState.left(2);
    if (connectionLost || cls == u"08" || sqlState == u"57P01" || sqlState == u"57P02" ||
        sqlState == u"57P03")
        return Status::failure(
            sentence(u"与共享账本（%1）的连接中断了，这次操作没有完成。\n服务器恢复后，程序会"
                     u"自动重新连接；请确认服务器正在运行，稍后再试一次。",
                     server),
            detail);
    if (sqlState == SqlState::SerializationFailure || sqlState == SqlState::DeadlockDetected)
        return Status::failure(QStringLiteral("另一个柜台同时在修改同样的账目，这次没有改动。"
                                              "请再试一次。"),
                               detail);
    if (sqlState == SqlState::LockNotAvailable)
        return Status::failure(QStringLiteral("共享账本正被另一个柜台占用（例如正在上传账本），"
                                              "这次没有改动。请稍后再试。"),
                               detail);
    if (sqlState == SqlState::ReadOnlyTransaction)
        return Status::failure(
            sentence(u"%1 只能读取（也许是备用服务器），不能在这里修改账目。请连接主服务器。",
                     server),
            detail);
    if (sqlState == u"42501")
        return Status::failure(
            sentence(u"登录 %1 所用的数据库用户权限不够。请让管理员给这个用户授予权限。", server),
            detail);
    if (sqlState == u"53100")
        return Status::failure(
            sentence(u"%1 所在的磁盘已满，这次没有保存。请让管理员腾出磁盘空间。", server), detail);
    if (cls == u"53")
        return Status::failure(
            sentence(u"%1 暂时资源不足（内存或连接数），这次没有完成。请稍后再试。", server),
            detail);
    if (cls == u"22")
        return Status::failure(QStringLiteral("服务器不接受其中的某些文字或数值，这次没有保存。"),
                               detail);
    return Status::failure(sentence(u"%1 拒绝了这次操作。", server), detail);
}

} // namespace vellumar
