#pragma once

#include <QString>

#include <utility>

namespace vellumar {

// The outcome of an operation that can fail: nothing, or a sentence for the operator that
// says what went wrong. Windows decide whether and how to show it.
class Status {
public:
    Status() = default;
    static Status failure(QString message) { return Status(std::move(message)); }

    bool ok() const { return m_message.isEmpty(); }
    explicit operator bool() const { return ok(); }
    const QString& message() const { return m_message; }

private:
    explicit Status(QString message) : m_message(std::move(message)) {
        if (m_message.isEmpty())
            m_message = QStringLiteral("未知错误");
    }
    QString m_message;
};

} // namespace vellumar
