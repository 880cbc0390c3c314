// Writes the seed corpora of the fuzz targets into a folder: movies and strips written by the
// program's own writers, AVI files with the structures the reader must walk (initial frames,
// "rec " lists, JUNK, 1- and 4-bit frames, top-down rows), and run-length frames with and
// without a base.
//
// Usage: kx_fuzz_seeds FOLDER   (makes FOLDER/avi, FOLDER/bitmap_strip, FOLDER/rle, FOLDER/gif,
// FOLDER/gif_lzw, FOLDER/png and FOLDER/png_chunks)
#include <array>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include "doc/animation_document.h"
#include "doc/avi_builder.h"
#include "doc/frame_delta.h"
#include "doc/gif_format.h"
#include "doc/gif_lzw.h"
#include "doc/png_builder.h"

namespace {

namespace fs = std::filesystem;
using kx::test::Bytes;

bool Save(const fs::path& path, const Bytes& bytes) {
    std::FILE* file = std::fopen(path.c_str(), "wb");
    if (file == nullptr) {
        return false;
    }
    const bool written = std::fwrite(bytes.data(), 1, bytes.size(), file) == bytes.size();
    return std::fclose(file) == 0 && written;
}

// A composed movie of n frames, w x h pixels, with the given pixel function.
void MakeMovie(kx::CAnimationDocument& doc, int32_t w, int32_t h, int32_t n, int32_t colours,
               const std::function<uint8_t(int32_t, uint32_t, uint32_t)>& pixel) {
    kx::BitmapInfoHeader& format = doc.headerList.stream.format.header;
    format.biWidth = w;
    format.biHeight = h;
    doc.palette.count = colours;
    for (int32_t i = 0; i < colours; ++i) {
        doc.palette.entries[size_t(i)] = {uint8_t(i * 3), uint8_t(255 - i), uint8_t(i * 7), 0};
    }
    const uint32_t stride = kx::Stride8(w);
    doc.movieList.frames.assign(size_t(n), kx::FrameChunk{});
    doc.movieList.index.assign(size_t(n), kx::IndexEntry{});
    for (int32_t k = 0; k < n; ++k) {
        kx::FrameBytes& data = doc.movieList.frames[size_t(k)].data;
        data.assign(size_t(stride) * uint32_t(h), 0);
        for (uint32_t y = 0; y < uint32_t(h); ++y) {
            for (uint32_t x = 0; x < uint32_t(w); ++x) {
                data[y * stride + x] = uint8_t(pixel(k, x, y) % colours);
            }
        }
    }
    doc.frameCount = n;
    doc.RebuildHeaders(colours, n, h, w, 80);
}

struct MovieSeed {
    const char* name;
    int32_t width;
    int32_t height;
    int32_t frames;
    int32_t colours;
    std::function<uint8_t(int32_t, uint32_t, uint32_t)> pixel;
};

const MovieSeed kMovies[] = {
    {"moving", 24, 10, 4, 16,
     [](int32_t k, uint32_t x, uint32_t y) { return uint8_t((x + uint32_t(k)) / 4 + y / 5); }},
    {"noise", 9, 5, 3, 200,
     [](int32_t k, uint32_t x, uint32_t y) { return uint8_t(x * 37 + y * 101 + k * 13); }},
    {"narrow", 4, 6, 2, 2, [](int32_t k, uint32_t, uint32_t y) { return uint8_t(k + y); }},
    {"still", 13, 7, 3, 5, [](int32_t, uint32_t x, uint32_t) { return uint8_t(x / 3); }},
    {"single", 7, 3, 1, 3, [](int32_t, uint32_t x, uint32_t y) { return uint8_t(x ^ y); }},
};

int WriterSeeds(const fs::path& avi, const fs::path& strip, const fs::path& png) {
    int failures = 0;
    for (const MovieSeed& m : kMovies) {
        kx::CAnimationDocument doc;
        MakeMovie(doc, m.width, m.height, m.frames, m.colours, m.pixel);
        failures +=
            doc.SaveBitmap(nullptr, strip / (std::string(m.name) + "-plain.bmp"), false) == 0;
        failures += doc.SaveBitmap(nullptr, strip / (std::string(m.name) + "-rle.bmp"), true) == 0;
        failures += doc.SaveAvi(nullptr, avi / (std::string(m.name) + ".avi")) == 0;
        doc.movieList.FindTransparentIndex(doc.palette, m.height);
        failures += doc.SaveApng(nullptr, png / (std::string(m.name) + ".png"),
                                 kx::AnimationOptions{m.frames % 2 == 0, 2}) == 0;
    }
    return failures;
}

// Our own GIFs of the same movies, opaque and transparent, and their LZW streams.
int GifSeeds(const fs::path& gif, const fs::path& lzw) {
    int failures = 0;
    for (const MovieSeed& m : kMovies) {
        kx::CAnimationDocument doc;
        MakeMovie(doc, m.width, m.height, m.frames, m.colours, m.pixel);
        doc.movieList.FindTransparentIndex(doc.palette, m.height);
        for (const bool transparent : {false, true}) {
            kx::AnimationOptions options;
            options.transparent = transparent;
            Bytes bytes;
            failures += !kx::EncodeGif(doc, options, nullptr, bytes).empty();
            failures +=
                !Save(gif / (std::string(m.name) + (transparent ? "-t.gif" : ".gif")), bytes);
        }
        const kx::FrameBytes& frame = doc.movieList.frames[0].data;
        const int minCodeSize = m.colours > 128 ? 8 : 7;
        const kx::LzwStream stream = kx::EncodeLzw({frame.data(), nullptr, frame.size(), false},
                                                   minCodeSize, kx::LzwFullTable::Clear);
        Bytes seed = {uint8_t(minCodeSize - 2), uint8_t((frame.size() - 1) & 0xFF),
                      uint8_t((frame.size() - 1) >> 8)};
        seed.insert(seed.end(), stream.bytes.begin(), stream.bytes.end());
        failures += !Save(lzw / (std::string(m.name) + ".lzw"), seed);
    }
    return failures;
}

int BuiltSeeds(const fs::path& avi) {
    using namespace kx::test;
    int failures = 0;
    AviParts plain;
    for (int k = 0; k < 3; ++k) {
        plain.frames.push_back(PlainFrame(plain, k));
    }
    AviParts initial = plain;
    initial.totalFrames = 2;
    initial.initialFrames = 1;
    AviParts topDown = plain;
    topDown.height = -3;
    AviParts rle4;
    rle4.width = 4;
    rle4.height = 2;
    rle4.bits = 4;
    rle4.compression = 2;
    rle4.frames = {{0x04, 0x12, 0x00, 0x00, 0x00, 0x04, 0x12, 0x30, 0x00, 0x01},
                   {0x00, 0x02, 0x01, 0x01, 0x02, 0x45, 0x00, 0x01}};
    AviParts oneBit;
    oneBit.width = 9;
    oneBit.height = 2;
    oneBit.bits = 1;
    oneBit.frames = {{0xAA, 0x80, 0, 0, 0x0F, 0x00, 0, 0}};
    const Bytes rec = List(kx::MakeFourCC("rec "), {FrameChunks(plain)});
    const Bytes junky = Riff(
        {Junk(3), Hdrl(plain), Junk(9), List(kx::fourcc::kMovi, {Junk(1), rec}), Idx1For(plain)});
    failures += !Save(avi / "built-plain.avi", BuildAvi(plain));
    failures += !Save(avi / "built-initial.avi", BuildAvi(initial));
    failures += !Save(avi / "built-top-down.avi", BuildAvi(topDown));
    failures += !Save(avi / "built-rle4.avi", BuildAvi(rle4));
    failures += !Save(avi / "built-1bit.avi", BuildAvi(oneBit));
    failures += !Save(avi / "built-junk-rec.avi", junky);
    return failures;
}

int RleSeeds(const fs::path& rle) {
    int failures = 0;
    const std::array<uint8_t, 256> identity{};
    // Header bytes: width - 1, height - 1, flags (1: RLE4, 2: with a base frame).
    const auto seed = [&](const char* name, uint8_t w, uint8_t h, uint8_t flags,
                          const Bytes& codes) {
        Bytes bytes = {uint8_t(w - 1), uint8_t(h - 1), flags};
        bytes.insert(bytes.end(), codes.begin(), codes.end());
        failures += !Save(rle / name, bytes);
    };
    seed("runs", 8, 2, 0, {0x08, 0x05, 0x00, 0x00, 0x08, 0x06, 0x00, 0x01});
    seed("absolute", 8, 1, 0, {0x00, 0x08, 1, 2, 3, 4, 5, 6, 7, 8, 0x00, 0x01});
    seed("delta", 16, 2, 2, {0x00, 0x02, 0x08, 0x01, 0x01, 0x08, 0x00, 0x01});
    seed("rle4", 5, 2, 1, {0x05, 0x12, 0x00, 0x00, 0x00, 0x03, 0x12, 0x30, 0x00, 0x01});
    seed("rle4-delta", 6, 3, 3, {0x00, 0x02, 0x01, 0x01, 0x02, 0x34, 0x00, 0x00, 0x00, 0x01});

    // Frames encoded by the encoder itself, alone and against a previous frame.
    const int32_t w = 21;
    const int32_t h = 6;
    const uint32_t stride = kx::Stride8(w);
    Bytes previous(size_t(stride) * h, 0);
    Bytes current(size_t(stride) * h, 0);
    for (uint32_t y = 0; y < uint32_t(h); ++y) {
        for (uint32_t x = 0; x < uint32_t(w); ++x) {
            previous[y * stride + x] = uint8_t(x / 5 + y);
            current[y * stride + x] = uint8_t(y == 2 && x > 8 ? x : x / 5 + y);
        }
    }
    for (const bool withBase : {false, true}) {
        kx::BitmapInfoHeader format;
        format.biWidth = w;
        format.biHeight = h;
        kx::FrameChunk encoded;
        if (encoded.EncodeRle8(nullptr, format, current.data(),
                               withBase ? previous.data() : nullptr, identity) == 0) {
            ++failures;
            continue;
        }
        seed(withBase ? "encoded-delta" : "encoded", uint8_t(w), uint8_t(h), withBase ? 2 : 0,
             encoded.data.Copy());
    }
    return failures;
}

// Still pictures of the formats the PNG reader must decode: low depths, 16 bits, interlace,
// alpha and colour keys.
int PngSeeds(const fs::path& png) {
    using kx::test::PngBuilder;
    using kx::test::PngImage;
    int failures = 0;
    const auto save = [&](const char* name, const PngImage& image,
                          const std::vector<uint32_t>& plte, const Bytes& trns,
                          const kx::test::SampleSource& samples) {
        PngBuilder b;
        b.Header(image);
        if (!plte.empty()) {
            b.Palette(plte);
        }
        if (!trns.empty()) {
            b.Chunk(kx::png::kTRNS, trns);
        }
        failures += !Save(png / name, b.Image(image, samples).End().Bytes());
    };
    save("grey1-interlaced.png", {13, 9, 1, 0, true}, {}, {},
         [](uint32_t x, uint32_t y) { return std::vector<uint16_t>{uint16_t((x ^ y) & 1)}; });
    save("grey4-key.png", {6, 5, 4, 0, false}, {}, {0, 3},
         [](uint32_t x, uint32_t) { return std::vector<uint16_t>{uint16_t(x * 2)}; });
    save("rgb16.png", {5, 4, 16, 2, false}, {}, {}, [](uint32_t x, uint32_t y) {
        return std::vector<uint16_t>{uint16_t(x * 4000), uint16_t(y * 9000), 0x8080};
    });
    save("rgba8-interlaced.png", {10, 10, 8, 6, true}, {}, {}, [](uint32_t x, uint32_t y) {
        return std::vector<uint16_t>{uint16_t(x * 20), 40, uint16_t(y), uint16_t(x > 5 ? 255 : 0)};
    });
    save("grey-alpha16.png", {3, 3, 16, 4, false}, {}, {}, [](uint32_t x, uint32_t) {
        return std::vector<uint16_t>{uint16_t(x * 30000), 0xFFFF};
    });
    save("palette2-trns.png", {7, 3, 2, 3, false}, {0x102030, 0xFFFFFF, 0xFF0000}, {0, 255},
         [](uint32_t x, uint32_t y) { return std::vector<uint16_t>{uint16_t((x + y) % 3)}; });
    return failures;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: kx_fuzz_seeds FOLDER\n");
        return 2;
    }
    const fs::path root = argv[1];
    const fs::path avi = root / "avi";
    const fs::path strip = root / "bitmap_strip";
    const fs::path rle = root / "rle";
    const fs::path gif = root / "gif";
    const fs::path lzw = root / "gif_lzw";
    const fs::path png = root / "png";
    const fs::path pngChunks = root / "png_chunks";
    std::error_code ec;
    for (const fs::path& folder : {avi, strip, rle, gif, lzw, png, pngChunks}) {
        fs::create_directories(folder, ec);
    }
    int failures = WriterSeeds(avi, strip, png) + BuiltSeeds(avi) + RleSeeds(rle) +
                   GifSeeds(gif, lzw) + PngSeeds(png);
    // The chunk reader starts from the same files.
    fs::copy(png, pngChunks, fs::copy_options::overwrite_existing | fs::copy_options::recursive,
             ec);
    failures += ec ? 1 : 0;
    if (failures != 0) {
        std::fprintf(stderr, "kx_fuzz_seeds: %d seeds could not be made\n", failures);
        return 1;
    }
    return 0;
}
