// Progress reporting of the long document operations.
//
// Every report is a (wParam, lParam) pair: lParam is a phase text id (start a phase; wParam the
// new range, 0 keeps it), 0 (advance by wParam; 0 only asks whether to go on) or -2 (disable the
// Cancel button). The answer is true to go on and false when the user asked to stop. The
// Windows side adapts a progress dialog's window handle to this interface; operations given no
// sink (nullptr) send nothing and are never cancelled.
#pragma once

#include <cstdint>

namespace kx {

// Phase texts; the numbers are the string resource ids of the texts.
enum ProgressPhase : int32_t {
    kPhaseReading = 1011,     // "データを読み込んでいます..."
    kPhaseWriting = 1012,     // "データを書き込んでいます..."
    kPhaseDecoding = 1013,    // "データを展開しています..."
    kPhaseEncoding = 1014,    // "データを圧縮しています..."
    kPhaseConverting = 1015,  // "256色に変換しています..."
    kPhaseComposing = 1016,   // "動画を構成しています..."
};
constexpr int32_t kProgressStep = 0;
constexpr int32_t kProgressEnableCancel = -1;
constexpr int32_t kProgressDisableCancel = -2;

class ProgressSink {
public:
    virtual ~ProgressSink() = default;
    // Returns true to go on, false when the user asked to stop.
    virtual bool Report(uint32_t wParam, int32_t lParam) = 0;
};

// Sends one report when a sink is given; without one the operation always goes on.
inline bool Report(ProgressSink* sink, uint32_t wParam, int32_t lParam) {
    return sink == nullptr || sink->Report(wParam, lParam);
}

}  // namespace kx
