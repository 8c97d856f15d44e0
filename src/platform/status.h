#pragma once
// Outcome of an operation that can fail: failures travel back to the caller,
// who decides what to tell the operator.

#include <string>
#include <utility>

#include "platform/words.h"

namespace tscard {

class [[nodiscard]] Status {
public:
    Status() = default;
    static Status Ok() { return Status(); }
    // error: the system's error number behind the failure, when there is one.
    static Status Fail(Words message, int error = 0) { return Status(std::move(message), error); }

    bool ok() const { return ok_; }
    explicit operator bool() const { return ok_; }
    // The failure in English.
    const std::string& message() const { return message_.English(); }
    // The failure as it was made, for a front end that says it in another language.
    const Words& words() const { return message_; }
    // The system's error number of a failed system call, or 0.
    int error() const { return error_; }

private:
    Status(Words message, int error) : ok_(false), message_(std::move(message)), error_(error) {}
    bool ok_ = true;
    Words message_;
    int error_ = 0;
};

}  // namespace tscard
