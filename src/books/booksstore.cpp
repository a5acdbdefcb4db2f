#include "books/booksstore.h"

#include "host/conversions.h"

namespace vellumar {

QString LedgerEditor::describe() const {
    if (counter.isEmpty() && host.isEmpty())
        return QStringLiteral("另一个柜台");
    QString text = QStringLiteral("柜台“%1”（电脑 %2，系统用户 %3）")
                       .arg(counter.isEmpty() ? host : counter, host, osUser);
    if (since.isValid())
        text += QStringLiteral("，自 %1 起").arg(dateTimeToText(since.toLocalTime()));
    return text;
}

HolderList::~HolderList() = default;

std::optional<int> HolderList::find(const QString& name) const {
    const qsizetype position = users().indexOf(name);
    if (position < 0)
        return std::nullopt;
    return static_cast<int>(position);
}

HolderBook::~HolderBook() = default;
BooksReader::~BooksReader() = default;
BooksStore::~BooksStore() = default;

} // namespace vellumar
