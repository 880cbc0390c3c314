#include "doc/png_decoder.h"

#include <algorithm>
#include <new>
#include <utility>

#include "doc/animation_document.h"

namespace kx::png {
namespace {

constexpr uint32_t kMaxDimension = 0x7FFFFFFFu;

// Bits of one sample allowed with each colour type.
bool DepthAllowed(uint8_t colourType, uint8_t depth) {
    switch (colourType) {
        case kGrey:
            return depth == 1 || depth == 2 || depth == 4 || depth == 8 || depth == 16;
        case kIndexed:
            return depth == 1 || depth == 2 || depth == 4 || depth == 8;
        case kTruecolour:
        case kGreyAlpha:
        case kRgba:
            return depth == 8 || depth == 16;
        default:
            return false;
    }
}

uint32_t Channels(uint8_t colourType) {
    switch (colourType) {
        case kTruecolour:
            return 3;
        case kGreyAlpha:
            return 2;
        case kRgba:
            return 4;
        default:
            return 1;
    }
}

// Collects what the chunks say, one handler per chunk type, checking order and sizes.
class Walker {
public:
    explicit Walker(PngFile& png) : png_(png) {}

    bool Take(const Chunk& chunk);
    bool Ended() const { return ended_; }
    bool Finish();
    const std::string& Reason() const { return reason_; }

private:
    bool Fail(std::string reason) {
        reason_ = std::move(reason);
        return false;
    }
    bool Header(const Chunk& c);
    bool Palette(const Chunk& c);
    bool Transparency(const Chunk& c);
    bool AnimationControl(const Chunk& c);
    bool FrameControlChunk(const Chunk& c);
    bool ImageData(const Chunk& c);
    bool FrameData(const Chunk& c);
    bool Sequence(uint32_t number, uint32_t type);

