#pragma once
#include <exception>

namespace suite {

// Why an operation was abandoned. The abort itself is silent (its message was
// already shown); callers that must report an outcome, such as the command
// line's exit status, read the reason.
enum class AbortReason { Check, Server, File, Cancelled };

// The silent abort raised by MensErro. Event-handler boundaries swallow it.
class EAbort : public std::exception {
public:
    explicit EAbort(AbortReason reason = AbortReason::Check) : reason_(reason) {}
    AbortReason reason() const noexcept { return reason_; }
    const char* what() const noexcept override { return "operation aborted"; }

private:
    AbortReason reason_;
};

} // namespace suite
