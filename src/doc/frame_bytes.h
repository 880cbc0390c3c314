// The bytes of one frame.
//
// A frame usually holds a block of its own. The frames cut from a strip are runs of rows of the
// strip's block instead, which they keep alive together, so cutting a strip copies nothing. Each
// frame still has its bytes to itself: no two frames see the same bytes, a copy of a frame is a
// block of its own, and whatever changes a frame's size first gives it a block of its own.
// Writing through data() changes only the frame's own rows.
//
// The members follow std::vector's names, so the frames read like the vectors they were.
#pragma once

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <memory>
#include <utility>
#include <vector>

namespace kx {

// Eight bytes of pixels from p, in memory order: the scans that pass over repeated pixels
// compare them eight at a time.
inline uint64_t Load8(const uint8_t* p) {
    uint64_t v = 0;
    std::memcpy(&v, p, sizeof v);
    return v;
}

// Asks the system to back a large block about to be filled with large pages where it can, so
// that filling it takes a few hundred times fewer page faults; a hint only (file_io_posix.cpp,
// file_io_win.cpp).
void PreferLargePages(void* block, size_t n);

// A block of bytes frames can share: runs of it are the frames' bytes.
struct SharedBlock {
    std::shared_ptr<uint8_t[]> bytes;
    size_t size = 0;

    // A block of n bytes, not cleared: whoever makes it writes every byte before it is read.
    // Large pages back it where the system has them. May throw std::bad_alloc.
    static SharedBlock Uncleared(size_t n) {
        SharedBlock block{std::shared_ptr<uint8_t[]>(new uint8_t[n]), n};
        PreferLargePages(block.bytes.get(), n);
        return block;
    }
};

class FrameBytes {
public:
    using value_type = uint8_t;
    using iterator = uint8_t*;
    using const_iterator = const uint8_t*;

    FrameBytes() = default;
    FrameBytes(const FrameBytes& other) : own_(other.begin(), other.end()) {}
    FrameBytes& operator=(const FrameBytes& other) {
        if (this != &other) {
            assign(other.begin(), other.end());
        }
        return *this;
    }
    FrameBytes(FrameBytes&& other) noexcept { swap(other); }
    FrameBytes& operator=(FrameBytes&& other) noexcept {
        FrameBytes(std::move(other)).swap(*this);
        return *this;
    }
    explicit FrameBytes(std::vector<uint8_t>&& bytes) noexcept : own_(std::move(bytes)) {}
    FrameBytes& operator=(std::vector<uint8_t>&& bytes) noexcept {
        FrameBytes(std::move(bytes)).swap(*this);
        return *this;
    }
    FrameBytes& operator=(const std::vector<uint8_t>& bytes) {
        assign(bytes.begin(), bytes.end());
        return *this;
    }

    // The n bytes at offset of a block other frames may view too (their runs must not overlap).
    static FrameBytes View(SharedBlock block, size_t offset, size_t n) {
        FrameBytes bytes;
        bytes.shared_ = std::move(block);
        bytes.offset_ = offset;
        bytes.size_ = n;
        return bytes;
    }
    // The bytes as a vector of their own.
    std::vector<uint8_t> Copy() const { return {begin(), end()}; }
    // True while the bytes are a run of a shared block.
    bool IsView() const { return shared_.bytes != nullptr; }
    // Hands the bytes over as a block frames can share, leaving this empty. Copies only a run
    // of a larger block. May throw std::bad_alloc.
    SharedBlock Release() {
        if (IsView() && (offset_ != 0 || size_ != shared_.size)) {
            Own();
        }
        SharedBlock block;
        if (IsView()) {
            block = std::move(shared_);
        } else {
            // The block keeps the vector alive: its bytes stay where they are.
            const size_t n = own_.size();
            auto holder = std::make_shared<std::vector<uint8_t>>(std::move(own_));
            block = {std::shared_ptr<uint8_t[]>(holder, holder->data()), n};
        }
        clear();
        return block;
    }

    size_t size() const { return IsView() ? size_ : own_.size(); }
    bool empty() const { return size() == 0; }
    uint8_t* data() { return IsView() ? shared_.bytes.get() + offset_ : own_.data(); }
    const uint8_t* data() const { return IsView() ? shared_.bytes.get() + offset_ : own_.data(); }
    iterator begin() { return data(); }
    iterator end() { return data() + size(); }
    const_iterator begin() const { return data(); }
    const_iterator end() const { return data() + size(); }
    uint8_t& operator[](size_t i) { return data()[i]; }
    const uint8_t& operator[](size_t i) const { return data()[i]; }
    uint8_t& back() { return data()[size() - 1]; }

    // The frame's own block, made from the viewed bytes first when they are a view. May throw
    // std::bad_alloc, as a vector's growth does.
    std::vector<uint8_t>& Own() {
        if (IsView()) {
            std::vector<uint8_t> copy(begin(), end());
            own_.swap(copy);
            shared_ = {};
        }
        return own_;
    }

    void assign(size_t n, uint8_t value) {
        shared_ = {};
        own_.assign(n, value);
    }
    template <typename It>
    void assign(It first, It last) {
        if (IsView()) {
            std::vector<uint8_t> fresh(first, last);  // the source may be this very view
            own_.swap(fresh);
            shared_ = {};
        } else {
            own_.assign(first, last);
        }
    }
    void resize(size_t n) { Own().resize(n); }
    void clear() {
        shared_ = {};
        own_.clear();
    }
    void push_back(uint8_t value) { Own().push_back(value); }
    template <typename It>
    iterator insert(const_iterator at, It first, It last) {
        const size_t where = size_t(at - begin());
        std::vector<uint8_t>& bytes = Own();
        return bytes.data() +
               (bytes.insert(bytes.begin() + std::ptrdiff_t(where), first, last) - bytes.begin());
    }
    iterator insert(const_iterator at, size_t n, uint8_t value) {
        const size_t where = size_t(at - begin());
        std::vector<uint8_t>& bytes = Own();
        bytes.insert(bytes.begin() + std::ptrdiff_t(where), n, value);
        return bytes.data() + where;
    }
    void swap(FrameBytes& other) noexcept {
        own_.swap(other.own_);
        std::swap(shared_, other.shared_);
        std::swap(offset_, other.offset_);
        std::swap(size_, other.size_);
    }
    // Exchanges the bytes with a plain vector's.
    void swap(std::vector<uint8_t>& other) { Own().swap(other); }

    friend bool operator==(const FrameBytes& a, const FrameBytes& b) {
        return std::equal(a.begin(), a.end(), b.begin(), b.end());
    }
    friend bool operator==(const FrameBytes& a, const std::vector<uint8_t>& b) {
        return std::equal(a.begin(), a.end(), b.begin(), b.end());
    }

private:
    std::vector<uint8_t> own_;
    SharedBlock shared_;  // set while the bytes are a view
    size_t offset_ = 0;
    size_t size_ = 0;
};

}  // namespace kx
