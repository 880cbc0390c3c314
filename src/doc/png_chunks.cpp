#include "doc/png_chunks.h"

#include <zlib.h>

#include <cstdlib>
#include <cstring>
#include <new>

namespace kx::png {

std::string ChunkName(uint32_t type) {
    std::string name;
    for (int shift = 24; shift >= 0; shift -= 8) {
        const char c = static_cast<char>((type >> shift) & 0xFF);
        name += (c >= 0x20 && c < 0x7F) ? c : '?';
    }
    return name;
}

uint32_t ReadU32be(const uint8_t* p) {
    return uint32_t(p[0]) << 24 | uint32_t(p[1]) << 16 | uint32_t(p[2]) << 8 | p[3];
}

uint16_t ReadU16be(const uint8_t* p) {
    return static_cast<uint16_t>(p[0] << 8 | p[1]);
}

void PutU32be(std::vector<uint8_t>& out, uint32_t v) {
    const uint8_t bytes[4] = {uint8_t(v >> 24), uint8_t(v >> 16), uint8_t(v >> 8), uint8_t(v)};
    out.insert(out.end(), bytes, bytes + 4);
}

void PutU16be(std::vector<uint8_t>& out, uint16_t v) {
    out.push_back(uint8_t(v >> 8));
    out.push_back(uint8_t(v));
}

namespace {

// CRC-32 of the type field and the data, as the chunk's last four bytes hold it.
uint32_t ChunkCrc(const uint8_t* typeAndData, size_t size) {
    uLong crc = crc32(0L, Z_NULL, 0);
    // zlib takes 32-bit lengths; a chunk's data is at most 2^31 - 1 bytes.
    crc = crc32(crc, typeAndData, static_cast<uInt>(size));
    return static_cast<uint32_t>(crc);
}

}  // namespace

ChunkReader::ChunkReader(const uint8_t* data, size_t size) : data_(data), size_(data ? size : 0) {}

bool ChunkReader::HasSignature() const {
    return size_ >= sizeof kSignature && std::memcmp(data_, kSignature, sizeof kSignature) == 0;
}

bool ChunkReader::Next(Chunk& chunk) {
    if (!problem_.empty() || position_ >= size_) {
        return false;
    }
    const size_t left = size_ - position_;
    if (left < 12) {
        problem_ = "the file ends inside a chunk header";
        return false;
    }
    const uint8_t* p = data_ + position_;
    const uint32_t length = ReadU32be(p);
    const uint32_t type = ReadU32be(p + 4);
    if (length > kMaxChunkLength) {
        problem_ = "chunk " + ChunkName(type) + " claims " + std::to_string(length) + " bytes";
        return false;
    }
    if (uint64_t(length) + 12 > left) {
        problem_ = "chunk " + ChunkName(type) + " of " + std::to_string(length) +
                   " bytes runs past the end of the file";
        return false;
    }
    const uint32_t stored = ReadU32be(p + 8 + length);
    if (ChunkCrc(p + 4, size_t(length) + 4) != stored) {
        problem_ = "chunk " + ChunkName(type) + " at byte " + std::to_string(position_) +
                   " has a wrong CRC (damaged file)";
        return false;
    }
    chunk.type = type;
    chunk.data = p + 8;
    chunk.length = length;
    position_ += size_t(length) + 12;
    return true;
}

void AppendChunk(std::vector<uint8_t>& out, uint32_t type, const uint8_t* data, size_t size) {
    PutU32be(out, static_cast<uint32_t>(size));  // length of the data
    const size_t typeAt = out.size();
    PutU32be(out, type);  // chunk type
    if (size != 0) {
        out.insert(out.end(), data, data + size);  // data
    }
    PutU32be(out, ChunkCrc(out.data() + typeAt, size + 4));  // CRC of type and data
}

void AppendChunk(std::vector<uint8_t>& out, uint32_t type, const std::vector<uint8_t>& data) {
    AppendChunk(out, type, data.data(), data.size());
}

bool Deflate(const std::vector<uint8_t>& data, int strategy, std::vector<uint8_t>& out) {
    z_stream z{};
    if (deflateInit2(&z, Z_BEST_COMPRESSION, Z_DEFLATED, 15, 9, strategy) != Z_OK) {
        return false;
    }
    bool ok = true;
    try {
        out.resize(deflateBound(&z, static_cast<uLong>(data.size())));
    } catch (const std::bad_alloc&) {
        ok = false;
    }
    if (ok) {
        z.next_in = const_cast<Bytef*>(data.data());
        z.avail_in = static_cast<uInt>(data.size());
        z.next_out = out.data();
        z.avail_out = static_cast<uInt>(out.size());
        ok = deflate(&z, Z_FINISH) == Z_STREAM_END;
        out.resize(z.total_out);
    }
    deflateEnd(&z);
    return ok;
}

struct BoundedInflater::State {
    z_stream z{};
};

BoundedInflater::BoundedInflater(std::vector<uint8_t>& out) : state_(new State), out_(out) {
    if (inflateInit(&state_->z) != Z_OK) {
        problem_ = "out of memory for inflating";
        return;
    }
    state_->z.next_out = out_.data();
    state_->z.avail_out = static_cast<uInt>(out_.size());
}

BoundedInflater::~BoundedInflater() {
    inflateEnd(&state_->z);
    delete state_;
}

bool BoundedInflater::Feed(const uint8_t* data, size_t size) {
    if (!problem_.empty()) {
        return false;
    }
    z_stream& z = state_->z;
    z.next_in = const_cast<Bytef*>(data);
    z.avail_in = static_cast<uInt>(size);
    while (z.avail_in > 0 && !ended_) {
        const int result = inflate(&z, Z_NO_FLUSH);
        if (result == Z_STREAM_END) {
            ended_ = true;
        } else if (result == Z_BUF_ERROR && z.avail_out == 0) {
            problem_ = "the compressed image data inflates beyond the image's " +
                       std::to_string(out_.size()) + " bytes";
            return false;
        } else if (result != Z_OK) {
            problem_ = "damaged compressed image data";
            return false;
        }
    }
    return true;
}

bool BoundedInflater::Finish() {
    if (!problem_.empty()) {
        return false;
    }
    if (state_->z.avail_out != 0) {
        problem_ = "the image data ends early: " + std::to_string(state_->z.total_out) + " of " +
                   std::to_string(out_.size()) + " bytes";
        return false;
    }
    return true;
}

namespace {

uint8_t Paeth(int a, int b, int c) {
    const int p = a + b - c;
    const int pa = std::abs(p - a);
    const int pb = std::abs(p - b);
    const int pc = std::abs(p - c);
    if (pa <= pb && pa <= pc) {
        return uint8_t(a);
    }
    return uint8_t(pb <= pc ? b : c);
}

// The predictor of byte i from its left, upper and upper-left neighbours (0 outside the row).
uint8_t Predict(uint8_t type, const uint8_t* row, const uint8_t* prior, size_t i, size_t bpp) {
    const int a = i >= bpp ? row[i - bpp] : 0;
    const int b = prior != nullptr ? prior[i] : 0;
    const int c = prior != nullptr && i >= bpp ? prior[i - bpp] : 0;
    switch (type) {
        case 1:
            return uint8_t(a);
        case 2:
            return uint8_t(b);
        case 3:
            return uint8_t((a + b) / 2);
        case 4:
            return Paeth(a, b, c);
        default:
            return 0;
    }
}

}  // namespace

bool UnfilterRow(uint8_t type, uint8_t* row, const uint8_t* prior, size_t length, size_t bpp) {
    if (type > 4) {
        return false;
    }
    if (type == 0) {
        return true;
    }
    // Left to right: each byte's predictor uses bytes already restored.
    for (size_t i = 0; i < length; ++i) {
        row[i] = uint8_t(row[i] + Predict(type, row, prior, i, bpp));
    }
    return true;
}

void FilterRow(uint8_t type, const uint8_t* row, const uint8_t* prior, size_t length, size_t bpp,
               uint8_t* out) {
    for (size_t i = 0; i < length; ++i) {
        out[i] = uint8_t(row[i] - Predict(type, row, prior, i, bpp));
    }
}

}  // namespace kx::png