    PngFile& png_;
    std::string reason_;
    bool seenHeader_ = false;
    bool imageStarted_ = false;
    bool imageEnded_ = false;  // another chunk came after the image data
    bool defaultIsFrame_ = false;
    bool ended_ = false;
    uint32_t announcedFrames_ = 0;
    uint32_t nextSequence_ = 0;
};

bool Walker::Take(const Chunk& c) {
    if (!seenHeader_ && c.type != kIHDR) {
        return Fail("the first chunk is " + ChunkName(c.type) + ", not IHDR");
    }
    if (imageStarted_ && c.type != kIDAT) {
        imageEnded_ = true;
    }
    switch (c.type) {
        case kIHDR:
            return Header(c);
        case kPLTE:
            return Palette(c);
        case kTRNS:
            return Transparency(c);
        case kIDAT:
            return ImageData(c);
        case kIEND:
            ended_ = true;
            return true;
        case kACTL:
            return AnimationControl(c);
        case kFCTL:
            return png_.animated ? FrameControlChunk(c) : true;
        case kFDAT:
            return png_.animated ? FrameData(c) : true;
        default:
            if (IsCritical(c.type)) {
                return Fail("unknown critical chunk " + ChunkName(c.type));
            }
            return true;  // ancillary chunks we do not use
    }
}

bool Walker::Header(const Chunk& c) {
    if (seenHeader_) {
        return Fail("a second IHDR chunk");
    }
    if (c.length != 13) {
        return Fail("IHDR of " + std::to_string(c.length) + " bytes instead of 13");
    }
    seenHeader_ = true;
    ImageHeader& h = png_.header;
    h.width = ReadU32be(c.data);
    h.height = ReadU32be(c.data + 4);
    h.depth = c.data[8];
    h.colourType = c.data[9];
    if (h.width == 0 || h.height == 0 || h.width > kMaxDimension || h.height > kMaxDimension) {
        return Fail("invalid image size " + std::to_string(h.width) + " x " +
                    std::to_string(h.height));
    }
    if (!DepthAllowed(h.colourType, h.depth)) {
        return Fail("colour type " + std::to_string(h.colourType) + " with " +
                    std::to_string(h.depth) + "-bit samples is not a PNG format");
    }
    if (c.data[10] != 0 || c.data[11] != 0 || c.data[12] > 1) {
        return Fail("unknown compression, filter or interlace method");
    }
    h.interlaced = c.data[12] == 1;
    return true;
}

bool Walker::Palette(const Chunk& c) {
    if (imageStarted_ || !png_.palette.empty()) {
        return Fail("a PLTE chunk after the image data or a second one");
    }
    if (c.length % 3 != 0 || c.length == 0 || c.length > 3 * 256) {
        return Fail("PLTE of " + std::to_string(c.length) + " bytes");
    }
    for (uint32_t i = 0; i < c.length; i += 3) {
        png_.palette.push_back(MakeRgba(c.data[i], c.data[i + 1], c.data[i + 2], 255));
    }
    return true;
}

bool Walker::Transparency(const Chunk& c) {
    const uint8_t type = png_.header.colourType;
    if (type == kIndexed) {
        if (c.length > png_.palette.size()) {
            return Fail("tRNS of " + std::to_string(c.length) + " entries for a palette of " +
                        std::to_string(png_.palette.size()));
        }
        for (uint32_t i = 0; i < c.length; ++i) {
            png_.palette[i] = (png_.palette[i] & 0x00FFFFFFu) | uint32_t(c.data[i]) << 24;
        }
    } else if ((type == kGrey && c.length == 2) || (type == kTruecolour && c.length == 6)) {
        png_.hasKey = true;
        for (uint32_t i = 0; i < c.length / 2; ++i) {
            png_.key[i] = ReadU16be(c.data + 2 * i);
        }
    } else if (type == kGrey || type == kTruecolour) {
        return Fail("tRNS of " + std::to_string(c.length) + " bytes");
    }
    return true;  // images with an alpha channel have no use for tRNS
}

bool Walker::AnimationControl(const Chunk& c) {
    if (imageStarted_ || png_.animated) {
        return Fail("an acTL chunk after the image data or a second one");
    }
    if (c.length != 8) {
        return Fail("acTL of " + std::to_string(c.length) + " bytes instead of 8");
    }
    announcedFrames_ = ReadU32be(c.data);
    png_.plays = ReadU32be(c.data + 4);
    if (announcedFrames_ == 0) {
        return Fail("acTL announces no frames");
    }
    png_.animated = true;
    return true;
}

bool Walker::Sequence(uint32_t number, uint32_t type) {
    if (number != nextSequence_) {
        return Fail(ChunkName(type) + " sequence number " + std::to_string(number) +
                    " out of order (expected " + std::to_string(nextSequence_) + ")");
    }
    ++nextSequence_;
    return true;
}

bool Walker::FrameControlChunk(const Chunk& c) {
    if (c.length != 26) {
        return Fail("fcTL of " + std::to_string(c.length) + " bytes instead of 26");
    }
    if (!Sequence(ReadU32be(c.data), c.type)) {
        return false;
    }
    FrameControl f;
    f.width = ReadU32be(c.data + 4);
    f.height = ReadU32be(c.data + 8);
    f.x = ReadU32be(c.data + 12);
    f.y = ReadU32be(c.data + 16);
    f.delayNum = ReadU16be(c.data + 20);
    f.delayDen = ReadU16be(c.data + 22);
    f.dispose = c.data[24];
    f.blend = c.data[25];
    const std::string name = "frame " + std::to_string(png_.frames.size());
    const ImageHeader& h = png_.header;
    if (f.width == 0 || f.height == 0 || uint64_t(f.x) + f.width > h.width ||
        uint64_t(f.y) + f.height > h.height) {
        return Fail(name + " (" + std::to_string(f.width) + " x " + std::to_string(f.height) +
                    " at " + std::to_string(f.x) + ", " + std::to_string(f.y) +
                    ") lies outside the " + std::to_string(h.width) + " x " +
                    std::to_string(h.height) + " canvas");
    }
    if (f.dispose > kDisposePrevious || f.blend > kBlendOver) {
        return Fail(name + " has an unknown dispose or blend operation");
    }
    if (!imageStarted_) {
        if (!png_.frames.empty() || f.x != 0 || f.y != 0 || f.width != h.width ||
            f.height != h.height) {
            return Fail("the frame of the default image does not cover the canvas");
        }
        defaultIsFrame_ = true;
    }
    if (png_.frames.size() >= announcedFrames_) {
        return Fail("more frames than the " + std::to_string(announcedFrames_) +
                    " that acTL announces");
    }
    png_.frames.push_back(AnimationFrame{f, {}});
    return true;
}

bool Walker::ImageData(const Chunk& c) {
    if (imageEnded_) {
        return Fail("IDAT chunks that do not follow one another");
    }
    imageStarted_ = true;
    png_.image.push_back(DataPiece{c.data, c.length});
    return true;
}

bool Walker::FrameData(const Chunk& c) {
    if (c.length < 4) {
        return Fail("fdAT of " + std::to_string(c.length) + " bytes");
    }
    if (!Sequence(ReadU32be(c.data), c.type)) {
        return false;
    }
    const bool defaultFrame = defaultIsFrame_ && png_.frames.size() == 1;
    if (png_.frames.empty() || !imageStarted_ || defaultFrame) {
        return Fail("an fdAT chunk without its fcTL");
    }
    png_.frames.back().pieces.push_back(DataPiece{c.data + 4, c.length - 4});
    return true;
}

bool Walker::Finish() {
    if (!seenHeader_) {
        return Fail("no IHDR chunk");
    }
    if (png_.image.empty()) {
        return Fail("no image data (IDAT)");
    }
    if (png_.header.colourType == kIndexed && png_.palette.empty()) {
        return Fail("a palette image without a PLTE chunk");
    }
    if (!png_.animated) {
        return true;
    }
    if (png_.frames.size() != announcedFrames_) {
        return Fail("acTL announces " + std::to_string(announcedFrames_) +
                    " frames; the file holds " + std::to_string(png_.frames.size()));
    }
    if (defaultIsFrame_) {
        png_.frames[0].pieces = png_.image;
    }
    for (size_t k = 0; k < png_.frames.size(); ++k) {
        if (png_.frames[k].pieces.empty()) {
            return Fail("frame " + std::to_string(k) + " has no image data");
        }
    }
    return true;
}

}  // namespace

bool ParsePng(const uint8_t* data, size_t size, PngFile& png, std::string& reason) {
    ChunkReader reader(data, size);
    if (!reader.HasSignature()) {
        reason = "not a PNG file";
        return false;
    }
    png = PngFile{};
    Walker walker(png);
    Chunk chunk;
    try {
        while (!walker.Ended() && reader.Next(chunk)) {
            if (!walker.Take(chunk)) {
                reason = walker.Reason();
                return false;
            }
        }
        if (!reader.Problem().empty()) {
            reason = reader.Problem();
            return false;
        }
        if (!walker.Finish()) {
            reason = walker.Reason();
            return false;
        }
    } catch (const std::bad_alloc&) {
        reason = "out of memory";
        return false;
    }
    return true;
}

namespace {

// Where the pixels of one pass lie: the first column and row, and the steps between them.
struct Pass {
    uint32_t x0, y0, dx, dy;
};
constexpr Pass kAdam7[7] = {{0, 0, 8, 8}, {4, 0, 8, 8}, {0, 4, 4, 8}, {2, 0, 4, 4},
                            {0, 2, 2, 4}, {1, 0, 2, 2}, {0, 1, 1, 2}};
constexpr Pass kWhole[1] = {{0, 0, 1, 1}};

uint32_t PassExtent(uint32_t size, uint32_t start, uint32_t step) {
    return size > start ? (size - start + step - 1) / step : 0;
}

uint32_t BitsPerPixel(const ImageHeader& h) {
    return Channels(h.colourType) * h.depth;
}

uint64_t RowBytes(const ImageHeader& h, uint32_t pixels) {
    return (uint64_t(pixels) * BitsPerPixel(h) + 7) / 8;
}

std::vector<Pass> PassesOf(const ImageHeader& h) {
    return h.interlaced ? std::vector<Pass>(std::begin(kAdam7), std::end(kAdam7))
                        : std::vector<Pass>(std::begin(kWhole), std::end(kWhole));
}

uint32_t Sample(const uint8_t* row, size_t index, uint8_t depth) {
    if (depth == 16) {
        return uint32_t(row[2 * index]) << 8 | row[2 * index + 1];
    }
    if (depth == 8) {
        return row[index];
    }
    const size_t bit = index * depth;
    return (uint32_t(row[bit / 8]) >> (8 - depth - bit % 8)) & ((1u << depth) - 1);
}

uint8_t To8Bits(uint32_t sample, uint8_t depth) {
    if (depth == 16) {
        return Reduce16(sample);
    }
    // 1, 2 and 4 bits scale to the full range: 1 -> 255, 3 -> 255, 15 -> 255.
    return uint8_t(sample * 255 / ((1u << depth) - 1));
}

// One pixel of an unfiltered row as RGBA; a palette index beyond the palette sets bad.
class PixelConverter {
public:
    explicit PixelConverter(const PngFile& png) : png_(png), h_(png.header) {}

