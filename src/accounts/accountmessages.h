#pragma once

#include "host/host.h"
#include "storage/status.h"

#include <QString>

namespace vellumar {

// Messages the user list and its dialogs share.
inline QString userExistsMessage() {
    return QStringLiteral("此用户已存在！");
}
inline QString invalidUserNameMessage() {
    return QStringLiteral("用户名无效！");
}

// A change the user table refused: the list was left as it was, so say so and what to do.
inline void reportUserTableFailure(Host& host, const Status& status) {
    host.messageBox(status.message() +
                        QStringLiteral("\n\n用户列表没有改动。请检查程序文件夹中的数据文件"
                                       "是否可以写入，然后重试。"),
                    MessageFlags::IconWarning);
}

} // namespace vellumar
