// Decoding all frames of a movie on loading, each against the one decoded before it. The frames
// decode into runs of one block. A movie of 8-bit codes with key frames is decoded on every core,
// a run of frames from each key frame on; otherwise one thread decodes while another makes the
// memory of the next frames ready.
#include <algorithm>
#include <atomic>
#include <condition_variable>
#include <cstring>
#include <mutex>
#include <new>
#include <string>
#include <system_error>
#include <thread>
#include <utility>
#include <vector>

#include "doc/animation_document.h"
#include "doc/parallel_frames.h"
#include "doc/rle_frame.h"

namespace kx {
namespace {

// The index flag of a frame that is whole in itself.
constexpr uint32_t kKeyFrameFlag = 0x10;

// The slot of the frame decoded k-th: the initial frames (held after the movie's n frames) come
// first, then frames 0 ... n - 1.
size_t SlotAt(size_t k, size_t n, size_t slots) {
    return (n + k) % slots;
}

// The failure of the frame in slot, named by its number.
int FailAtFrame(std::string* reason, size_t slot, const std::string& why) {
    return FailWith(reason, "frame " + std::to_string(slot) + ": " + why);
}

// One block for the plain pixels of n frames of the format, taken with large pages where the
// system has them: the frames decode into runs of it instead of n blocks of their own. An empty
// block where that is not possible; each frame then takes a block of its own.
SharedBlock FramesBlock(const BitmapInfoHeader& format, size_t n) {
    Geometry g;
    const bool packed4 = format.biCompression == uint32_t(Compression::Rle4);
    if (n == 0 || !MakeGeometry(format.biWidth, format.biHeight, packed4, g) ||
        g.total * n > kMaxMovieBytes) {
        return {};
    }
    try {
        return SharedBlock::Uncleared(size_t(g.total * n));
    } catch (const std::bad_alloc&) {
        return {};
    }
}

// Makes the frames of a block ready for decoding, one after another on a thread of its own,
// while the caller decodes into those already done: the first frame is cleared, and so are the
// others unless the decoder writes every byte of a frame with a base itself (8-bit codes); their
// pages are then only touched. The first touch of fresh memory is where the system clears its
// pages; on another core that runs beside the decoding, which cannot itself be shared out when
// frames build on the frames before them. Without a second core or thread the caller clears
// everything at once.
class FramePreparer {
public:
    FramePreparer(const SharedBlock& block, size_t frameBytes, bool basesWriteAll)
        : block_(block),
          frameBytes_(frameBytes),
          frames_(frameBytes != 0 ? block.size / frameBytes : 0),
          basesWriteAll_(basesWriteAll) {
        if (frames_ == 0) {
            return;
        }
        if (frames_ > 1 && std::thread::hardware_concurrency() > 1) {
            try {
                thread_ = std::thread([this] { PrepareAll(); });
                return;
            } catch (const std::system_error&) {
            }
        }
        std::memset(block_.bytes.get(), 0, block_.size);
        ready_ = frames_;
    }
    ~FramePreparer() {
        stop_ = true;
        if (thread_.joinable()) {
            thread_.join();
        }
    }
    FramePreparer(const FramePreparer&) = delete;
    FramePreparer& operator=(const FramePreparer&) = delete;

    // Returns once frame k is ready.
    void WaitFor(size_t k) {
        std::unique_lock lock(mutex_);
        changed_.wait(lock, [&] { return ready_ > k; });
    }

private:
    static constexpr size_t kPageBytes = 4096;

    void PrepareAll() {
        for (size_t k = 0; k < frames_ && !stop_; ++k) {
            uint8_t* frame = block_.bytes.get() + k * frameBytes_;
            if (k == 0 || !basesWriteAll_) {
                std::memset(frame, 0, frameBytes_);
            } else {
                for (size_t at = 0; at < frameBytes_; at += kPageBytes) {
                    frame[at] = 0;
                }
            }
            std::lock_guard lock(mutex_);
            ready_ = k + 1;
            changed_.notify_all();
        }
    }

    const SharedBlock& block_;
    const size_t frameBytes_;
    const size_t frames_;
    const bool basesWriteAll_;
    std::atomic<bool> stop_{false};
    std::mutex mutex_;
    std::condition_variable changed_;
    size_t ready_ = 0;
    std::thread thread_;
};

// Decodes the frames of an 8-bit movie with key frames on several threads. Each thread takes
// the next run of frames that starts at a key frame and decodes it frame by frame into the block.
// A key frame is decoded against a frame of zeros, which gives what decoding it without a base
// gives; should its codes skip pixels after all, it builds on the frame before, and it is decoded
// again against that frame once that one is done. The calling thread takes the frames in order,
// sends each frame's progress steps and stops at the first failure, as decoding the frames one
// after another would.
class ParallelDecoder {
public:
    struct Plan {
        Geometry g;
        SharedBlock block;
        std::vector<size_t> runStarts;  // decode positions of the key frames, 0 first
        size_t n = 0;                   // the movie's frames; the initial frames follow them
        size_t slots = 0;
    };

