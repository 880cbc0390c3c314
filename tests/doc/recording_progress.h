// A progress sink for tests: records every report and answers Cancel from its n-th report on.
#pragma once

#include <cstddef>
#include <cstdint>
#include <utility>
#include <vector>

#include "doc/progress.h"

namespace kx::test {

class RecordingProgress final : public ProgressSink {
public:
    // (wParam, lParam) as reported.
    using Entry = std::pair<uint32_t, int32_t>;

    // cancelAt = 0: never cancel; n >= 1: answer Cancel to the n-th report and every later one,
    // or with once set to the n-th report alone (a sink that changes its mind).
    explicit RecordingProgress(size_t cancelAt = 0, bool once = false)
        : cancelAt_(cancelAt), once_(once) {}

    bool Report(uint32_t wParam, int32_t lParam) override {
        reports.emplace_back(wParam, lParam);
        return cancelAt_ == 0 || reports.size() < cancelAt_ ||
               (once_ && reports.size() > cancelAt_);
    }

    void CancelAt(size_t n) { cancelAt_ = n; }
    // True once a report has been answered with Cancel.
    bool Cancelled() const { return cancelAt_ != 0 && reports.size() >= cancelAt_; }

    std::vector<Entry> reports;

private:
    size_t cancelAt_;
    bool once_;
};

}  // namespace kx::test
