#pragma once

#include "storage/status.h"

#include <QString>

namespace vellumar {

// SQLSTATEs the shared store acts on.
namespace SqlState {
inline constexpr QStringView UniqueViolation = u"23505";
inline constexpr QStringView LockNotAvailable = u"55P03";
inline constexpr QStringView SerializationFailure = u"40001";
inline constexpr QStringView DeadlockDetected = u"40P01";
inline constexpr QStringView ReadOnlyTransaction = u"25006";
} // namespace SqlState

// How the sentences name a server: "服务器 db.shop（端口 5432）上的数据库“books”", or for a
// Unix socket "本机套接字目录 /run/postgresql（端口 5432）上的数据库“books”".
QString describeServer(const QString& host, const QString& port, const QString& database);

// The server could not be reached or refused the connection.
Status connectFailure(const QString& server, const QString& detail);

// A statement failed. The sentence follows the SQLSTATE's class (the connection broke, the
// server is read-only, out of room, another counter holds what was asked for …); the server's
// words are the detail.
Status statementFailure(const QString& server, const QString& sqlState, const QString& detail,
                        bool connectionLost);

} // namespace vellumar
