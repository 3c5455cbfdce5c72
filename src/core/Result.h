#pragma once

#include <QString>

#include <optional>
#include <type_traits>
#include <utility>

namespace vigilux::core {

// The outcome of an operation that can fail: a value, or the text that says
// why not, ready to show (Russian where the window shows it). Result<void>
// carries no value. A failed result's value must not be read.
template <typename T>
class [[nodiscard]] Result final {
public:
    Result(T value)
        : m_value(std::move(value)) {}
    static Result failure(QString error) { return Result(std::nullopt, std::move(error)); }

    bool ok() const { return m_value.has_value(); }
    explicit operator bool() const { return ok(); }
    const T& value() const& { return *m_value; }
    T&& value() && { return std::move(*m_value); }
    // Empty when ok().
    const QString& error() const { return m_error; }

private:
    Result(std::nullopt_t, QString error)
        : m_error(std::move(error)) {}

    std::optional<T> m_value;
    QString m_error;
};

template <>
class [[nodiscard]] Result<void> final {
public:
    Result() = default;
    static Result failure(QString error) {
        Result r;
        r.m_failed = true;
        r.m_error = std::move(error);
        return r;
    }

    bool ok() const { return !m_failed; }
    explicit operator bool() const { return ok(); }
    // Empty when ok().
    const QString& error() const { return m_error; }

private:
    bool m_failed = false;
    QString m_error;
};

using Status = Result<void>;

} // namespace vigilux::core
