// Damaged files: valid movies and strips cut at every length, and with one header field at a
// time replaced by hostile values. Each load must succeed or fail cleanly: no crash, no hang,
// no huge allocation, and a movie that loads holds whole frames.
#include <gtest/gtest.h>

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "doc/animation_document.h"
#include "doc/avi_builder.h"
#include "doc/temp_folder.h"

#if defined(__SANITIZE_ADDRESS__)
#define KX_ALLOCATION_HOOKS 1
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
#define KX_ALLOCATION_HOOKS 1
#endif
#endif

#ifdef KX_ALLOCATION_HOOKS
extern "C" int __sanitizer_install_malloc_and_free_hooks(void (*malloc_hook)(const volatile void*,
                                                                             size_t),
                                                         void (*free_hook)(const volatile void*));
#endif

namespace kx {
namespace {

using test::AviParts;
using test::Bytes;

// The largest single allocation seen while watching; the sanitizer build reports every
// allocation to a hook, other builds leave it at 0.
std::atomic<bool> watching{false};
std::atomic<size_t> largestAllocation{0};

#ifdef KX_ALLOCATION_HOOKS
void OnMalloc(const volatile void*, size_t size) {
    if (watching.load(std::memory_order_relaxed)) {
        size_t seen = largestAllocation.load(std::memory_order_relaxed);
        while (size > seen && !largestAllocation.compare_exchange_weak(seen, size)) {
        }
    }
}
void OnFree(const volatile void*) {}
#endif

class AllocationWatch {
public:
    AllocationWatch() {
#ifdef KX_ALLOCATION_HOOKS
        static const bool installed = __sanitizer_install_malloc_and_free_hooks(OnMalloc, OnFree);
        (void)installed;
#endif
        largestAllocation = 0;
        watching = true;
    }
    ~AllocationWatch() {
        watching = false;
    }
    size_t Largest() const {
        return largestAllocation;
    }
};

// No input may make the core allocate more than its buffer cap at once. (A few bytes of
// run-length codes may stand for a frame that large, so the cap itself is the bound.)
constexpr size_t kAllocationLimit = kMaxBufferBytes;

// Checks what a successful load must hold: frame count frames of stride x height bytes.
void ExpectWholeFrames(const CAnimationDocument& doc, const std::string& what) {
    ASSERT_GT(doc.FrameCount(), 0) << what;
    ASSERT_GT(doc.FrameHeight(), 0) << what;
    const uint64_t frameBytes = uint64_t(Stride8(doc.FrameWidth())) * uint32_t(doc.FrameHeight());
    for (int32_t k = 0; k < doc.FrameCount(); ++k) {
        ASSERT_EQ(frameBytes, doc.Frame(k).Size()) << what << ", frame " << k;
    }
}

using Loader = std::function<int(CAnimationDocument&, const std::filesystem::path&)>;

int LoadAvi(CAnimationDocument& doc, const std::filesystem::path& path) {
    return doc.LoadAvi(nullptr, path);
}

// Loads every damaged variant; returns how many of them loaded.
class DamageTest : public ::testing::Test {
protected:
    void LoadEach(const Bytes& bytes, const Loader& load, const std::string& what) {
        test::WriteAll(path_, bytes);
        CAnimationDocument doc;
        AllocationWatch watch;
        const int result = load(doc, path_);
        EXPECT_GE(kAllocationLimit, watch.Largest()) << what;
        if (result == 1) {
            ++loaded_;
            ExpectWholeFrames(doc, what);
        } else {
            ++refused_;
            EXPECT_FALSE(doc.FailureReason().empty()) << what;
        }
    }

    // Every length from 0 to one byte short of the whole file.
    void Truncate(const Bytes& bytes, const Loader& load, const std::string& name) {
        for (size_t length = 0; length < bytes.size(); ++length) {
            LoadEach(Bytes(bytes.begin(), bytes.begin() + ptrdiff_t(length)), load,
                     name + " cut to " + std::to_string(length) + " bytes");
        }
    }

    // Each 16- and 32-bit field in the first headerBytes bytes replaced by hostile values.
    void Corrupt(const Bytes& bytes, size_t headerBytes, const Loader& load,
                 const std::string& name) {
        static const uint32_t values[] = {
            0, 1, 2, 0xFFFF, 0x10000, 0x7FFFFFFF, 0x80000000, 0xFFFFFFFF, 0xFFFFFFF8, 0x00FFFFFF};
        for (size_t at = 0; at + 4 <= std::min(headerBytes, bytes.size()); at += 2) {
            for (const uint32_t value : values) {
                Bytes damaged = bytes;
                for (int i = 0; i < 4; ++i) {
                    damaged[at + size_t(i)] = uint8_t(value >> (8 * i));
                }
                LoadEach(damaged, load,
                         name + " with " + std::to_string(value) + " at " + std::to_string(at));
            }
        }
    }

