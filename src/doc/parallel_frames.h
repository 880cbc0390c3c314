// What the parallel coding and decoding of a movie's frames share: how many threads, and the
// progress of a frame done ahead of its turn, kept until the calling thread sends it in frame
// order.
#pragma once

#include <algorithm>
#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <new>
#include <thread>
#include <vector>

#include "doc/progress.h"

namespace kx {

// Threads for coding or decoding frames: wanted, or one per core for 0.
inline size_t FrameThreads(int32_t wanted) {
    if (wanted > 0) {
        return size_t(wanted);
    }
    return std::max<size_t>(std::thread::hardware_concurrency(), 1);
}

// The sink of a frame done ahead of its turn: records the steps and answers stop once the
// calling thread heard Cancel.
class DeferredProgress final : public ProgressSink {
public:
    DeferredProgress(std::vector<uint32_t>& steps, const std::atomic<bool>& stop)
        : steps_(steps), stop_(stop) {}
    bool Report(uint32_t wParam, int32_t) override {
        try {
            steps_.push_back(wParam);
        } catch (const std::bad_alloc&) {
            return false;
        }
        return !stop_.load(std::memory_order_relaxed);
    }

private:
    std::vector<uint32_t>& steps_;
    const std::atomic<bool>& stop_;
};

// Stops the threads that wait on changed under mutex and watch stop, and waits for them to end.
inline void StopThreads(std::mutex& mutex, std::condition_variable& changed,
                        std::atomic<bool>& stop, std::vector<std::thread>& threads) {
    {
        std::lock_guard lock(mutex);
        stop = true;
        changed.notify_all();
    }
    for (std::thread& thread : threads) {
        thread.join();
    }
    threads.clear();
}

}  // namespace kx
