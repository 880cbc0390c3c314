// AVI files built by hand for the reader tests: every chunk written field by field, so a test can
// put any chunk anywhere (JUNK at every level, lists inside "movi", odd sizes, wrong sizes).
#pragma once

#include <cstdint>
#include <initializer_list>
#include <vector>

#include "doc/animation_document.h"
#include "doc/byte_io.h"

namespace kx::test {

using Bytes = std::vector<uint8_t>;

inline void Append(Bytes& out, const Bytes& more) {
    out.insert(out.end(), more.begin(), more.end());
}

// A chunk: id, size, body and, when pad is set and the size is odd, one zero pad byte.
inline Bytes Chunk(uint32_t id, const Bytes& body, bool pad = true) {
    Bytes out;
    ByteWriter w(out);
    w.u32le(id);
    w.u32le(static_cast<uint32_t>(body.size()));
    w.bytes(body.data(), body.size());
    if (pad && body.size() % 2 != 0) {
        w.u8(0);
    }
    return out;
}

inline Bytes Concat(std::initializer_list<Bytes> parts) {
    Bytes out;
    for (const Bytes& part : parts) {
        Append(out, part);
    }
    return out;
}

inline Bytes List(uint32_t type, std::initializer_list<Bytes> members) {
    Bytes body;
    ByteWriter w(body);
    w.u32le(type);
    for (const Bytes& member : members) {
        Append(body, member);
    }
    return Chunk(fourcc::kList, body, false);
}

inline Bytes Riff(std::initializer_list<Bytes> members) {
    Bytes body;
    ByteWriter w(body);
    w.u32le(fourcc::kAvi);
    for (const Bytes& member : members) {
        Append(body, member);
    }
    return Chunk(fourcc::kRiff, body, false);
}

inline Bytes Junk(uint32_t size) {
    return Chunk(MakeFourCC("JUNK"), Bytes(size, 0xEE));
}

// The description of a simple movie; the pieces below turn it into chunks.
struct AviParts {
    int32_t width = 5;
    int32_t height = 3;
    uint16_t bits = 8;
    uint32_t compression = 0;
    uint32_t infoSize = 40;    // biSize; bytes beyond 40 are written as filler before the palette
    uint32_t totalFrames = 0;  // 0 = the number of frames given
    uint32_t initialFrames = 0;
    uint32_t microSecPerFrame = 40000;
    uint32_t scale = 40;
    uint32_t rate = 1000;
    int32_t xPelsPerMeter = 2835;
    std::vector<RgbQuad> palette = {{0, 0, 0, 0}, {255, 0, 255, 0}, {16, 32, 48, 0}, {1, 2, 3, 0}};
    std::vector<Bytes> frames;  // chunk data in file order
    uint32_t frameId = fourcc::k00dc;

