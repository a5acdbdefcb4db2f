#pragma once

#include <QValidator>

namespace vellumar {

// Caps a user-name box at the longest name whose ledger file name still fits the ledger
// folder. The cap counts bytes of the file name, not characters: a Chinese character takes
// three, a Latin letter one.
class UserNameValidator final : public QValidator {
    Q_OBJECT

public:
    UserNameValidator(qsizetype fileNameLimit, QObject* parent = nullptr);

    State validate(QString& input, int& position) const override;

private:
    qsizetype m_fileNameLimit;
};

} // namespace vellumar