    ParallelDecoder(MovieList& movie, Plan plan, bool cancelHonoured)
        : movie_(movie),
          plan_(std::move(plan)),
          cancelHonoured_(cancelHonoured),
          decoded_(plan_.slots) {}
    ~ParallelDecoder() { Stop(); }
    ParallelDecoder(const ParallelDecoder&) = delete;
    ParallelDecoder& operator=(const ParallelDecoder&) = delete;

    // Starts the threads; false when there is no memory for the frame of zeros or no thread.
    bool Start(size_t threads) {
        try {
            zeros_.assign(size_t(plan_.g.total), 0);
        } catch (const std::bad_alloc&) {
            return false;
        }
        for (size_t t = 0; t < std::min(threads, plan_.runStarts.size()); ++t) {
            try {
                workers_.emplace_back([this] { Work(); });
            } catch (const std::system_error&) {
                break;
            }
        }
        return !workers_.empty();
    }

    // Waits for the frame at decode position k and sends its progress steps; false with why on
    // its failure or an honoured Cancel.
    bool Take(ProgressSink* progress, size_t k, std::string& why) {
        Decoded& frame = decoded_[k];
        {
            std::unique_lock lock(mutex_);
            changed_.wait(lock, [&] { return frame.done; });
        }
        for (const uint32_t step : frame.steps) {
            if (!Report(progress, step, kProgressStep) && cancelHonoured_) {
                why = "cancelled";
                Stop();
                return false;
            }
        }
        why = frame.why;
        return frame.ok;
    }

    // Ends the threads.
    void Stop() { StopThreads(mutex_, changed_, stop_, workers_); }

private:
    // One frame's decoding: filled by the thread that decodes it until done is set.
    struct Decoded {
        std::vector<uint32_t> steps;
        std::string why;
        bool ok = false;
        bool done = false;
    };

    void Work() {
        std::unique_lock lock(mutex_);
        while (!stop_ && nextRun_ < plan_.runStarts.size()) {
            const size_t run = nextRun_++;
            lock.unlock();
            DecodeRun(run);
            lock.lock();
        }
    }

    void DecodeRun(size_t run) {
        const size_t first = plan_.runStarts[run];
        const size_t end =
            run + 1 < plan_.runStarts.size() ? plan_.runStarts[run + 1] : plan_.slots;
        const uint8_t* base = zeros_.data();
        for (size_t k = first; k < end; ++k) {
            RleOutcome outcome;
            bool ok = Decode(k, base, outcome);
            if (ok && k == first && k > 0 && outcome.tookPixelsFromBase) {
                decoded_[k].steps.clear();
                ok = WaitFor(k - 1) && Decode(k, Pixels(k - 1), outcome);
            }
            if (ok) {
                movie_.frames[Slot(k)].data =
                    FrameBytes::View(plan_.block, k * plan_.g.total, plan_.g.total);
            }
            Publish(k, ok, std::move(outcome.reason));
            // After a failure the frames after it cannot be decoded, and the caller stops at
            // this one; once the caller stopped nobody takes them.
            if (!ok || stop_) {
                for (++k; k < end; ++k) {
                    Publish(k, false, {});
                }
                return;
            }
            base = Pixels(k);
        }
    }

    bool Decode(size_t k, const uint8_t* base, RleOutcome& outcome) {
        DeferredProgress sink(decoded_[k].steps, stop_);
        const RleTarget target{Pixels(k), base, &sink, cancelHonoured_};
        return DecodeRleInto(movie_.frames[Slot(k)].data, plan_.g, false, target, outcome);
    }

    // Waits until the frame at position k is decoded; false when it failed or the decoding
    // stopped.
    bool WaitFor(size_t k) {
        std::unique_lock lock(mutex_);
        changed_.wait(lock, [&] { return decoded_[k].done || stop_; });
        return decoded_[k].done && decoded_[k].ok;
    }

    void Publish(size_t k, bool ok, std::string why) {
        std::lock_guard lock(mutex_);
        decoded_[k].ok = ok;
        decoded_[k].why = std::move(why);
        decoded_[k].done = true;
        changed_.notify_all();
    }

