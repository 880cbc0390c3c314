// Throughput of the media core on large inputs: a movie of 256 x 256 pixels x 1000 frames with
// moving content and one strip of 4096 x 4096 pixels. Every benchmark reports MB/s of plain
// pixels and, as "x_memcpy", its speed as a fraction of memcpy over the same number of bytes,
// measured in the same run. Loads and saves also report, as "x_copy", their speed as a fraction
// of the system copying a file of the same size (read and written in blocks of 10240 bytes),
// the limit for work on files.
//
//   cmake --preset native-release && cmake --build --preset native-release
//   build/native-release/bench/kx_bench
#include <benchmark/benchmark.h>

#include <fcntl.h>
#include <unistd.h>
#include <algorithm>
#include <array>
#include <chrono>
#include <cstdint>
#include <cstring>
#include <ctime>
#include <filesystem>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "doc/animation_document.h"

namespace {

using kx::CAnimationDocument;
namespace fs = std::filesystem;

constexpr int32_t kMovieSide = 256;
constexpr int32_t kMovieFrames = 1000;
constexpr int32_t kStripSide = 4096;
constexpr int32_t kStripFrameHeight = 64;

fs::path Scratch(const std::string& name) {
    return fs::temp_directory_path() / ("kx-bench-" + std::to_string(getpid()) + "-" + name);
}

// Bytes per CPU second of memcpy over n bytes, as BM_Memcpy measured them in this run (it runs
// first, once for each size the other benchmarks use). The benchmarks' rates are per CPU second
// too, so the ratio holds on a busy machine.
std::map<uint64_t, double>& MemcpyRates() {
    static std::map<uint64_t, double> rates;
    return rates;
}

double MemcpyRate(uint64_t n) {
    const auto found = MemcpyRates().find(n);
    return found != MemcpyRates().end() ? found->second : 0.0;
}

// The files BM_FileCopy copies.
enum Copied : int64_t { kStripBitmap, kMovieBitmap, kMovieAvi };

// Bytes per CPU second of copying each of those files, as BM_FileCopy measured them in this run.
std::map<int64_t, double>& CopyRates() {
    static std::map<int64_t, double> rates;
    return rates;
}

void Report(benchmark::State& state, uint64_t plainBytes) {
    state.SetBytesProcessed(int64_t(plainBytes) * state.iterations());
    if (MemcpyRate(plainBytes) > 0) {
        state.counters["x_memcpy"] = benchmark::Counter(
            double(plainBytes) * double(state.iterations()) / MemcpyRate(plainBytes),
            benchmark::Counter::kIsRate);
    }
}

// Report, and the speed against copying a file like the one of fileBytes that the benchmark
// reads or writes.
void ReportFile(benchmark::State& state, uint64_t plainBytes, uint64_t fileBytes, Copied like) {
    Report(state, plainBytes);
    const auto found = CopyRates().find(like);
    if (found != CopyRates().end() && found->second > 0) {
        state.counters["x_copy"] =
            benchmark::Counter(double(fileBytes) * double(state.iterations()) / found->second,
                               benchmark::Counter::kIsRate);
    }
}

// A composed movie: a diagonal gradient background with a square moving across it and a band of
// noise that changes every frame.
void MakeMovie(CAnimationDocument& doc, int32_t side, int32_t frames) {
    kx::BitmapInfoHeader& format = doc.headerList.stream.format.header;
    format.biWidth = side;
    format.biHeight = side;
    doc.palette.count = 64;
    for (int i = 0; i < 64; ++i) {
        doc.palette.entries[size_t(i)] = {uint8_t(i * 4), uint8_t(255 - i * 4), uint8_t(i), 0};
    }
    const uint32_t stride = kx::Stride8(side);
    doc.movieList.frames.assign(size_t(frames), kx::FrameChunk{});
    doc.movieList.index.assign(size_t(frames), kx::IndexEntry{});
    uint32_t noise = 12345;
    for (int32_t k = 0; k < frames; ++k) {
        kx::FrameBytes& data = doc.movieList.frames[size_t(k)].data;
        data.assign(size_t(stride) * uint32_t(side), 0);
        const int32_t left = (k * 3) % side;
        const int32_t bottom = (k * 2) % side;
        for (int32_t y = 0; y < side; ++y) {
            for (int32_t x = 0; x < side; ++x) {
                uint8_t v = uint8_t(((x + y) / 16) % 32);
                if (x >= left && x < left + 40 && y >= bottom && y < bottom + 40) {
                    v = 40;
                }
                if (y >= side / 2 && y < side / 2 + 4) {
                    noise = noise * 1103515245u + 12345u;
                    v = uint8_t(48 + (noise >> 16) % 16);
                }
                data[size_t(y) * stride + size_t(x)] = v;
            }
        }
    }
    doc.frameCount = frames;
    doc.RebuildHeaders(64, frames, side, side, 40);
}

CAnimationDocument& Movie() {
    static std::unique_ptr<CAnimationDocument> doc = [] {
        auto d = std::make_unique<CAnimationDocument>();
        MakeMovie(*d, kMovieSide, kMovieFrames);
        return d;
    }();
    return *doc;
}

uint64_t MovieBytes() {
    return uint64_t(kx::Stride8(kMovieSide)) * kMovieSide * kMovieFrames;
}

const fs::path& MovieFile() {
    static const fs::path path = [] {
        const fs::path p = Scratch("movie.avi");
        Movie().SaveAvi(nullptr, p);
        return p;
    }();
    return path;
}

// The strip: one 4096 x 4096 picture of the same content, written as a plain bitmap.
const fs::path& StripFile() {
    static const fs::path path = [] {
        CAnimationDocument strip;
        MakeMovie(strip, kStripSide, 1);
        const fs::path p = Scratch("strip.bmp");
        strip.SaveBitmap(nullptr, p, false);
        return p;
    }();
    return path;
}

uint64_t StripBytes() {
    return uint64_t(kStripSide) * kStripSide;
}

// The movie as a plain bitmap, the file a plain save writes.
const fs::path& MovieBitmapFile() {
    static const fs::path path = [] {
        const fs::path p = Scratch("movie.bmp");
        Movie().SaveBitmap(nullptr, p, false);
        return p;
    }();
    return path;
}

const fs::path& CopiedFile(int64_t which) {
    return which == kStripBitmap   ? StripFile()
           : which == kMovieBitmap ? MovieBitmapFile()
                                   : MovieFile();
}

uint64_t FileBytes(const fs::path& path) {
    return uint64_t(fs::file_size(path));
}

// The system copying one of the files: read and written in blocks of 10240 bytes.
void BM_FileCopy(benchmark::State& state) {
    const fs::path& from = CopiedFile(state.range(0));
    const fs::path to = Scratch("copy");
    const uint64_t bytes = FileBytes(from);
    std::vector<char> block(10240);
    const std::clock_t start = std::clock();
    for (auto _ : state) {
        const int in = open(from.c_str(), O_RDONLY);
        const int out = open(to.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        ssize_t got = 0;
        while ((got = read(in, block.data(), block.size())) > 0) {
            if (write(out, block.data(), size_t(got)) != got) {
                state.SkipWithError("write failed");
                break;
            }
        }
        close(in);
        close(out);
    }
    const double seconds = double(std::clock() - start) / CLOCKS_PER_SEC;
    if (seconds > 0) {
        CopyRates()[state.range(0)] = double(bytes) * double(state.iterations()) / seconds;
    }
    state.SetBytesProcessed(int64_t(bytes) * state.iterations());
    fs::remove(to);
}

void BM_Memcpy(benchmark::State& state) {
    const uint64_t bytes = uint64_t(state.range(0));
    std::vector<uint8_t> from(bytes, 1);
    std::vector<uint8_t> to(bytes, 0);
    const std::clock_t start = std::clock();
    for (auto _ : state) {
        std::memcpy(to.data(), from.data(), from.size());
        benchmark::DoNotOptimize(to.data());
        benchmark::ClobberMemory();
    }
    const double seconds = double(std::clock() - start) / CLOCKS_PER_SEC;
    if (seconds > 0) {
        MemcpyRates()[bytes] = double(bytes) * double(state.iterations()) / seconds;
    }
    Report(state, bytes);
}

void BM_LoadBitmapStrip(benchmark::State& state) {
    const fs::path& path = StripFile();
    for (auto _ : state) {
        CAnimationDocument doc;
        if (doc.LoadBitmapStrip(nullptr, path, 40) != 1) {
            state.SkipWithError("LoadBitmapStrip failed");
        }
    }
    ReportFile(state, StripBytes(), FileBytes(path), kStripBitmap);
}

void BM_ComposeFromStrip(benchmark::State& state) {
    const fs::path& path = StripFile();
    for (auto _ : state) {
        state.PauseTiming();
        CAnimationDocument doc;
        doc.LoadBitmapStrip(nullptr, path, 40);
        state.ResumeTiming();
        if (doc.ComposeFromStrip(nullptr, kStripFrameHeight) != 1) {
            state.SkipWithError("ComposeFromStrip failed");
        }
    }
    Report(state, StripBytes());
}

// The AVI writer codes on every core and the reader clears memory on a second one: besides
// the calling thread's CPU time, "x_memcpy_wall" gives their speed in wall-clock time against
// memcpy (on an idle machine memcpy's CPU time is its wall-clock time).
void ReportWall(benchmark::State& state, uint64_t plainBytes,
                std::chrono::steady_clock::duration wall) {
    const double seconds = std::chrono::duration<double>(wall).count();
    if (seconds > 0 && MemcpyRate(plainBytes) > 0) {
        state.counters["x_memcpy_wall"] =
            double(plainBytes) * double(state.iterations()) / seconds / MemcpyRate(plainBytes);
    }
}

void BM_SaveAvi(benchmark::State& state) {
    const fs::path path = Scratch("save.avi");
    const auto start = std::chrono::steady_clock::now();
    for (auto _ : state) {
        if (Movie().SaveAvi(nullptr, path) != 1) {
            state.SkipWithError("SaveAvi failed");
        }
    }
    ReportWall(state, MovieBytes(), std::chrono::steady_clock::now() - start);
    ReportFile(state, MovieBytes(), FileBytes(path), kMovieAvi);
    fs::remove(path);
}

void BM_LoadAvi(benchmark::State& state) {
    const fs::path& path = MovieFile();
    const auto start = std::chrono::steady_clock::now();
    for (auto _ : state) {
        CAnimationDocument doc;
        if (doc.LoadAvi(nullptr, path) != 1) {
            state.SkipWithError("LoadAvi failed");
        }
    }
    ReportWall(state, MovieBytes(), std::chrono::steady_clock::now() - start);
    ReportFile(state, MovieBytes(), FileBytes(path), kMovieAvi);
}

void BM_SaveBitmap(benchmark::State& state) {
    const bool compress = state.range(0) != 0;
    const fs::path path = Scratch("save.bmp");
    for (auto _ : state) {
        if (Movie().SaveBitmap(nullptr, path, compress) != 1) {
            state.SkipWithError("SaveBitmap failed");
        }
    }
    ReportFile(state, MovieBytes(), FileBytes(path), compress ? kMovieAvi : kMovieBitmap);
    fs::remove(path);
}

// Every frame encoded against the previous one, as the AVI writer does.
void BM_EncodeRle8(benchmark::State& state) {
    const CAnimationDocument& doc = Movie();
    kx::BitmapInfoHeader format = doc.headerList.stream.format.header;
    const std::array<uint8_t, 256> remap{};
    kx::FrameChunk coded;
    for (auto _ : state) {
        for (int32_t k = 0; k < doc.FrameCount(); ++k) {
            const uint8_t* base = k > 0 ? doc.Frame(k - 1).data.data() : nullptr;
            coded.EncodeRle8(nullptr, format, doc.Frame(k).data.data(), base, remap);
            benchmark::DoNotOptimize(coded.data.data());
        }
    }
    Report(state, MovieBytes());
}

// The AVI writer's coding of all frames on state.range(0) threads, in wall-clock time: the
// ratio of the two rates is what the second core gives.
void BM_EncodeFrames(benchmark::State& state) {
    const CAnimationDocument& doc = Movie();
    kx::MovieList movie = doc.movieList;
    movie.codingThreads = int32_t(state.range(0));
    const kx::BitmapInfoHeader format = doc.headerList.stream.format.header;
    std::vector<kx::FrameChunk> codes;
    for (auto _ : state) {
        if (movie.EncodeFramesForAvi(nullptr, format, doc.FrameCount(), codes) != 1) {
            state.SkipWithError("EncodeFramesForAvi failed");
        }
    }
    Report(state, MovieBytes());
}

void BM_DecodeRle(benchmark::State& state) {
    const CAnimationDocument& doc = Movie();
    kx::BitmapInfoHeader format = doc.headerList.stream.format.header;
    const std::array<uint8_t, 256> remap{};
    std::vector<std::vector<uint8_t>> codes;
    kx::FrameChunk coded;
    for (int32_t k = 0; k < doc.FrameCount(); ++k) {
        const uint8_t* base = k > 0 ? doc.Frame(k - 1).data.data() : nullptr;
        coded.EncodeRle8(nullptr, format, doc.Frame(k).data.data(), base, remap);
        codes.emplace_back(coded.data.begin(), coded.data.end());
    }
    kx::FrameChunk frame;
    for (auto _ : state) {
        for (int32_t k = 0; k < doc.FrameCount(); ++k) {
            frame.data = codes[size_t(k)];
            format.biCompression = 1;
            const uint8_t* base = k > 0 ? doc.Frame(k - 1).data.data() : nullptr;
            if (frame.DecodeRle(nullptr, format, base, false) != 1) {
                state.SkipWithError("DecodeRle failed");
            }
        }
    }
    Report(state, MovieBytes());
}

// The reader's decoding of all frames of a movie with a key frame every 12 frames (as ffmpeg
// writes run-length AVIs) on state.range(0) threads, in wall-clock time.
void BM_DecodeKeyFrames(benchmark::State& state) {
    constexpr int32_t kKeyFrameDistance = 12;
    const CAnimationDocument& doc = Movie();
    kx::BitmapInfoHeader format = doc.headerList.stream.format.header;
    const std::array<uint8_t, 256> remap{};
    kx::MovieList coded = doc.movieList;
    for (int32_t k = 0; k < doc.FrameCount(); ++k) {
        const bool key = k % kKeyFrameDistance == 0;
        const uint8_t* base = key ? nullptr : doc.Frame(k - 1).data.data();
        kx::FrameChunk chunk;
        chunk.EncodeRle8(nullptr, format, doc.Frame(k).data.data(), base, remap);
        coded.frames[size_t(k)].data = std::move(chunk.data);
        coded.index[size_t(k)].flags = key ? 0x10 : 0;
    }
    coded.codingThreads = int32_t(state.range(0));
    for (auto _ : state) {
        state.PauseTiming();
        kx::MovieList movie = coded;
        state.ResumeTiming();
        format.biCompression = 1;
        if (movie.DecodeFrames(nullptr, format, doc.FrameCount(), false, 0) != 1) {
            state.SkipWithError("DecodeFrames failed");
        }
        state.PauseTiming();
        movie = {};  // freeing the frames is not part of the decoding
        state.ResumeTiming();
    }
    Report(state, MovieBytes());
}

BENCHMARK(BM_Memcpy)
    ->Arg(int64_t(MovieBytes()))
    ->Arg(int64_t(StripBytes()))
    ->ArgName("bytes")
    ->Unit(benchmark::kMillisecond);
BENCHMARK(BM_FileCopy)
    ->Arg(kStripBitmap)
    ->Arg(kMovieBitmap)
    ->Arg(kMovieAvi)
    ->ArgName("strip_bmp_movie_bmp_movie_avi")
    ->Unit(benchmark::kMillisecond);
BENCHMARK(BM_LoadBitmapStrip)->Unit(benchmark::kMillisecond);
// Cutting copies nothing now: a fixed count keeps the paused reloads of the strip few.
BENCHMARK(BM_ComposeFromStrip)->Iterations(16)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_SaveAvi)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_LoadAvi)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_SaveBitmap)->Arg(0)->Arg(1)->ArgName("compressed")->Unit(benchmark::kMillisecond);
BENCHMARK(BM_EncodeRle8)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_DecodeRle)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_DecodeKeyFrames)
    ->Arg(1)
    ->Arg(2)
    ->ArgName("threads")
    ->UseRealTime()
    ->Unit(benchmark::kMillisecond);
BENCHMARK(BM_EncodeFrames)
    ->Arg(1)
    ->Arg(2)
    ->ArgName("threads")
    ->UseRealTime()
    ->Unit(benchmark::kMillisecond);

}  // namespace
