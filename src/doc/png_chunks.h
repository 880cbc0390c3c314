// PNG's container: the 8-byte signature, then chunks of a 4-byte big-endian length, a 4-byte
// type, the data and a CRC-32 of type and data. Also the deflate and inflate steps of the image
// data (zlib) and the row filters, shared by the PNG reader and the APNG writer.
//
// ChunkReader walks chunks inside a buffer without ever reading past it: a chunk whose length
// runs beyond the buffer, or whose CRC does not match, stops the walk with a reason.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace kx::png {

constexpr uint8_t kSignature[8] = {0x89, 'P', 'N', 'G', 0x0D, 0x0A, 0x1A, 0x0A};

// A chunk type as its big-endian 32-bit value, as it appears in the file.
constexpr uint32_t ChunkType(const char (&s)[5]) {
    return uint32_t(uint8_t(s[0])) << 24 | uint32_t(uint8_t(s[1])) << 16 |
           uint32_t(uint8_t(s[2])) << 8 | uint32_t(uint8_t(s[3]));
}
constexpr uint32_t kIHDR = ChunkType("IHDR");
constexpr uint32_t kPLTE = ChunkType("PLTE");
constexpr uint32_t kTRNS = ChunkType("tRNS");
constexpr uint32_t kIDAT = ChunkType("IDAT");
constexpr uint32_t kIEND = ChunkType("IEND");
constexpr uint32_t kACTL = ChunkType("acTL");
constexpr uint32_t kFCTL = ChunkType("fcTL");
constexpr uint32_t kFDAT = ChunkType("fdAT");

// fcTL's dispose_op: what becomes of the frame's region before the next frame is drawn.
enum DisposeOp : uint8_t { kDisposeNone = 0, kDisposeBackground = 1, kDisposePrevious = 2 };
// fcTL's blend_op: whether the frame replaces its region or is laid over it by alpha.
enum BlendOp : uint8_t { kBlendSource = 0, kBlendOver = 1 };

// Chunk lengths are at most 2^31 - 1.
constexpr uint32_t kMaxChunkLength = 0x7FFFFFFFu;

// A chunk type's four letters, for reasons.
std::string ChunkName(uint32_t type);
// Bit 5 of the first letter: a reader may skip an ancillary chunk it does not know.
constexpr bool IsCritical(uint32_t type) {
    return (type & 0x20000000u) == 0;
}

uint32_t ReadU32be(const uint8_t* p);
uint16_t ReadU16be(const uint8_t* p);
void PutU32be(std::vector<uint8_t>& out, uint32_t v);
void PutU16be(std::vector<uint8_t>& out, uint16_t v);

struct Chunk {
    uint32_t type = 0;
    const uint8_t* data = nullptr;
    uint32_t length = 0;
};

class ChunkReader {
public:
    // data is the whole file, signature included.
    ChunkReader(const uint8_t* data, size_t size);

    bool HasSignature() const;
    // The next chunk, its CRC checked; false at the end of the buffer or when the chunk is
    // damaged (then Problem() says how).
    bool Next(Chunk& chunk);
    const std::string& Problem() const { return problem_; }

private:
    const uint8_t* data_;
    size_t size_;
    size_t position_ = sizeof kSignature;
    std::string problem_;
};

// Appends one chunk (length, type, data, CRC) to out.
void AppendChunk(std::vector<uint8_t>& out, uint32_t type, const uint8_t* data, size_t size);
void AppendChunk(std::vector<uint8_t>& out, uint32_t type, const std::vector<uint8_t>& data);

// Deflates data into a zlib stream at the strongest level with the given zlib strategy; false
// when memory runs out.
bool Deflate(const std::vector<uint8_t>& data, int strategy, std::vector<uint8_t>& out);

// Inflates one zlib stream given in pieces (the image data chunks of one frame) into exactly
// out.size() bytes. Output beyond that size is refused instead of written: a small file that
// inflates into more than its image is stopped there.
class BoundedInflater {
public:
    explicit BoundedInflater(std::vector<uint8_t>& out);
    ~BoundedInflater();
    BoundedInflater(const BoundedInflater&) = delete;
    BoundedInflater& operator=(const BoundedInflater&) = delete;

    // Feeds one piece; false with a reason on damaged data or output beyond the image.
    bool Feed(const uint8_t* data, size_t size);
    // True when the image was filled completely; otherwise a reason.
    bool Finish();
    const std::string& Problem() const { return problem_; }

private:
    struct State;
    State* state_;
    std::vector<uint8_t>& out_;
    bool ended_ = false;
    std::string problem_;
};

// Row filters (filter method 0). bpp is the bytes of one pixel, at least 1; prior is the
// previous unfiltered row of the same pass, or nullptr for the first row.
// Undoes filter type `type` on row in place; false for a type above 4.
bool UnfilterRow(uint8_t type, uint8_t* row, const uint8_t* prior, size_t length, size_t bpp);
// Writes filter type `type` of row to out (length bytes, without the type byte).
void FilterRow(uint8_t type, const uint8_t* row, const uint8_t* prior, size_t length, size_t bpp,
               uint8_t* out);

}  // namespace kx::png
