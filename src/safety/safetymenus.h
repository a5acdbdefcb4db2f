#pragma once

#include "frame/services.h"

class QMenu;

namespace vellumar {

class UserListWindow;

// The user list's doors to the safety nets: "备份与恢复" after the items of its "文件" menu and
// "回收站" after those of its "编辑" menu. Both are greyed while the user table cannot be read.
void installSafetyMenus(Services services, UserListWindow& window, QMenu& fileMenu,
                        QMenu& editMenu);

} // namespace vellumar