    uint32_t Total() const {
        return totalFrames != 0 ? totalFrames : static_cast<uint32_t>(frames.size());
    }
};

inline Bytes Avih(const AviParts& p, uint32_t size = 56) {
    Bytes body;
    ByteWriter w(body);
    w.u32le(p.microSecPerFrame);  // microseconds per frame
    w.u32le(12345);               // max bytes per second
    w.u32le(0);                   // padding granularity
    w.u32le(0x10);                // flags: has an index
    w.u32le(p.Total());           // total frames
    w.u32le(p.initialFrames);     // initial frames
    w.u32le(1);                   // streams
    w.u32le(0);                   // suggested buffer size
    w.u32le(uint32_t(p.width));   // width
    w.u32le(uint32_t(p.height < 0 ? -p.height : p.height));
    for (int r = 0; r < 4; ++r) {
        w.u32le(0);  // reserved
    }
    body.resize(size, 0);
    return Chunk(fourcc::kAvih, body);
}

inline Bytes Strh(const AviParts& p, uint32_t type = fourcc::kVids) {
    Bytes body;
    ByteWriter w(body);
    w.u32le(type);                // fccType
    w.u32le(MakeFourCC("abcd"));  // fccHandler
    w.u32le(0);                   // flags
    w.u16le(0);                   // priority
    w.u16le(0);                   // language
    w.u32le(p.initialFrames);     // initial frames
    w.u32le(p.scale);             // scale
    w.u32le(p.rate);              // rate
    w.u32le(0);                   // start
    w.u32le(p.Total());           // length
    w.u32le(0);                   // suggested buffer size
    w.u32le(10000);               // quality
    w.u32le(0);                   // sample size
    for (int i = 0; i < 4; ++i) {
        w.u16le(0);  // frame rectangle
    }
    return Chunk(fourcc::kStrh, body);
}

inline Bytes Strf(const AviParts& p) {
    Bytes body;
    ByteWriter w(body);
    w.u32le(p.infoSize);     // biSize
    w.i32le(p.width);        // biWidth
    w.i32le(p.height);       // biHeight
    w.u16le(1);              // biPlanes
    w.u16le(p.bits);         // biBitCount
    w.u32le(p.compression);  // biCompression
    w.u32le(0);              // biSizeImage
    w.i32le(p.xPelsPerMeter);
    w.i32le(p.xPelsPerMeter);
    w.u32le(static_cast<uint32_t>(p.palette.size()));  // biClrUsed
    w.u32le(0);                                        // biClrImportant
    for (uint32_t i = 40; i < p.infoSize; ++i) {
        w.u8(0xAB);  // the rest of a larger info header
    }
    for (const RgbQuad& q : p.palette) {
        w.u8(q.blue);
        w.u8(q.green);
        w.u8(q.red);
        w.u8(q.reserved);
    }
    return Chunk(fourcc::kStrf, body);
}

inline Bytes Strl(const AviParts& p) {
    return List(fourcc::kStrl, {Strh(p), Strf(p)});
}

inline Bytes Hdrl(const AviParts& p) {
    return List(fourcc::kHdrl, {Avih(p), Strl(p)});
}

// Frame chunks as the movie's own writer puts them: no pad byte after an odd size.
inline Bytes FrameChunks(const AviParts& p, bool pad = false) {
    Bytes out;
    for (const Bytes& frame : p.frames) {
        Append(out, Chunk(p.frameId, frame, pad));
    }
    return out;
}

inline Bytes Movi(const AviParts& p, bool pad = false) {
    return List(fourcc::kMovi, {FrameChunks(p, pad)});
}

struct IndexRow {
    uint32_t id = fourcc::k00dc;
    uint32_t flags = 0x10;
    uint32_t offset = 0;
    uint32_t size = 0;
};

inline Bytes Idx1(const std::vector<IndexRow>& rows) {
    Bytes body;
    ByteWriter w(body);
    for (const IndexRow& row : rows) {
        w.u32le(row.id);
        w.u32le(row.flags);
        w.u32le(row.offset);
        w.u32le(row.size);
    }
    return Chunk(fourcc::kIdx1, body);
}

// One "00dc" index row per frame chunk, with running offsets.
inline Bytes Idx1For(const AviParts& p) {
    std::vector<IndexRow> rows;
    uint32_t offset = 4;
    for (const Bytes& frame : p.frames) {
        rows.push_back({p.frameId, 0x10, offset, static_cast<uint32_t>(frame.size())});
        offset += 8 + static_cast<uint32_t>(frame.size());
    }
    return Idx1(rows);
}

inline Bytes BuildAvi(const AviParts& p) {
    return Riff({Hdrl(p), Movi(p), Idx1For(p)});
}

// A plain 8-bit frame of the parts' size whose pixel at (x, row in memory) is seed + x + 7 * row
// (modulo the palette size); padding bytes are 0.
inline Bytes PlainFrame(const AviParts& p, int seed) {
    const uint32_t stride = Stride8(p.width);
    const uint32_t rows = static_cast<uint32_t>(p.height < 0 ? -p.height : p.height);
    Bytes frame(size_t(stride) * rows, 0);
    for (uint32_t y = 0; y < rows; ++y) {
        for (uint32_t x = 0; x < uint32_t(p.width); ++x) {
            frame[y * stride + x] = uint8_t((seed + x + 7 * y) % p.palette.size());
        }
    }
    return frame;
}

}  // namespace kx::test
