// Bounded little-endian reading and writing of byte buffers.
//
// ByteReader never reads outside its buffer: a read that does not fit sets a sticky failure flag,
// consumes nothing and returns 0 (bytes() zero-fills its destination); every later read fails the
// same way, so a parser can read a whole record and test ok() once at the end.
//
// ByteWriter appends to a caller's vector. An allocation failure sets its sticky failure flag
// instead of throwing; later writes are ignored.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

namespace kx {

class ByteReader {
public:
    ByteReader(const uint8_t* data, size_t size) : data_(data), size_(data ? size : 0) {}

    uint8_t u8();
    uint16_t u16le();
    uint32_t u32le();
    int16_t i16le() { return static_cast<int16_t>(u16le()); }
    int32_t i32le() { return static_cast<int32_t>(u32le()); }
    // Copies n bytes to dst; false (dst zero-filled) when fewer than n remain or after a failure.
    bool bytes(void* dst, size_t n);
    // Moves forward by n bytes; false when fewer than n remain or after a failure.
    bool skip(size_t n);

    size_t remaining() const { return ok_ ? size_ - position_ : 0; }
    size_t position() const { return position_; }
    bool ok() const { return ok_; }

private:
    // True when n more bytes can be read; otherwise marks the reader failed.
    bool Take(size_t n);

    const uint8_t* data_;
    size_t size_;
    size_t position_ = 0;
    bool ok_ = true;
};

class ByteWriter {
public:
    explicit ByteWriter(std::vector<uint8_t>& out) : out_(out) {}

    void u8(uint8_t v);
    void u16le(uint16_t v);
    void u32le(uint32_t v);
    void i16le(int16_t v) { u16le(static_cast<uint16_t>(v)); }
    void i32le(int32_t v) { u32le(static_cast<uint32_t>(v)); }
    void bytes(const void* src, size_t n);

    // Bytes in the vector, including any it held before this writer was made.
    size_t size() const { return out_.size(); }
    bool ok() const { return ok_; }

private:
    std::vector<uint8_t>& out_;
    bool ok_ = true;
};

}  // namespace kx