    Rgba operator()(const uint8_t* row, uint32_t x) {
        const uint8_t d = h_.depth;
        switch (h_.colourType) {
            case kGrey: {
                const uint32_t g = Sample(row, x, d);
                const uint8_t v = To8Bits(g, d);
                return MakeRgba(v, v, v, png_.hasKey && g == png_.key[0] ? 0 : 255);
            }
            case kTruecolour: {
                const uint32_t r = Sample(row, 3 * size_t(x), d);
                const uint32_t g = Sample(row, 3 * size_t(x) + 1, d);
                const uint32_t b = Sample(row, 3 * size_t(x) + 2, d);
                const bool key =
                    png_.hasKey && r == png_.key[0] && g == png_.key[1] && b == png_.key[2];
                return MakeRgba(To8Bits(r, d), To8Bits(g, d), To8Bits(b, d), key ? 0 : 255);
            }
            case kIndexed:
                return Indexed(Sample(row, x, d));
            case kGreyAlpha: {
                const uint8_t v = To8Bits(Sample(row, 2 * size_t(x), d), d);
                return MakeRgba(v, v, v, To8Bits(Sample(row, 2 * size_t(x) + 1, d), d));
            }
            default: {
                const size_t i = 4 * size_t(x);
                return MakeRgba(To8Bits(Sample(row, i, d), d), To8Bits(Sample(row, i + 1, d), d),
                                To8Bits(Sample(row, i + 2, d), d),
                                To8Bits(Sample(row, i + 3, d), d));
            }
        }
    }
    uint32_t BadIndex() const { return badIndex_; }
    bool Bad() const { return bad_; }

private:
    Rgba Indexed(uint32_t index) {
        if (index < png_.palette.size()) {
            return png_.palette[index];
        }
        bad_ = true;
        badIndex_ = index;
        return 0;
    }

