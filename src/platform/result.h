#pragma once
// What a port hands back when it may fail in normal use (a file missing or
// unreadable, a disk full, a damaged hive): the value, or the failure with
// its number and Italian description. The caller has to look at it: value()
// raises the failure as the error of the caller's step, as any failure in a
// handler is reported; ok() and failure() let it go on without, visibly.
#include "errors.h"

#include <QString>
#include <optional>
#include <utility>

namespace qyr {

struct Failure {
    qint32 number = 0;
    QString description;
    static Failure of(const QyrError &e) { return Failure{e.number(), e.description()}; }
    // A failure the standard description of its number says all about.
    static Failure of(qint32 number) { return Failure{number, errorDescription(number)}; }
};

// The value of an operation that has none to give.
struct Done {};

template <typename T>
class [[nodiscard]] Result {
public:
    Result(T value) : value_(std::move(value)) {}
    Result(Failure failure) : failure_(std::move(failure)) {}

    bool ok() const { return value_.has_value(); }
    explicit operator bool() const { return ok(); }
    const T &value() const
    {
        if (!value_)
            throw QyrError(failure_.number, failure_.description);
        return *value_;
    }
    const T &operator*() const { return value(); }
    // The value, or fallback when there is none.
    T valueOr(T fallback) const { return value_ ? *value_ : std::move(fallback); }
    const T *operator->() const { return &value(); }
    const Failure &failure() const { return failure_; }

private:
    std::optional<T> value_;
    Failure failure_;
};

// Runs body, which may throw QyrError, and hands back what it gave or why it failed.
template <typename Body>
auto resultOf(Body &&body) -> Result<decltype(body())>
{
    try {
        return body();
    } catch (const QyrError &e) {
        return Failure::of(e);
    }
}

} // namespace qyr
