#include "doc/byte_io.h"

#include <cstring>
#include <new>
#include <stdexcept>

namespace kx {

bool ByteReader::Take(size_t n) {
    if (!ok_ || n > size_ - position_) {
        ok_ = false;
        return false;
    }
    return true;
}

uint8_t ByteReader::u8() {
    if (!Take(1)) {
        return 0;
    }
    return data_[position_++];
}

uint16_t ByteReader::u16le() {
    if (!Take(2)) {
        return 0;
    }
    const uint8_t* p = data_ + position_;
    position_ += 2;
    return static_cast<uint16_t>(p[0] | p[1] << 8);
}

uint32_t ByteReader::u32le() {
    if (!Take(4)) {
        return 0;
    }
    const uint8_t* p = data_ + position_;
    position_ += 4;
    return uint32_t(p[0]) | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16 | uint32_t(p[3]) << 24;
}

bool ByteReader::bytes(void* dst, size_t n) {
    if (!Take(n)) {
        if (dst != nullptr && n > 0) {
            std::memset(dst, 0, n);
        }
        return false;
    }
    if (n > 0) {
        std::memcpy(dst, data_ + position_, n);
    }
    position_ += n;
    return true;
}

bool ByteReader::skip(size_t n) {
    if (!Take(n)) {
        return false;
    }
    position_ += n;
    return true;
}

void ByteWriter::u8(uint8_t v) {
    bytes(&v, 1);
}

void ByteWriter::u16le(uint16_t v) {
    const uint8_t b[2] = {uint8_t(v), uint8_t(v >> 8)};
    bytes(b, 2);
}

void ByteWriter::u32le(uint32_t v) {
    const uint8_t b[4] = {uint8_t(v), uint8_t(v >> 8), uint8_t(v >> 16), uint8_t(v >> 24)};
    bytes(b, 4);
}

void ByteWriter::bytes(const void* src, size_t n) {
    if (!ok_ || n == 0) {
        return;
    }
    try {
        const auto* p = static_cast<const uint8_t*>(src);
        out_.insert(out_.end(), p, p + n);
    } catch (const std::bad_alloc&) {
        ok_ = false;
    } catch (const std::length_error&) {
        ok_ = false;
    }
}

}  // namespace kx
