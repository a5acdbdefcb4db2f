#include "storage/usernames.h"

#include <QChar>
#include <QFile>

#include <climits>
#include <unistd.h>

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

qsizetype fileNameLimit(const QString& folder) {
    const long limit = ::pathconf(QFile::encodeName(folder).constData(), _PC_NAME_MAX);
    return limit > 0 ? static_cast<qsizetype>(limit) : NAME_MAX;
}

bool fitsLedgerFileName(QStringView name, qsizetype limit) {
    return QFile::encodeName(name.toString() + LedgerSuffix).size() <= limit;
}

} // namespace vellumar
