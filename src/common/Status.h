#pragma once

#include <QString>

#include <optional>
#include <utility>

namespace vm {

// The outcome of an operation that can fail: success, or a message for the operator that names
// the file, table or record at fault. Deliberately without operator+: joining results with "+"
// leaves the order of the calls to the compiler. Combine them with `if (!s) return s;` instead.
class [[nodiscard]] Status {
public:
    Status() = default;
    static Status failure(QString message) { return Status(std::move(message), true); }

    bool ok() const { return !m_failed; }
    explicit operator bool() const { return ok(); }
    const QString& error() const { return m_error; }

private:
    Status(QString message, bool failed)
        : m_error(std::move(message))
        , m_failed(failed)
    {
    }

    QString m_error;
    bool m_failed = false;
};

// A value, or the message saying why there is none.
template <class T> class [[nodiscard]] Result {
public:
    Result(T value)
        : m_value(std::move(value))
    {
    }
    Result(Status failed)
        : m_status(std::move(failed))
    {
        Q_ASSERT(!m_status.ok());
    }

    bool ok() const { return m_value.has_value(); }
    explicit operator bool() const { return ok(); }
    const Status& status() const { return m_status; }
    const QString& error() const { return m_status.error(); }

    T& value() { return *m_value; }
    const T& value() const { return *m_value; }
    T& operator*() { return *m_value; }
    const T& operator*() const { return *m_value; }
    T* operator->() { return &*m_value; }
    const T* operator->() const { return &*m_value; }

private:
    std::optional<T> m_value;
    Status m_status;
};

} // namespace vm