    uint8_t* Pixels(size_t k) const { return plan_.block.bytes.get() + k * plan_.g.total; }
    size_t Slot(size_t k) const { return SlotAt(k, plan_.n, plan_.slots); }

    MovieList& movie_;
    const Plan plan_;
    const bool cancelHonoured_;
    std::vector<Decoded> decoded_;
    std::vector<uint8_t> zeros_;
    std::vector<std::thread> workers_;
    std::mutex mutex_;
    std::condition_variable changed_;
    size_t nextRun_ = 0;
    std::atomic<bool> stop_{false};
};

// Decodes the frames one after another into the block (or blocks of their own without it).
int DecodeInTurn(MovieList& movie, ProgressSink* progress, BitmapInfoHeader& format, size_t n,
                 size_t slots, const SharedBlock& plain, bool cancelHonoured, std::string* reason) {
    std::vector<FrameChunk>& frames = movie.frames;
    const BitmapInfoHeader coded = format;
    const size_t frameBytes = plain.size / slots;
    FramePreparer preparer(plain, frameBytes, coded.biCompression == uint32_t(Compression::Rle8));
    const uint8_t* base = nullptr;
    for (size_t k = 0; k < slots; ++k) {
        FrameChunk& frame = frames[SlotAt(k, n, slots)];
        BitmapInfoHeader work = coded;
        std::string why;
        FrameBytes into;
        if (frameBytes != 0) {
            preparer.WaitFor(k);
            into = FrameBytes::View(plain, k * frameBytes, frameBytes);
        }
        if (frame.DecodeRle(progress, work, base, cancelHonoured, &why, &into) == 0) {
            return FailAtFrame(reason, SlotAt(k, n, slots), why);
        }
        if (k == 0) {
            format.biCompression = uint32_t(Compression::Rgb);
        }
        base = frame.data.data();
    }
    return 1;
}

// The decode positions where runs of frames start that can be decoded apart: 0 and the key
// frames.
std::vector<size_t> RunStarts(const MovieList& movie, size_t n, size_t slots) {
    std::vector<size_t> starts{0};
    for (size_t k = 1; k < slots && k < movie.index.size(); ++k) {
        if ((movie.index[SlotAt(k, n, slots)].flags & kKeyFrameFlag) != 0) {
            starts.push_back(k);
        }
    }
    return starts;
}

// Decodes the frames on several threads where the movie allows it; -1 where it does not.
int DecodeInParallel(MovieList& movie, ProgressSink* progress, BitmapInfoHeader& format,
                     ParallelDecoder::Plan plan, bool cancelHonoured, std::string* reason) {
    const size_t threads = FrameThreads(movie.codingThreads);
    if (format.biCompression != uint32_t(Compression::Rle8) || plan.block.size == 0 ||
        threads < 2 || plan.runStarts.size() < 2) {
        return -1;
    }
    const size_t n = plan.n;
    const size_t slots = plan.slots;
    ParallelDecoder decoder(movie, std::move(plan), cancelHonoured);
    if (!decoder.Start(threads)) {
        return -1;
    }
    for (size_t k = 0; k < slots; ++k) {
        std::string why;
        if (!decoder.Take(progress, k, why)) {
            return FailAtFrame(reason, SlotAt(k, n, slots), why);
        }
        if (k == 0) {
            format.biCompression = uint32_t(Compression::Rgb);
        }
    }
    return 1;
}

}  // namespace

int MovieList::DecodeFrames(ProgressSink* progress, BitmapInfoHeader& format, int32_t n,
                            bool cancelHonoured, int32_t initialFrames, std::string* reason) {
    if (initialFrames < 0 || n <= initialFrames) {
        return 0;
    }
    const size_t slots = size_t(n) + size_t(initialFrames);
    if (slots > frames.size()) {
        return 0;
    }
    // Every frame is decoded with the compression the stream had at the start.
    const SharedBlock plain = FramesBlock(format, slots);
    ParallelDecoder::Plan plan{{}, plain, RunStarts(*this, size_t(n), slots), size_t(n), slots};
    if (plain.size != 0) {
        MakeGeometry(format.biWidth, format.biHeight, false, plan.g);
    }
    const int parallel =
        DecodeInParallel(*this, progress, format, std::move(plan), cancelHonoured, reason);
    if (parallel >= 0) {
        return parallel;
    }
    return DecodeInTurn(*this, progress, format, size_t(n), slots, plain, cancelHonoured, reason);
}

}  // namespace kx
