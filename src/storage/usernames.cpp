#include "storage/usernames.h"

#include <QChar>

namespace vellumar {

bool isSafeUserName(QStringView name) {
    if (name == u"." || name == u"..")
        return false;
    // A lone surrogate would be written to disk as a different name than the one shown.
    if (!name.isValidUtf16())
        return false;
    for (const QChar character : name) {
        if (character == u'/' || character == u'\\')
            return false;
        if (character.category() == QChar::Other_Control)
            return false;
    }
    return true;
}

} // namespace vellumar
