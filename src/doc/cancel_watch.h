// Passes reports on to the caller's sink and remembers whether any of them was answered with
// Cancel, so that an operation can tell a cancelled step from a failed one when it gives a reason.
#pragma once

#include "doc/progress.h"

namespace kx {

class CancelWatch final : public ProgressSink {
public:
    explicit CancelWatch(ProgressSink* inner) : inner_(inner) {}

    bool Report(uint32_t wParam, int32_t lParam) override {
        const bool goOn = inner_->Report(wParam, lParam);
        cancelled_ = cancelled_ || !goOn;
        return goOn;
    }
    // The sink to hand on: none when the caller gave none, so nothing is reported or cancelled.
    ProgressSink* Sink() { return inner_ != nullptr ? this : nullptr; }
    bool Cancelled() const { return cancelled_; }

private:
    ProgressSink* inner_;
    bool cancelled_ = false;
};

}  // namespace kx
