#pragma once
// Outcome of an operation that can fail: failures travel back to the caller,
// who decides what to tell the operator.

#include <string>
#include <utility>

namespace tscard {

class Status {
public:
    Status() = default;
    static Status Ok() { return Status(); }
    static Status Fail(std::string message) { return Status(std::move(message)); }

    bool ok() const { return ok_; }
    explicit operator bool() const { return ok_; }
    const std::string& message() const { return message_; }

private:
    explicit Status(std::string message) : ok_(false), message_(std::move(message)) {}
    bool ok_ = true;
    std::string message_;
};

}  // namespace tscard
