// Error values carried across subsystem boundaries instead of exceptions.
#pragma once

#include <string>
#include <utility>
#include <variant>

namespace tb {

struct Error {
    std::string domain;  // "ScanStore", "POSIX", ...
    int code = 0;        // errno for "POSIX"
    std::string message; // the platform's or the library's own text, never empty

    static Error posix(int err);
    static Error posix(int err, const std::string& context);
};

template <typename T>
class [[nodiscard]] Result {
public:
    Result(T value) : v_(std::move(value)) {}
    Result(Error error) : v_(std::move(error)) {}

    bool ok() const { return v_.index() == 0; }
    explicit operator bool() const { return ok(); }
    T& value() { return std::get<0>(v_); }
    const T& value() const { return std::get<0>(v_); }
    T& operator*() { return value(); }
    const T& operator*() const { return value(); }
    T* operator->() { return &value(); }
    const T* operator->() const { return &value(); }
    const Error& error() const { return std::get<1>(v_); }

private:
    std::variant<T, Error> v_;
};

struct Ok {};
using Status = Result<Ok>;
inline Status okStatus() {
    return Ok{};
}

} // namespace tb
