// Frames coded on several threads: the same codes, the same progress reports in the same order,
// and a Cancel that stops the coding and leaves no file, whatever the number of threads.
#include <gtest/gtest.h>

#include <cstdint>
#include <random>
#include <string>
#include <vector>

#include "doc/animation_document.h"
#include "doc/recording_progress.h"
#include "doc/rle_test_support.h"
#include "doc/temp_folder.h"

namespace kx {
namespace {

using Bytes = std::vector<uint8_t>;

struct Coded {
    int result = 0;
    std::vector<Bytes> codes;
    std::vector<test::RecordingProgress::Entry> reports;
};

Coded Code(const std::vector<Bytes>& movie, int32_t w, int32_t h, bool avi, int32_t threads,
           size_t cancelAt = 0) {
    MovieList list = test::MovieOf(movie);
    list.codingThreads = threads;
    const BitmapInfoHeader format = test::Frame8(w, h);
    test::RecordingProgress sink(cancelAt);
    Coded coded;
    const int32_t n = int32_t(movie.size());
    std::vector<FrameChunk> codes;
    coded.result = avi ? list.EncodeFramesForAvi(&sink, format, n, codes)
                       : list.EncodeFramesForBitmap(&sink, format, n, codes);
    for (const FrameChunk& frame : codes) {
        coded.codes.push_back(frame.data.Copy());
    }
    for (size_t k = 0; k < movie.size(); ++k) {
        EXPECT_EQ(movie[k], list.frames[k].data) << "the frames stay as they were";
    }
    coded.reports = sink.reports;
    return coded;
}

TEST(ParallelCoding, EqualsCodingOnOneThreadOnRandomMovies) {
    std::mt19937 random(20261207);
    for (int round = 0; round < 12; ++round) {
        const int32_t w = int32_t(random() % 60 + 5);
        const int32_t h = int32_t(random() % 300 + 1);
        const int32_t n = int32_t(random() % 24 + 1);
        const std::vector<Bytes> movie = test::RandomMovie(random, w, h, n);
        for (const bool avi : {true, false}) {
            SCOPED_TRACE(std::to_string(w) + " x " + std::to_string(h) + ", " + std::to_string(n) +
                         " frames, " + (avi ? "AVI" : "bitmap"));
            const Coded serial = Code(movie, w, h, avi, 1);
            ASSERT_EQ(1, serial.result);
            for (const int32_t threads : {2, 3, 8}) {
                const Coded parallel = Code(movie, w, h, avi, threads);
                EXPECT_EQ(1, parallel.result) << threads;
                EXPECT_EQ(serial.codes, parallel.codes) << threads;
                EXPECT_EQ(serial.reports, parallel.reports) << threads;
            }
        }
    }
}

TEST(ParallelCoding, CancelAtAnyReportStopsAsOnOneThread) {
    std::mt19937 random(7);
    const std::vector<Bytes> movie = test::RandomMovie(random, 40, 300, 10);
    const size_t reports = Code(movie, 40, 300, true, 1).reports.size();
    ASSERT_LT(10u, reports);
    for (size_t cancelAt = 1; cancelAt <= reports; ++cancelAt) {
        const Coded serial = Code(movie, 40, 300, true, 1, cancelAt);
        const Coded parallel = Code(movie, 40, 300, true, 4, cancelAt);
        EXPECT_EQ(0, parallel.result) << cancelAt;
        EXPECT_TRUE(parallel.codes.empty()) << cancelAt;
        EXPECT_EQ(serial.reports, parallel.reports) << cancelAt;
    }
}

TEST(ParallelCoding, CancelDuringASaveWritesNothing) {
    std::mt19937 random(11);
    const std::vector<Bytes> movie = test::RandomMovie(random, 64, 200, 16);
    test::TempFolder folder;
    for (const size_t cancelAt : {2, 5, 9, 17}) {
        CAnimationDocument doc;
        BitmapInfoHeader& format = doc.headerList.stream.format.header;
        format.biWidth = 64;
        format.biHeight = 200;
        doc.palette.count = 6;
        doc.movieList = test::MovieOf(movie);
        doc.movieList.index.resize(movie.size());
        doc.movieList.codingThreads = 4;
        doc.frameCount = int32_t(movie.size());
        ASSERT_EQ(1, doc.RebuildHeaders(6, doc.frameCount, 200, 64, 100));
        test::RecordingProgress sink(cancelAt);
        EXPECT_EQ(0, doc.SaveAvi(&sink, folder / "m.avi")) << cancelAt;
        EXPECT_EQ("cancelled", doc.FailureReason()) << cancelAt;
        EXPECT_TRUE(folder.Entries().empty()) << cancelAt;
        for (size_t k = 0; k < movie.size(); ++k) {
            EXPECT_EQ(movie[k], doc.Frame(int32_t(k)).data) << cancelAt << " frame " << k;
        }
    }
}

}  // namespace
}  // namespace kx