    const PngFile& png_;
    const ImageHeader& h_;
    bool bad_ = false;
    uint32_t badIndex_ = 0;
};

// Unfilters the rows of one pass in place and places its pixels; false on a bad filter type.
bool DecodePass(const PngFile& png, const Pass& pass, uint32_t width, uint32_t height,
                uint8_t*& raw, PixelConverter& convert, std::vector<Rgba>& pixels) {
    const uint32_t pw = PassExtent(width, pass.x0, pass.dx);
    const uint32_t ph = PassExtent(height, pass.y0, pass.dy);
    if (pw == 0 || ph == 0) {
        return true;
    }
    const size_t rowBytes = size_t(RowBytes(png.header, pw));
    const size_t bpp = std::max<size_t>(1, BitsPerPixel(png.header) / 8);
    const uint8_t* prior = nullptr;
    for (uint32_t j = 0; j < ph; ++j) {
        uint8_t* row = raw + 1;
        if (!UnfilterRow(raw[0], row, prior, rowBytes, bpp)) {
            return false;
        }
        Rgba* out = pixels.data() + size_t(pass.y0 + j * pass.dy) * width;
        for (uint32_t i = 0; i < pw; ++i) {
            out[pass.x0 + i * pass.dx] = convert(row, i);
        }
        prior = row;
        raw += rowBytes + 1;
    }
    return true;
}

}  // namespace

uint64_t FilteredImageBytes(const ImageHeader& header, uint32_t width, uint32_t height,
                            uint64_t maxBytes) {
    uint64_t total = 0;
    for (const Pass& pass : PassesOf(header)) {
        const uint32_t pw = PassExtent(width, pass.x0, pass.dx);
        const uint32_t ph = PassExtent(height, pass.y0, pass.dy);
        if (pw == 0 || ph == 0) {
            continue;
        }
        // Row bytes are at most 2^31 x 8 + 1 and rows at most 2^31: no overflow in 64 bits
        // before the comparison.
        const uint64_t passBytes = (RowBytes(header, pw) + 1) * ph;
        if (passBytes > maxBytes || total > maxBytes - passBytes) {
            return 0;
        }
        total += passBytes;
    }
    return total;
}

bool DecodeImage(const PngFile& png, const std::vector<DataPiece>& pieces, uint32_t width,
                 uint32_t height, std::vector<Rgba>& pixels, std::string& reason) {
    const uint64_t rawBytes = FilteredImageBytes(png.header, width, height, kMaxBufferBytes);
    if (rawBytes == 0 || uint64_t(width) * height > kMaxBufferBytes / sizeof(Rgba)) {
        reason = "an image of " + std::to_string(width) + " x " + std::to_string(height) +
                 " pixels is too large to decode";
        return false;
    }
    try {
        std::vector<uint8_t> raw(static_cast<size_t>(rawBytes));
        BoundedInflater inflater(raw);
        for (const DataPiece& piece : pieces) {
            if (!inflater.Feed(piece.data, piece.length)) {
                break;
            }
        }
        if (!inflater.Finish()) {
            reason = inflater.Problem();
            return false;
        }
        pixels.assign(size_t(width) * height, 0);
        PixelConverter convert(png);
        uint8_t* at = raw.data();
        for (const Pass& pass : PassesOf(png.header)) {
            if (!DecodePass(png, pass, width, height, at, convert, pixels)) {
                reason = "unknown row filter type";
                return false;
            }
        }
        if (convert.Bad()) {
            reason = "palette index " + std::to_string(convert.BadIndex()) + " beyond the " +
                     std::to_string(png.palette.size()) + " entries of the palette";
            return false;
        }
    } catch (const std::bad_alloc&) {
        reason = "out of memory for the image";
        return false;
    }
    return true;
}

}  // namespace kx::png
