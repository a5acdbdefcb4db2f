#pragma once

#include <QString>

#include <optional>
#include <utility>

namespace vellumar {

// The outcome of an operation that can fail: nothing, or a sentence for the operator that
// says what went wrong, with the system's own words about it kept apart as a detail. Windows
// decide whether and how to show it. Ignoring one is a compile error.
class [[nodiscard]] Status {
public:
    Status() = default;
    static Status failure(QString message, QString detail = QString()) {
        return Status(std::move(message), std::move(detail));
    }

    bool ok() const { return !m_failed; }
    explicit operator bool() const { return ok(); }
    // A plain Chinese sentence: what failed and, where it helps, what to do.
    const QString& message() const { return m_message; }
    // The system's own text (an errno text, SQLite's message); empty when there is none.
    const QString& detail() const { return m_detail; }

    // The same failure with a sentence of the caller's put in front, for context.
    Status prefixed(const QString& lead) const {
        return m_failed ? Status(lead + m_message, m_detail) : Status();
    }

private:
    Status(QString message, QString detail)
        : m_message(std::move(message)), m_detail(std::move(detail)), m_failed(true) {
        if (m_message.isEmpty())
            m_message = QStringLiteral("发生了未知的错误。");
    }
    QString m_message;
    QString m_detail;
    bool m_failed = false;
};

// A value, or the failure that kept it from being made. There is no way to read the value of
// a failure, so a failed read can never pass for an empty text or a zero.
template <typename T> class [[nodiscard]] Result {
public:
    Result(T value) : m_value(std::move(value)) {}
    Result(Status failure) : m_status(std::move(failure)) {
        if (m_status.ok())
            m_status = Status::failure(QString());
    }

    bool ok() const { return m_status.ok(); }
    explicit operator bool() const { return ok(); }
    const Status& status() const { return m_status; }

    // Only for a result that is ok(); checked in debug builds.
    const T& value() const& {
        Q_ASSERT(ok());
        return *m_value;
    }
    T& value() & {
        Q_ASSERT(ok());
        return *m_value;
    }
    T&& value() && {
        Q_ASSERT(ok());
        return std::move(*m_value);
    }
    const T& operator*() const& { return value(); }
    T& operator*() & { return value(); }
    const T* operator->() const { return &value(); }
    T* operator->() { return &value(); }

private:
    std::optional<T> m_value;
    Status m_status;
};

} // namespace vellumar
