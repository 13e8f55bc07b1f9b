// How the PST library reports outcomes: a value, "not there" (lookups only), or a failure with
// its text. Nothing in the library throws; see docs/pst.md, "Error contract".
#pragma once

#include <optional>
#include <string>
#include <utility>

namespace pst {

// A failure and what went wrong, in words fit for a log line.
struct Failure {
    std::string text;
};
inline Failure Fail(std::string text) {
    return Failure{std::move(text)};
}
// "The thing looked for does not exist" - an answer, not an error.
struct NotThere {};
inline constexpr NotThere kNotThere{};

// Outcome of an operation that yields nothing but can fail.
class [[nodiscard]] Status {
  public:
    Status() = default;
    Status(Failure f) : failed_(true), error_(std::move(f.text)) {}  // NOLINT: implicit by design
    bool ok() const { return !failed_; }
    explicit operator bool() const { return !failed_; }
    const std::string& error() const { return error_; }

  private:
    bool failed_ = false;
    std::string error_;
};

// Outcome of a call that yields a T: found (holds the value), not there, or failed (holds the
// text). `if (r)` tests for a value; `r.missing()` and `r.failed()` tell the other two apart.
template <class T>
class [[nodiscard]] Result {
  public:
    Result(T v) : value_(std::move(v)) {}             // NOLINT
    Result(NotThere) : missing_(true) {}              // NOLINT
    Result(Failure f) : error_(std::move(f.text)) {}  // NOLINT
    bool ok() const { return value_.has_value(); }
    bool missing() const { return missing_; }
    bool failed() const { return !value_ && !missing_; }
    explicit operator bool() const { return ok(); }
    // The failure's text; for "not there" a neutral text, so `error()` is never empty on !ok().
    const std::string& error() const { return missing_ ? kMissingText() : error_; }
    T& operator*() & { return *value_; }
    const T& operator*() const& { return *value_; }
    T&& operator*() && { return std::move(*value_); }
    T* operator->() { return &*value_; }
    const T* operator->() const { return &*value_; }
    T& value() & { return *value_; }
    T&& value() && { return std::move(*value_); }
    template <class U>
    T value_or(U&& other) const& {
        return value_ ? *value_ : static_cast<T>(std::forward<U>(other));
    }
    // The outcome without the value: ok, or the failure ("not there" counts as ok).
    Status status() const {
        if (failed()) return Fail(error_);
        return {};
    }

  private:
    static const std::string& kMissingText() {
        static const std::string t = "not found";
        return t;
    }
    std::optional<T> value_;
    bool missing_ = false;
    std::string error_;
};

}  // namespace pst