    test::TempFolder folder_;
    std::filesystem::path path_ = folder_ / "damaged";
    int loaded_ = 0;
    int refused_ = 0;
};

std::vector<std::pair<std::string, Bytes>> SampleMovies() {
    AviParts plain;
    for (int k = 0; k < 3; ++k) {
        plain.frames.push_back(test::PlainFrame(plain, k));
    }
    AviParts initial = plain;
    initial.totalFrames = 2;
    initial.initialFrames = 1;
    AviParts topDown = plain;
    topDown.height = -3;
    AviParts rle8;
    rle8.width = 8;
    rle8.height = 2;
    rle8.compression = 1;
    rle8.frames = {{0x08, 0x01, 0x00, 0x00, 0x08, 0x02, 0x00, 0x01},
                   {0x00, 0x02, 0x00, 0x01, 0x08, 0x03, 0x00, 0x01},
                   {0x02, 0x00, 0x00, 0x01}};
    AviParts rle4;
    rle4.width = 5;
    rle4.height = 2;
    rle4.bits = 4;
    rle4.compression = 2;
    rle4.frames = {{0x05, 0x12, 0x00, 0x00, 0x00, 0x03, 0x12, 0x30, 0x00, 0x01}};
    const Bytes rec = test::List(MakeFourCC("rec "), {test::FrameChunks(plain)});
    return {
        {"plain", test::BuildAvi(plain)},
        {"initial frames", test::BuildAvi(initial)},
        {"top-down", test::BuildAvi(topDown)},
        {"rle8", test::BuildAvi(rle8)},
        {"rle4", test::BuildAvi(rle4)},
        {"junk and rec", test::Riff({test::Junk(3), test::Hdrl(plain),
                                     test::List(fourcc::kMovi, {rec}), test::Idx1For(plain)})},
    };
}

TEST_F(DamageTest, MoviesCutAtEveryLengthLoadOrFailCleanly) {
    for (const auto& [name, bytes] : SampleMovies()) {
        Truncate(bytes, LoadAvi, name);
    }
    // A cut file lacks its index or part of a chunk: none of them is a whole movie.
    EXPECT_EQ(0, loaded_);
    EXPECT_LT(0, refused_);
}

TEST_F(DamageTest, MoviesWithADamagedHeaderFieldLoadOrFailCleanly) {
    for (const auto& [name, bytes] : SampleMovies()) {
        // The RIFF header, the header list and the head of the frame list.
        Corrupt(bytes, 300, LoadAvi, name);
    }
    EXPECT_LT(0, loaded_);
    EXPECT_LT(0, refused_);
}

TEST_F(DamageTest, MoviesWithDamagedFrameAndIndexChunksLoadOrFailCleanly) {
    for (const auto& [name, bytes] : SampleMovies()) {
        // Everything after the header list: frame chunk headers, codes and the index.
        const size_t start = bytes.size() > 200 ? bytes.size() - 200 : 0;
        for (size_t at = start; at + 4 <= bytes.size(); at += 4) {
            for (const uint32_t value : {0u, 1u, 0xFFFFFFFFu, 0x7FFFFFFFu, 0x00010000u}) {
                Bytes damaged = bytes;
                for (int i = 0; i < 4; ++i) {
                    damaged[at + size_t(i)] = uint8_t(value >> (8 * i));
                }
                LoadEach(damaged, LoadAvi,
                         name + " with " + std::to_string(value) + " at " + std::to_string(at));
            }
        }
    }
    EXPECT_LT(0, refused_);
}

// Strips written by the bitmap writer, plain and compressed, from a movie of runs and noise.
std::vector<std::pair<std::string, Bytes>> SampleStrips(const std::filesystem::path& folder) {
    std::vector<std::pair<std::string, Bytes>> strips;
    for (const bool compress : {false, true}) {
        CAnimationDocument doc;
        BitmapInfoHeader& format = doc.headerList.stream.format.header;
        format.biWidth = 11;
        format.biHeight = 3;
        doc.palette.count = 6;
        doc.movieList.frames.assign(3, FrameChunk{});
        doc.movieList.index.assign(3, IndexEntry{});
        for (uint32_t k = 0; k < 3; ++k) {
            FrameBytes& data = doc.movieList.frames[k].data;
            data.assign(12 * 3, 0);
            for (uint32_t i = 0; i < data.size(); ++i) {
                data[i] = uint8_t(i % 12 >= 11 ? 0 : (i < 12 ? k : (i * 7 + k) % 6));
            }
        }
        doc.frameCount = 3;
        doc.RebuildHeaders(6, 3, 3, 11, 100);
        const std::filesystem::path path = folder / "strip.bmp";
        if (doc.SaveBitmap(nullptr, path, compress) == 1) {
            strips.emplace_back(compress ? "rle strip" : "plain strip", test::ReadAll(path));
        }
    }
    return strips;
}

int LoadStrip(CAnimationDocument& doc, const std::filesystem::path& path) {
    return doc.LoadBitmapStrip(nullptr, path, 100) == 1 && doc.ComposeFromStrip(nullptr, 3) == 1;
}

TEST_F(DamageTest, StripsCutAtEveryLengthOrWithADamagedHeaderFieldLoadOrFailCleanly) {
    const auto strips = SampleStrips(folder_.Path());
    ASSERT_EQ(2u, strips.size());
    EXPECT_EQ(1, strips[1].second[30]);  // biCompression: the run-length strip is compressed
    for (const auto& [name, bytes] : strips) {
        Truncate(bytes, LoadStrip, name);
        // File header, info header and palette.
        Corrupt(bytes, 14 + 40 + 24, LoadStrip, name);
    }
    EXPECT_LT(0, loaded_);
    EXPECT_LT(0, refused_);
}

}  // namespace
}  // namespace kx
