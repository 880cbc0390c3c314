// Frames decoded on several threads, a run of frames from each key frame on: the same pixels,
// the same progress reports in the same order and the same failures as decoding them in turn.
#include <gtest/gtest.h>

#include <array>
#include <cstdint>
#include <random>
#include <string>
#include <vector>

#include "doc/animation_document.h"
#include "doc/recording_progress.h"
#include "doc/rle_test_support.h"

namespace kx {
namespace {

using Bytes = std::vector<uint8_t>;

constexpr uint32_t kKeyFlag = 0x10;

// How a frame of a test movie is coded and flagged in the index.
enum class Kind {
    Delta,         // against the frame before
    Key,           // alone, flagged key
    FlaggedDelta,  // flagged key, yet coded against the frame before
};

// A movie to decode: frames coded for an AVI in decode order, placed in their slots (the initial
// frames come first when decoding and are held after the movie's own).
struct CodedMovie {
    MovieList list;
    std::vector<Bytes> plain;  // in decode order
    int32_t w = 0;
    int32_t h = 0;
    int32_t initial = 0;

    size_t Slot(size_t k) const { return (plain.size() - size_t(initial) + k) % plain.size(); }
};

CodedMovie Code(std::vector<Bytes> plain, int32_t w, int32_t h, const std::vector<Kind>& kinds,
                int32_t initial = 0) {
    CodedMovie movie{test::MovieOf(plain), std::move(plain), w, h, initial};
    const std::array<uint8_t, 256> remap{};
    for (size_t k = 0; k < movie.plain.size(); ++k) {
        BitmapInfoHeader format = test::Frame8(w, h);
        const bool alone = k == 0 || kinds[k] == Kind::Key;
        FrameChunk chunk;
        EXPECT_EQ(1, chunk.EncodeRle8(nullptr, format, movie.plain[k].data(),
                                      alone ? nullptr : movie.plain[k - 1].data(), remap));
        movie.list.frames[movie.Slot(k)].data = std::move(chunk.data);
        movie.list.index[movie.Slot(k)].flags = kinds[k] == Kind::Delta ? 0 : kKeyFlag;
    }
    return movie;
}

// Records the reports, and whether the first frame was already whole when its first step came.
class WatchingProgress final : public ProgressSink {
public:
    WatchingProgress(const CodedMovie& movie, size_t cancelAt) : movie_(movie), log(cancelAt) {}
    bool Report(uint32_t wParam, int32_t lParam) override {
        if (log.reports.empty()) {
            firstWholeAtItsSteps = movie_.list.frames[movie_.Slot(0)].data == movie_.plain[0];
        }
        return log.Report(wParam, lParam);
    }

private:
    const CodedMovie& movie_;

public:
    test::RecordingProgress log;
    bool firstWholeAtItsSteps = false;
};

struct Decoded {
    int result = 0;
    std::string reason;
    std::vector<test::RecordingProgress::Entry> reports;
    bool firstWholeAtItsSteps = false;
};

// Decodes a copy of the movie on the given threads and compares the frames with the plain ones.
Decoded Decode(const CodedMovie& coded, int32_t threads, size_t cancelAt = 0) {
    CodedMovie movie = coded;
    movie.list.codingThreads = threads;
    BitmapInfoHeader format = test::Frame8(movie.w, movie.h);
    format.biCompression = 1;
    WatchingProgress sink(movie, cancelAt);
    Decoded decoded;
    const int32_t n = int32_t(movie.plain.size()) - movie.initial;
    decoded.result =
        movie.list.DecodeFrames(&sink, format, n, true, movie.initial, &decoded.reason);
    if (decoded.result == 1) {
        EXPECT_EQ(0u, format.biCompression);
        for (size_t k = 0; k < movie.plain.size(); ++k) {
            EXPECT_EQ(movie.plain[k], movie.list.frames[movie.Slot(k)].data) << "frame " << k;
        }
    }
    decoded.reports = sink.log.reports;
    decoded.firstWholeAtItsSteps = sink.firstWholeAtItsSteps;
    return decoded;
}

TEST(ParallelDecoding, EqualsDecodingInTurnOnRandomMovies) {
    std::mt19937 random(20261208);
    for (int round = 0; round < 16; ++round) {
        const int32_t w = int32_t(random() % 60 + 5);
        const int32_t h = int32_t(random() % 300 + 1);
        const int32_t frames = int32_t(random() % 24 + 2);
        std::vector<Kind> kinds;
        for (int32_t k = 0; k < frames; ++k) {
            const uint32_t draw = random() % 8;
            kinds.push_back(draw < 2 ? Kind::Key : draw == 2 ? Kind::FlaggedDelta : Kind::Delta);
        }
        kinds[1] = Kind::Key;  // every movie has a run to decode apart
        const int32_t initial = int32_t(random() % 2);
        const CodedMovie movie =
            Code(test::RandomMovie(random, w, h, frames), w, h, kinds, initial);
        SCOPED_TRACE(std::to_string(w) + " x " + std::to_string(h) + ", " + std::to_string(frames) +
                     " frames, " + std::to_string(initial) + " initial");
        const Decoded inTurn = Decode(movie, 1);
        ASSERT_EQ(1, inTurn.result) << inTurn.reason;
        EXPECT_FALSE(inTurn.firstWholeAtItsSteps);
        for (const int32_t threads : {2, 3}) {
            const Decoded parallel = Decode(movie, threads);
            EXPECT_EQ(1, parallel.result) << threads << ": " << parallel.reason;
            EXPECT_EQ(inTurn.reports, parallel.reports) << threads;
            // Decoded ahead of its steps: the runs went to the other threads.
            EXPECT_TRUE(parallel.firstWholeAtItsSteps) << threads;
        }
    }
}

TEST(ParallelDecoding, DamageAndCancelStopWhereDecodingInTurnStops) {
    std::mt19937 random(9);
    const int32_t w = 40, h = 200, frames = 12;
    std::vector<Kind> kinds(frames, Kind::Delta);
    for (const int32_t k : {3, 6, 9}) {
        kinds[size_t(k)] = Kind::Key;
    }
    kinds[7] = Kind::FlaggedDelta;
    const CodedMovie movie = Code(test::RandomMovie(random, w, h, frames), w, h, kinds);
    for (const size_t damaged : {1u, 3u, 7u, 10u}) {
        // Codes after the end of bitmap.
        CodedMovie broken = movie;
        FrameBytes& codes = broken.list.frames[damaged].data;
        codes.resize(codes.size() + 2);  // zeros: an end of line
        const Decoded inTurn = Decode(broken, 1);
        const Decoded parallel = Decode(broken, 2);
        EXPECT_EQ(0, inTurn.result) << damaged;
        EXPECT_EQ(0, parallel.result) << damaged;
        EXPECT_EQ(inTurn.reason, parallel.reason) << damaged;
        EXPECT_EQ(inTurn.reports, parallel.reports) << damaged;
    }
    const size_t reports = Decode(movie, 1).reports.size();
    ASSERT_LT(20u, reports);
    for (size_t cancelAt = 1; cancelAt <= reports; ++cancelAt) {
        const Decoded inTurn = Decode(movie, 1, cancelAt);
        const Decoded parallel = Decode(movie, 2, cancelAt);
        EXPECT_EQ(0, parallel.result) << cancelAt;
        EXPECT_EQ(inTurn.reason, parallel.reason) << cancelAt;
        EXPECT_EQ(inTurn.reports, parallel.reports) << cancelAt;
    }
}

}  // namespace
}  // namespace kx
