#include "accounts/usernamevalidator.h"

#include "storage/usernames.h"

namespace vellumar {

UserNameValidator::UserNameValidator(qsizetype fileNameLimit, QObject* parent)
    : QValidator(parent), m_fileNameLimit(fileNameLimit) {}

QValidator::State UserNameValidator::validate(QString& input, int&) const {
    // Only the length is capped here; every other rule is told by the add or rename itself.
    return fitsLedgerFileName(input, m_fileNameLimit) ? Acceptable : Invalid;
}

} // namespace vellumar
