#pragma once

#include "frame/services.h"

class QMenu;

namespace vellumar {

class UserListWindow;

// The user list's doors between the shared books and the local books of the data folder, after
// the items of its "文件" menu: "上传本机账本…" copies the local books into the shared ones,
// "复制到本机账本…" the shared books into the local ones. Into empty books the copy is made at
// once; books that are not empty are merged only after the operator has read what would
// change. Both are greyed unless the counter works on shared books.
void installBooksTransferItems(Services services, UserListWindow& window, QMenu& fileMenu);

} // namespace vellumar
