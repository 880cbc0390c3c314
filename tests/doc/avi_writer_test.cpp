#include <gtest/gtest.h>

#ifndef _WIN32
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>
#endif

#include <algorithm>
#include <csignal>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <random>
#include <string>
#include <vector>

#include "doc/animation_document.h"
#include "doc/avi_builder.h"
#include "recording_progress.h"
#include "support/same_bytes.h"
#include "temp_folder.h"

namespace kx {
namespace {

// A composed movie of n frames, width x height, whose pixel at (frame, x, row) is given by
// pixel(); rows are bottom-up and padding bytes are 0, as composition leaves them.
void MakeMovie(CAnimationDocument& doc, int32_t width, int32_t height, int32_t n,
               int32_t paletteEntries, const std::function<uint8_t(int, int, int)>& pixel) {
    const uint32_t stride = Stride8(width);
    doc.frameCount = n;
    doc.movieList.frames.assign(size_t(n), FrameChunk{});
    doc.movieList.index.assign(size_t(n), IndexEntry{});
    for (int f = 0; f < n; ++f) {
        auto& data = doc.movieList.frames[size_t(f)].data;
        data.assign(size_t(stride) * size_t(height), 0);
        for (int row = 0; row < height; ++row) {
            for (int x = 0; x < width; ++x) {
                data[size_t(row) * stride + size_t(x)] = pixel(f, x, row);
            }
        }
    }
    doc.palette.count = paletteEntries;
    for (int i = 0; i < paletteEntries; ++i) {
        doc.palette.entries[size_t(i)] = RgbQuad{uint8_t(i), uint8_t(255 - i), uint8_t(i * 7), 0};
    }
    auto& format = doc.headerList.stream.format.header;
    format.biWidth = width;
    format.biHeight = height;
    ASSERT_EQ(1, doc.RebuildHeaders(paletteEntries, n, height, width, 100));
    doc.headerList.stream.header.handler = fourcc::kRgb;
    doc.movieList.FindTransparentIndex(doc.palette, height);
}

uint32_t U32(const std::vector<uint8_t>& b, size_t at) {
    return b.at(at) | b.at(at + 1) << 8 | b.at(at + 2) << 16 | uint32_t(b.at(at + 3)) << 24;
}
std::string Text(const std::vector<uint8_t>& b, size_t at) {
    return std::string(b.begin() + std::ptrdiff_t(at), b.begin() + std::ptrdiff_t(at + 4));
}

// Moving content: a bar that walks across a flat background.
uint8_t Walker(int f, int x, int row) {
    return (x / 3 + row / 2 == f % 9) ? 3 : (row < 2 ? 7 : 1);
}

TEST(SaveAvi, LayoutAndSizesFollowTheFrames) {
    test::TempFolder folder;
    CAnimationDocument doc;
    // 16 palette entries of which 3 are used: compaction leaves 3.
    MakeMovie(doc, 32, 32, 3, 16, Walker);
    ASSERT_EQ(1, doc.SaveAvi(nullptr, folder / "m.avi")) << doc.FailureReason();
    const auto b = test::ReadAll(folder / "m.avi");
    const uint32_t p = 3;
    ASSERT_LE(224u + 4 * p, b.size());
    EXPECT_EQ("RIFF", Text(b, 0));
    EXPECT_EQ(b.size() - 8, U32(b, 4));
    EXPECT_EQ("AVI ", Text(b, 8));
    EXPECT_EQ(192 + 4 * p, U32(b, 16));
    EXPECT_EQ("avih", Text(b, 24));
    EXPECT_EQ(100000u, U32(b, 32));
    EXPECT_EQ(3u, U32(b, 48));   // total frames
    EXPECT_EQ(32u, U32(b, 64));  // width
    EXPECT_EQ(116 + 4 * p, U32(b, 92));
    EXPECT_EQ("vids", Text(b, 108));
    EXPECT_EQ("RLE ", Text(b, 112));
    EXPECT_EQ(40 + 4 * p, U32(b, 168));
    EXPECT_EQ(40u, U32(b, 172));  // biSize
    EXPECT_EQ(1u, U32(b, 188));   // BI_RLE8
    EXPECT_EQ(p, U32(b, 204));    // biClrUsed
    EXPECT_EQ("movi", Text(b, 220 + 4 * p));
    const uint32_t movi = U32(b, 216 + 4 * p);
    size_t at = 224 + 4 * p;
    uint32_t sum = 0;
    std::vector<uint32_t> sizes;
    for (int i = 0; i < 3; ++i) {
        EXPECT_EQ("00dc", Text(b, at));
        sizes.push_back(U32(b, at + 4));
        sum += sizes.back();
        at += 8 + sizes.back();
    }
    EXPECT_EQ(4 + 24 + sum, movi);
    EXPECT_EQ(sum, U32(b, 24 + 8 + 28));  // avih suggested buffer size
    EXPECT_EQ("idx1", Text(b, at));
    EXPECT_EQ(48u, U32(b, at + 4));
    EXPECT_EQ(4u, U32(b, at + 8 + 8));
    EXPECT_EQ(4 + 8 + sizes[0], U32(b, at + 8 + 16 + 8));
    EXPECT_EQ(sizes[2], U32(b, at + 8 + 32 + 12));
    // RIFF size = index size + "hdrl" size + "movi" size + 28.
    EXPECT_EQ(48 + (192 + 4 * p) + movi + 28, U32(b, 4));
    EXPECT_EQ(at + 8 + 48, b.size());
}

TEST(SaveAvi, DocumentIsPlainAndCompactedAfterwards) {
    test::TempFolder folder;
    CAnimationDocument doc;
    MakeMovie(doc, 32, 32, 3, 16, Walker);
    ASSERT_EQ(1, doc.SaveAvi(nullptr, folder / "m.avi")) << doc.FailureReason();
    EXPECT_EQ(3, doc.Palette().count);
    EXPECT_EQ(0u, doc.headerList.stream.format.header.biCompression);
    EXPECT_EQ(fourcc::kRgb, doc.headerList.stream.header.handler);
    // Indices 1, 3, 7 became 0, 1, 2.
    for (int f = 0; f < 3; ++f) {
        CAnimationDocument expected;
        MakeMovie(expected, 32, 32, 3, 16, [](int ff, int x, int row) {
            const uint8_t v = Walker(ff, x, row);
            return uint8_t(v == 1 ? 0 : (v == 3 ? 1 : 2));
        });
        EXPECT_EQ(expected.Frame(f).data, doc.Frame(f).data) << f;
    }
    EXPECT_EQ(32u * 32u, doc.headerList.stream.format.header.biSizeImage);
    EXPECT_EQ(0, doc.TransparentIndex());  // top-left pixel: value 1, now entry 0
}

TEST(SaveAvi, FramesFourPixelsWideAreWrittenPlain) {
    test::TempFolder folder;
    CAnimationDocument doc;
    MakeMovie(doc, 4, 6, 2, 4, [](int f, int x, int row) { return uint8_t((f + x + row) % 4); });
    ASSERT_EQ(1, doc.SaveAvi(nullptr, folder / "m.avi")) << doc.FailureReason();
    const auto b = test::ReadAll(folder / "m.avi");
    const uint32_t p = 4;
    EXPECT_EQ("RGB ", Text(b, 112));
    EXPECT_EQ(0u, U32(b, 188));
    EXPECT_EQ(24u, U32(b, 224 + 4 * p + 4));
    EXPECT_EQ(doc.Frame(0).data,
              std::vector<uint8_t>(b.begin() + 232 + 4 * p, b.begin() + 232 + 4 * p + 24));
}

TEST(SaveAvi, RandomContentLargerEncodedIsWrittenPlain) {
    test::TempFolder folder;
    CAnimationDocument doc;
    uint32_t seed = 12345;
    MakeMovie(doc, 16, 8, 3, 256, [&seed](int, int, int) {
        seed = seed * 1103515245 + 12345;
        return uint8_t(seed >> 16);
    });
    const auto before = doc.Frame(1).data;
    ASSERT_EQ(1, doc.SaveAvi(nullptr, folder / "m.avi")) << doc.FailureReason();
    const auto b = test::ReadAll(folder / "m.avi");
    const uint32_t p = uint32_t(doc.Palette().count);
    EXPECT_EQ("RGB ", Text(b, 112));
    EXPECT_EQ(0u, U32(b, 188));
    EXPECT_EQ(128u, U32(b, 224 + 4 * p + 4));
    EXPECT_EQ(16 * 8 * 3 + 3 * 8 + 4, U32(b, 216 + 4 * p));
    EXPECT_EQ(128u, doc.Frame(1).Size());
    EXPECT_EQ(before.size(), doc.Frame(1).data.size());
}

TEST(SaveAvi, SavingTwiceGivesIdenticalFiles) {
    test::TempFolder folder;
    CAnimationDocument doc;
    MakeMovie(doc, 21, 13, 5, 16, Walker);
    ASSERT_EQ(1, doc.SaveAvi(nullptr, folder / "a.avi")) << doc.FailureReason();
    ASSERT_EQ(1, doc.SaveAvi(nullptr, folder / "b.avi")) << doc.FailureReason();
    EXPECT_TRUE(test::SameBytes(test::ReadAll(folder / "a.avi"), test::ReadAll(folder / "b.avi")));
}

TEST(SaveAvi, ProgressCodesThenWritesAndFillsItsRange) {
    test::TempFolder folder;
    CAnimationDocument doc;
    MakeMovie(doc, 32, 32, 3, 16, Walker);
    const uint32_t riffSize = doc.riff.size;
    const uint32_t plain = doc.headerList.main.suggestedBufferSize;
    test::RecordingProgress log;
    ASSERT_EQ(1, doc.SaveAvi(&log, folder / "m.avi")) << doc.FailureReason();
    ASSERT_LE(4u, log.reports.size());
    const uint32_t range = (riffSize + 4 * plain - 40) / 1024 + 4 * 32 * 3;
    EXPECT_EQ((test::RecordingProgress::Entry{range, kPhaseEncoding}), log.reports[0]);
    // The codes are kept apart from the frames: nothing is decoded back.
    std::vector<int32_t> phases;
    uint32_t steps = 0;
    for (size_t i = 1; i < log.reports.size(); ++i) {
        const auto [units, kind] = log.reports[i];
        if (kind == kProgressStep) {
            steps += units;
        } else {
            phases.push_back(kind);
        }
    }
    EXPECT_EQ(std::vector<int32_t>{kPhaseWriting}, phases);
    EXPECT_LE(steps, range);
    EXPECT_GE(steps, range - range / 20);
}

TEST(SaveAvi, CancelAtAnyReportKeepsTheTargetAndTheDocument) {
    test::TempFolder folder;
    const std::vector<uint8_t> old = {'o', 'l', 'd'};
    CAnimationDocument reference;
    MakeMovie(reference, 32, 32, 3, 16, Walker);
    test::RecordingProgress all;
    ASSERT_EQ(1, reference.SaveAvi(&all, folder / "ref.avi"));
    const auto written = test::ReadAll(folder / "ref.avi");
    const size_t reports = all.reports.size();
    std::filesystem::remove(folder / "ref.avi");
    // Every report comes before the file is put in place: each Cancel ends the save.
    size_t cancelled = 0;
    for (size_t n = 1; n <= reports; ++n) {
        SCOPED_TRACE(n);
        test::WriteAll(folder / "m.avi", old);
        CAnimationDocument doc;
        MakeMovie(doc, 32, 32, 3, 16, Walker);
        test::RecordingProgress log(n);
        const int result = doc.SaveAvi(&log, folder / "m.avi");
        if (result == 0) {
            ++cancelled;
            EXPECT_EQ("cancelled", doc.FailureReason());
            EXPECT_TRUE(test::SameBytes(old, test::ReadAll(folder / "m.avi")));
        } else {
            EXPECT_TRUE(test::SameBytes(written, test::ReadAll(folder / "m.avi")));
        }
        EXPECT_EQ(std::vector<std::string>{"m.avi"}, folder.Entries());
        // The document stays usable: plain frames, and saving again writes the same file.
        EXPECT_EQ(0u, doc.headerList.stream.format.header.biCompression);
        EXPECT_EQ(32u * 32u, doc.Frame(2).Size());
        ASSERT_EQ(1, doc.SaveAvi(nullptr, folder / "again.avi")) << doc.FailureReason();
        EXPECT_TRUE(test::SameBytes(written, test::ReadAll(folder / "again.avi")));
        std::filesystem::remove(folder / "again.avi");
    }
    EXPECT_EQ(reports, cancelled);
}

TEST(SaveAvi, ASingleCancelNeverCommitsAPartFile) {
    // Frames of 16384 bytes with random content are written plain, in several blocks each, so
    // a Cancel inside a frame ends that frame early. A sink that answers Cancel once and then
    // goes on must not get that shortened frame committed as a complete file.
    test::TempFolder folder;
    std::mt19937 random(7);
    std::vector<uint8_t> noise(128 * 128 * 3);
    for (auto& v : noise) {
        v = uint8_t(random() % 200);
    }
    auto pixel = [&](int f, int x, int row) { return noise[size_t((f * 128 + row) * 128 + x)]; };
    CAnimationDocument reference;
    MakeMovie(reference, 128, 128, 3, 256, pixel);
    test::RecordingProgress all;
    ASSERT_EQ(1, reference.SaveAvi(&all, folder / "ref.avi"));
    const auto written = test::ReadAll(folder / "ref.avi");
    ASSERT_EQ(0u, reference.headerList.stream.format.header.biCompression);
    const std::vector<uint8_t> old = {'o', 'l', 'd'};
    for (size_t n = 1; n <= all.reports.size(); ++n) {
        SCOPED_TRACE(n);
        test::WriteAll(folder / "m.avi", old);
        CAnimationDocument doc;
        MakeMovie(doc, 128, 128, 3, 256, pixel);
        test::RecordingProgress once(n, true);
        if (doc.SaveAvi(&once, folder / "m.avi") == 1) {
            EXPECT_TRUE(test::SameBytes(written, test::ReadAll(folder / "m.avi")));
        } else {
            EXPECT_TRUE(test::SameBytes(old, test::ReadAll(folder / "m.avi")));
        }
    }
}

TEST(SaveAvi, FailedOpenKeepsTheTargetAndThePlainFrames) {
    test::TempFolder folder;
    // A folder cannot be replaced by a movie.
    const std::string name = "m.avi";
    std::filesystem::create_directory(folder / name);
    test::WriteAll(folder / name / "kept", {'o', 'l', 'd'});
    CAnimationDocument doc;
    MakeMovie(doc, 32, 32, 3, 16, Walker);
    EXPECT_EQ(0, doc.SaveAvi(nullptr, folder / name));
    EXPECT_NE(std::string::npos, doc.FailureReason().find("cannot write")) << doc.FailureReason();
    EXPECT_EQ(std::vector<uint8_t>({'o', 'l', 'd'}), test::ReadAll(folder / name / "kept"));
    EXPECT_EQ(1u, folder.Entries().size());
    EXPECT_EQ(0u, doc.headerList.stream.format.header.biCompression);
    EXPECT_EQ(fourcc::kRgb, doc.headerList.stream.header.handler);
    EXPECT_EQ(32u * 32u, doc.Frame(1).Size());
    ASSERT_EQ(1, doc.SaveAvi(nullptr, folder / "ok.avi")) << doc.FailureReason();
}

#ifndef _WIN32
// A write that fails while the frames are still being coded (the disk full, here a file size
// limit of the process) ends the save with the reason and leaves the target and the frames.
TEST(SaveAvi, AWriteThatFailsWhileCodingKeepsTheTargetAndThePlainFrames) {
    test::TempFolder folder;
    const std::vector<uint8_t> old = {'o', 'l', 'd'};
    test::WriteAll(folder / "m.avi", old);
    const pid_t child = fork();
    ASSERT_LE(0, child);
    if (child == 0) {
        // Moving noise codes to far more than the limit, and past the first write to the disk.
        std::mt19937 random(3);
        CAnimationDocument doc;
        MakeMovie(doc, 256, 64, 80, 200, [&](int, int, int) { return uint8_t(random() % 200); });
        const auto before = doc.Frame(40).data;
        const rlimit limit{64 << 10, 64 << 10};
        std::signal(SIGXFSZ, SIG_IGN);
        const bool failed = setrlimit(RLIMIT_FSIZE, &limit) == 0 &&
                            doc.SaveAvi(nullptr, folder / "m.avi") == 0 &&
                            doc.FailureReason().rfind("cannot write m.avi: ", 0) == 0 &&
                            doc.Frame(40).data == before;
        _exit(failed ? 0 : 1);
    }
    int status = 0;
    waitpid(child, &status, 0);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
    EXPECT_TRUE(test::SameBytes(old, test::ReadAll(folder / "m.avi")));
    EXPECT_EQ(std::vector<std::string>{"m.avi"}, folder.Entries());
}
#endif

TEST(SaveAvi, ATargetWrittenInPlaceIsTouchedOnlyAfterTheCoding) {
    test::TempFolder folder;
    const std::vector<uint8_t> old = {'o', 'l', 'd'};
    // No temporary name fits beside this file: it is written in place.
    const std::filesystem::path path = folder / (std::string(250, 'f') + ".avi");
    test::WriteAll(path, old);
    CAnimationDocument recorded;
    MakeMovie(recorded, 32, 32, 3, 16, Walker);
    test::RecordingProgress all;
    ASSERT_EQ(1, recorded.SaveAvi(&all, path)) << recorded.FailureReason();
    const auto written = test::ReadAll(path);
    test::WriteAll(path, old);
    const auto writing = std::find_if(all.reports.begin(), all.reports.end(),
                                      [](const auto& r) { return r.second == kPhaseWriting; });
    ASSERT_NE(all.reports.end(), writing);

    // A Cancel at the last report of the coding.
    CAnimationDocument doc;
    MakeMovie(doc, 32, 32, 3, 16, Walker);
    test::RecordingProgress cancel(size_t(writing - all.reports.begin()));
    EXPECT_EQ(0, doc.SaveAvi(&cancel, path));
    EXPECT_EQ("cancelled", doc.FailureReason());
    EXPECT_TRUE(test::SameBytes(old, test::ReadAll(path)));
    ASSERT_EQ(1, doc.SaveAvi(nullptr, path)) << doc.FailureReason();
    EXPECT_TRUE(test::SameBytes(written, test::ReadAll(path)));
}

TEST(SaveAvi, StreamFormatSaysFortyBytesWhateverTheSourceSaid) {
    // A movie whose "strf" holds a 44-byte info header, with the palette after it.
    test::AviParts parts;
    parts.infoSize = 44;
    parts.frames = {test::PlainFrame(parts, 0), test::PlainFrame(parts, 1)};
    const auto bytes = test::BuildAvi(parts);
    test::TempFolder folder;
    test::WriteAll(folder / "in.avi", bytes);
    CAnimationDocument doc;
    ASSERT_EQ(1, doc.LoadAvi(nullptr, folder / "in.avi")) << doc.FailureReason();
    ASSERT_EQ(1, doc.SaveAvi(nullptr, folder / "out.avi")) << doc.FailureReason();
    const auto b = test::ReadAll(folder / "out.avi");
    // Only the 40-byte header is written, and the palette follows it.
    EXPECT_EQ("strf", Text(b, 164));
    EXPECT_EQ(40u, U32(b, 172));
    ASSERT_LE(40u, doc.DisplayInfo().size());
    EXPECT_EQ(40u, U32(doc.DisplayInfo(), 0));
    CAnimationDocument back;
    ASSERT_EQ(1, back.LoadAvi(nullptr, folder / "out.avi")) << back.FailureReason();
    EXPECT_EQ(40u, back.headerList.stream.format.header.biSize);
}

TEST(SaveAvi, AFileNameWithoutAUtf8FormStillGivesAResultAndAReason) {
    test::TempFolder folder;
    CAnimationDocument doc;
    MakeMovie(doc, 8, 8, 2, 4, Walker);
#ifdef _WIN32
    // UTF-16 names may hold an unpaired surrogate, which has no UTF-8 form.
    const std::filesystem::path name(std::wstring(1, wchar_t(0xD800)) + L".avi");
#else
    const std::filesystem::path name("\xff.avi");
#endif
    int result = -1;
    EXPECT_NO_THROW(result = doc.SaveAvi(nullptr, folder / "absent" / name));
    EXPECT_EQ(0, result);
    EXPECT_NE(std::string::npos, doc.FailureReason().find("no such file or folder"))
        << doc.FailureReason();
    EXPECT_EQ(8u * 8u, doc.Frame(1).Size());
}

TEST(SaveAvi, MissingFolderOrEmptyMovieFailsWithAReason) {
    test::TempFolder folder;
    CAnimationDocument doc;
    EXPECT_EQ(0, doc.SaveAvi(nullptr, folder / "m.avi"));
    EXPECT_EQ("no movie to save", doc.FailureReason());
    MakeMovie(doc, 8, 8, 2, 4, Walker);
    EXPECT_EQ(0, doc.SaveAvi(nullptr, folder / "absent" / "m.avi"));
    EXPECT_EQ("cannot write m.avi: no such file or folder", doc.FailureReason());
    EXPECT_EQ(8u * 8u, doc.Frame(1).Size());
    CAnimationDocument noPalette;
    MakeMovie(noPalette, 8, 8, 2, 0, Walker);
    EXPECT_EQ(0, noPalette.SaveAvi(nullptr, folder / "m.avi"));
    EXPECT_EQ("the movie has no palette", noPalette.FailureReason());
    EXPECT_TRUE(folder.Entries().empty());
}

}  // namespace
}  // namespace kx
