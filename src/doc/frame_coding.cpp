// Encoding all frames of a movie for the writers: an AVI codes each frame against the one
// before it, a bitmap codes every frame alone. The codes go to a buffer of their own and the
// frames stay as they are, so a save never has to decode them back. Frames are coded in
// parallel on every core: coding a frame reads only that frame and the one before it. The
// calling thread sends every frame's progress reports in frame order, exactly as one thread
// coding the frames in turn would send them, and a Cancel stops the other threads.
#include <algorithm>
#include <array>
#include <atomic>
#include <condition_variable>
#include <mutex>
#include <new>
#include <system_error>
#include <thread>
#include <vector>

#include "doc/animation_document.h"
#include "doc/parallel_frames.h"
#include "doc/rle_frame.h"

namespace kx {
namespace {

// Whether EncodeFrames writes an AVI (deltas against the previous frame) or a bitmap.
enum class Target { Avi, Bitmap };

// How far the coding threads may run ahead of the frames already taken over: at least two
// frames a thread, and for small frames enough of them to keep the threads busy while the
// calling thread writes what it took (a Cancel stops the threads inside their frames whatever
// the distance).
constexpr size_t kFramesAheadPerThread = 2;
constexpr uint64_t kBytesAhead = uint64_t(4) << 20;

// Common decoders behind players take a run-length frame whose size equals the plain frame size
// for a plain frame. Such a frame gets one more end of line before its end of bitmap: two bytes
// longer, decoded to the same pixels.
bool AvoidPlainSize(FrameBytes& codes, uint64_t plainSize) {
    if (codes.size() != plainSize || codes.size() < 2) {
        return true;
    }
    try {
        const uint8_t eol[2] = {0, 0};
        codes.insert(codes.end() - 2, eol, eol + 2);
    } catch (const std::bad_alloc&) {
        return false;
    }
    return true;
}

// The progress steps one frame's coding reported, kept until the calling thread sends them.
struct CodedFrame {
    std::vector<uint32_t> steps;
    int result = 0;
    bool done = false;
};

// Codes the frames of a movie on several threads into codes, one chunk a frame, handing them to
// the calling thread in order.
class ParallelCoder {
public:
    ParallelCoder(const MovieList& movie, const BitmapInfoHeader& format, int32_t n, bool avi,
                  ProgressSink* progress, size_t threads, std::vector<FrameChunk>& codes)
        : movie_(movie),
          codes_(codes),
          format_(format),
          n_(size_t(n)),
          avi_(avi),
          progress_(progress),
          plainSize_(uint64_t(Stride8(format.biWidth)) * uint64_t(format.biHeight)),
          ahead_(std::max<size_t>(std::max<size_t>(threads, 1) * kFramesAheadPerThread,
                                  size_t(kBytesAhead / std::max<uint64_t>(plainSize_, 1)))),
          coded_(size_t(n)) {
        for (size_t t = 1; t < threads; ++t) {
            try {
                workers_.emplace_back([this] { Work(); });
            } catch (const std::system_error&) {
                break;  // the calling thread codes what the others do not
            }
        }
    }
    ~ParallelCoder() { Stop(); }
    ParallelCoder(const ParallelCoder&) = delete;
    ParallelCoder& operator=(const ParallelCoder&) = delete;

    // Waits for frame k's codes and sends its progress steps; the calling thread codes frames
    // itself while it waits. 0 on a failure or a Cancel heard in its steps. Frames are taken in
    // order, 0 first.
    int Take(size_t k) {
        std::unique_lock lock(mutex_);
        while (!coded_[k].done) {
            if (next_ < n_ && next_ <= k + ahead_) {
                CodeNext(lock, next_ == k, callerScratch_);
            } else {
                changed_.wait(lock);
            }
        }
        CodedFrame& frame = coded_[k];
        lock.unlock();
        for (const uint32_t step : frame.steps) {
            if (!Report(progress_, step, kProgressStep)) {
                stop_ = true;
                return 0;
            }
        }
        lock.lock();
        taken_ = k + 1;
        changed_.notify_all();
        return frame.result;
    }

    // Ends the other threads; the frames are the caller's again.
    void Stop() { StopThreads(mutex_, changed_, stop_, workers_); }

private:
    void Work() {
        std::vector<uint8_t> scratch;
        std::unique_lock lock(mutex_);
        while (!stop_ && next_ < n_) {
            if (next_ > taken_ + ahead_) {
                changed_.wait(lock);
            } else {
                CodeNext(lock, false, scratch);
            }
        }
    }

    // Codes frame next_ with the lock released, in the thread's scratch buffer. A frame in its
    // turn on the calling thread reports straight to the caller's sink, as coding in turn
    // always did.
    void CodeNext(std::unique_lock<std::mutex>& lock, bool inTurn, std::vector<uint8_t>& scratch) {
        const size_t k = next_++;
        CodedFrame& frame = coded_[k];
        lock.unlock();
        DeferredProgress deferred(frame.steps, stop_);
        frame.result = Code(k, codes_[k], inTurn ? progress_ : &deferred, scratch);
        lock.lock();
        frame.done = true;
        changed_.notify_all();
    }

