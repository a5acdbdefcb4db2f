#pragma once

#include "accounts/userdirectory.h"
#include "host/host.h"

#include <QString>

namespace vellumar {

// What the user list says when it cannot read the user table: no user can be shown, added,
// renamed or deleted until it can.
inline QString userTableUnavailableMessage() {
    return QStringLiteral("无法读取用户表，现在不能显示、添加、修改或删除用户。");
}

// Tells the operator why a change of the users was refused: a name to change is told in the
// program's own words, a failure with what failed and the system's reason.
inline void reportUserChange(Host& host, const UserChange& change) {
    switch (change.refusal()) {
    case UserChange::Refusal::None:
        return;
    case UserChange::Refusal::InvalidName:
    case UserChange::Refusal::NameInUse:
        host.messageBox(change.status().message());
        return;
    case UserChange::Refusal::Failed:
        host.reportFailure(change.status());
        return;
    }
}

} // namespace vellumar