    int Code(size_t k, FrameChunk& chunk, ProgressSink* sink, std::vector<uint8_t>& scratch) {
        const FrameChunk& frame = movie_.frames[k];
        const FrameChunk* before = avi_ && k > 0 ? &movie_.frames[k - 1] : nullptr;
        // The frame before may be coded against too while its own coding fails on another
        // thread: both must be whole plain frames.
        if (frame.data.size() != plainSize_ ||
            (before != nullptr && before->data.size() != plainSize_)) {
            return 0;
        }
        BitmapInfoHeader format = format_;
        const uint8_t* base = before != nullptr ? before->data.data() : nullptr;
        if (!chunk.EncodeRle8(sink, format, frame.data.data(), base, movie_.remap, &scratch)) {
            return 0;
        }
        if (avi_) {
            return AvoidPlainSize(chunk.data, plainSize_) ? 1 : 0;
        }
        if (k > 0) {
            // Frames after frame 0 end with an end of line, so that the frames written one after
            // another form one bitmap that ends with frame 0's end of bitmap.
            chunk.data.back() = 0;
        }
        return 1;
    }

    const MovieList& movie_;
    std::vector<FrameChunk>& codes_;
    const BitmapInfoHeader format_;
    const size_t n_;
    const bool avi_;
    ProgressSink* progress_;
    const uint64_t plainSize_;
    const size_t ahead_;
    std::vector<CodedFrame> coded_;
    std::vector<uint8_t> callerScratch_;  // the calling thread's coding buffer
    std::vector<std::thread> workers_;
    std::mutex mutex_;
    std::condition_variable changed_;
    size_t next_ = 0;   // the next frame to code
    size_t taken_ = 0;  // frames handed to the caller
    std::atomic<bool> stop_{false};
};

// Codes the frames into codes on every core, sending the progress of each frame in turn.
// Returns the bytes of all codes, or -1 after a failure or Cancel.
int64_t CodeAll(const MovieList& movie, ProgressSink* progress, const BitmapInfoHeader& format,
                int32_t n, bool avi, std::vector<FrameChunk>& codes,
                const CodedFrameHandOver& handOver) {
    ParallelCoder coder(movie, format, n, avi, progress, FrameThreads(movie.codingThreads), codes);
    int64_t total = 0;
    for (int32_t k = 0; k < n; ++k) {
        if (!coder.Take(size_t(k)) || (handOver && !handOver(k, codes[size_t(k)]))) {
            return -1;
        }
        total += int64_t(codes[size_t(k)].Size());
    }
    return total;
}

int EncodeFrames(const MovieList& movie, ProgressSink* progress, const BitmapInfoHeader& format,
                 int32_t n, Target target, std::vector<FrameChunk>& codes,
                 const CodedFrameHandOver& handOver = {}) {
    std::vector<FrameChunk>().swap(codes);
    if (n <= 0 || size_t(n) > movie.frames.size()) {
        return 0;
    }
    const bool avi = target == Target::Avi;
    const uint32_t height = uint32_t(format.biHeight);
    const uint64_t plainSize = uint64_t(Stride8(format.biWidth)) * uint64_t(height);
    if (movie.frames[0].data.size() != plainSize) {
        return 0;
    }
    // Frames narrower than 5 pixels gain nothing from codes; frames too large for the encoder's
    // buffer are written plain, as frames whose codes come out longer than the plain ones are.
    if (format.biWidth < 5 || kCodeBufferFactor * plainSize > kMaxBufferBytes) {
        return Report(progress, uint32_t(n) * height * kEncodeUnitsPerRow, kProgressStep) ? 1 : 0;
    }
    try {
        codes.resize(size_t(n));
    } catch (const std::bad_alloc&) {
        return 0;
    }
    const int64_t codedTotal = CodeAll(movie, progress, format, n, avi, codes, handOver);
    if (codedTotal < 0 || uint64_t(codedTotal) > uint64_t(uint32_t(n)) * movie.largestFrame) {
        std::vector<FrameChunk>().swap(codes);
    }
    return codedTotal < 0 ? 0 : 1;
}

}  // namespace

int MovieList::EncodeFramesForAvi(ProgressSink* progress, const BitmapInfoHeader& format, int32_t n,
                                  std::vector<FrameChunk>& codes,
                                  const CodedFrameHandOver& handOver) const {
    return EncodeFrames(*this, progress, format, n, Target::Avi, codes, handOver);
}

int MovieList::EncodeFramesForBitmap(ProgressSink* progress, const BitmapInfoHeader& format,
                                     int32_t n, std::vector<FrameChunk>& codes) const {
    return EncodeFrames(*this, progress, format, n, Target::Bitmap, codes);
}

void MovieList::RemapFrames(int32_t n) {
    if (remapped != 0) {
        return;
    }
    remapped = 1;
    if (std::all_of(remap.begin(), remap.end(), [](uint8_t r) { return r == 0; })) {
        return;
    }
    for (int32_t k = 0; k < n && size_t(k) < frames.size(); ++k) {
        for (uint8_t& v : frames[size_t(k)].data) {
            v = uint8_t(v - remap[v]);
        }
    }
}

}  // namespace kx
