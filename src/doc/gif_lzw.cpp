// GIF LZW coding (the grammar is stated in gif_lzw.h).
#include "doc/gif_lzw.h"

#include <algorithm>
#include <array>
#include <memory>
#include <new>

namespace kx {
namespace {

constexpr int kMaxCodeBits = 12;
constexpr uint32_t kTableSize = 1u << kMaxCodeBits;  // 4096 codes

class BitPacker {
public:
    explicit BitPacker(std::vector<uint8_t>& out) : out_(out) {}
    void Put(uint32_t code, int bits) {
        buffer_ |= uint64_t(code) << filled_;
        filled_ += bits;
        while (filled_ >= 8) {
            out_.push_back(uint8_t(buffer_));
            buffer_ >>= 8;
            filled_ -= 8;
        }
    }
    void Flush() {
        if (filled_ > 0) {
            out_.push_back(uint8_t(buffer_));
        }
        buffer_ = 0;
        filled_ = 0;
    }

private:
    std::vector<uint8_t>& out_;
    uint64_t buffer_ = 0;
    int filled_ = 0;
};

// The encoder's table: (prefix code, pixel) -> code, open addressing over twice the codes.
class CodeTable {
public:
    static constexpr uint32_t kSlots = 4 * kTableSize;
    static constexpr uint32_t kNone = 0xFFFFFFFF;

    void Reset() { keys_.fill(kNone); }
    uint32_t Find(uint32_t prefix, uint8_t pixel) const {
        const uint32_t key = prefix << 8 | pixel;
        for (uint32_t slot = Hash(key);; slot = (slot + 1) & (kSlots - 1)) {
            if (keys_[slot] == key) {
                return codes_[slot];
            }
            if (keys_[slot] == kNone) {
                return kNone;
            }
        }
    }
    void Add(uint32_t prefix, uint8_t pixel, uint32_t code) {
        const uint32_t key = prefix << 8 | pixel;
        uint32_t slot = Hash(key);
        while (keys_[slot] != kNone) {
            slot = (slot + 1) & (kSlots - 1);
        }
        keys_[slot] = key;
        codes_[slot] = uint16_t(code);
    }
    // Takes back the entry added last (nothing added after it shares its probe chain).
    void RemoveLast(uint32_t prefix, uint8_t pixel) {
        const uint32_t key = prefix << 8 | pixel;
        uint32_t slot = Hash(key);
        while (keys_[slot] != key) {
            slot = (slot + 1) & (kSlots - 1);
        }
        keys_[slot] = kNone;
    }

private:
    static uint32_t Hash(uint32_t key) { return (key * 2654435761u) >> (32 - 14); }

    std::array<uint32_t, kSlots> keys_;
    std::array<uint16_t, kSlots> codes_;
};
static_assert(CodeTable::kSlots == 1u << 14, "the hash gives 14 bits");

class Encoder {
public:
    Encoder(std::vector<uint8_t>& out, int minCodeSize, LzwFullTable full)
        : bits_(out), clear_(1u << minCodeSize), startBits_(minCodeSize + 1), full_(full) {}

    void Run(const LzwPixels& pixels) {
        if (pixels.second != nullptr) {
            RunWithChoices(pixels);
            return;
        }
        Restart();
        bits_.Put(clear_, codeBits_);
        // Plain greedy LZW: the current string grows while the table holds it.
        uint32_t prefix = pixels.first[0];
        for (size_t i = 1; i < pixels.count; ++i) {
            const uint8_t pixel = pixels.first[i];
            if (const uint32_t code = table_.Find(prefix, pixel); code != CodeTable::kNone) {
                prefix = code;
                continue;
            }
            Emit(prefix, pixel);
            prefix = pixel;
        }
        bits_.Put(prefix, codeBits_);
        bits_.Put(clear_ + 1, codeBits_);
        bits_.Flush();
    }
    bool TableFilled() const { return tableFilled_; }

private:
    struct Match {
        uint32_t code = 0;
        size_t length = 0;
        uint8_t first = 0;  // the pixel the string starts with
    };

    // Where pixels may take either of two values, each string coded is the longest one of the
    // table the pixels can be read as, and its first pixel ends the pending string.
    void RunWithChoices(const LzwPixels& pixels) {
        Restart();
        bits_.Put(clear_, codeBits_);
        uint32_t pending = CodeTable::kNone;
        size_t at = 0;
        while (at < pixels.count) {
            Match match = Longest(pixels, at, pending);
            if (pending != CodeTable::kNone && Emit(pending, match.first)) {
                match = Longest(pixels, at, CodeTable::kNone);  // the table was cleared
            }
            pending = match.code;
            at += match.length;
        }
        bits_.Put(pending, codeBits_);
        bits_.Put(clear_ + 1, codeBits_);
        bits_.Flush();
    }
    // The longest string the table holds from at, for each way of reading its first pixel;
    // with a pending string the entry pending + that pixel counts as present, as the decoder
    // will have it.
    Match Longest(const LzwPixels& pixels, size_t at, uint32_t pending) {
        Match best;
        const bool addsEntry = pending != CodeTable::kNone && next_ < kTableSize;
        for (int k = 0; k < (HasChoice(pixels, at) ? 2 : 1); ++k) {
            // The preferred reading first, so that it wins ties.
            const bool useSecond = (k == 1) != (HasChoice(pixels, at) && pixels.preferSecond);
            const uint8_t pixel = useSecond ? pixels.second[at] : pixels.first[at];
            if (addsEntry) {
                table_.Add(pending, pixel, next_);
            }
            const Match found = LongestFrom(pixels, at, pixel);
            if (addsEntry) {
                table_.RemoveLast(pending, pixel);
            }
            if (found.length > best.length) {
                best = found;
            }
        }
        return best;
    }
    // The longest string from at that starts with pixel. Each table entry is met at most once:
    // its string fixes the pixels it stands for.
    Match LongestFrom(const LzwPixels& pixels, size_t at, uint8_t pixel) {
        Match best{pixel, 1, pixel};
        Match node = best;
        stack_.clear();
        for (;;) {
            // Follows one path, keeping the other branch where a pixel may be read both ways.
            const size_t i = at + node.length;
            uint32_t next = CodeTable::kNone;
            if (i < pixels.count) {
                next = table_.Find(node.code, pixels.first[i]);
                if (HasChoice(pixels, i)) {
                    const uint32_t other = table_.Find(node.code, pixels.second[i]);
                    if (next == CodeTable::kNone) {
                        next = other;
                    } else if (other != CodeTable::kNone) {
                        stack_.push_back({other, node.length + 1, pixel});
                    }
                }
            }
            if (next != CodeTable::kNone) {
                node = {next, node.length + 1, pixel};
                continue;
            }
            if (node.length > best.length) {
                best = node;
            }
            if (stack_.empty()) {
                return best;
            }
            node = stack_.back();
            stack_.pop_back();
        }
    }

    static bool HasChoice(const LzwPixels& p, size_t i) {
        return p.second != nullptr && p.second[i] != p.first[i];
    }
    void Restart() {
        table_.Reset();
        next_ = clear_ + 2;
        codeBits_ = startBits_;
    }
    // Writes the code of the string ended by pixel's arrival and adds string + pixel; true
    // when the table was full and started again.
    bool Emit(uint32_t prefix, uint8_t pixel) {
        bits_.Put(prefix, codeBits_);
        if (next_ == kTableSize) {
            return false;  // a kept full table
        }
        table_.Add(prefix, pixel, next_);
        if (next_ == (1u << codeBits_) && codeBits_ < kMaxCodeBits) {
            ++codeBits_;
        }
        if (++next_ == kTableSize) {
            tableFilled_ = true;
            if (full_ == LzwFullTable::Clear) {
                bits_.Put(clear_, codeBits_);
                Restart();
                return true;
            }
        }
        return false;
    }

    BitPacker bits_;
    CodeTable table_;
    const uint32_t clear_;
    const int startBits_;
    const LzwFullTable full_;
    uint32_t next_ = 0;
    int codeBits_ = 0;
    bool tableFilled_ = false;
    std::vector<Match> stack_;
};

}  // namespace

LzwStream EncodeLzw(const LzwPixels& pixels, int minCodeSize, LzwFullTable full) {
    LzwStream stream;
    if (pixels.count == 0 || minCodeSize < 2 || minCodeSize > 8) {
        return stream;
    }
    try {
        // Most pictures code to well under a byte per pixel; reserving that avoids regrowth.
        stream.bytes.reserve(pixels.count / 2 + 16);
        auto encoder = std::make_unique<Encoder>(stream.bytes, minCodeSize, full);
        encoder->Run(pixels);
        stream.tableFilled = encoder->TableFilled();
    } catch (const std::bad_alloc&) {
        return {};
    }
    return stream;
}

size_t SubBlockedSize(size_t streamBytes) {
    return streamBytes + (streamBytes + 254) / 255 + 1;
}

void AppendSubBlocks(std::vector<uint8_t>& out, const std::vector<uint8_t>& stream) {
    for (size_t at = 0; at < stream.size(); at += 255) {
        const size_t n = std::min<size_t>(255, stream.size() - at);
        out.push_back(uint8_t(n));
        out.insert(out.end(), stream.begin() + ptrdiff_t(at), stream.begin() + ptrdiff_t(at + n));
    }
    out.push_back(0);
}

namespace {

class BitReader {
public:
    BitReader(const uint8_t* data, size_t size) : data_(data), size_(size) {}
    // False when the data ends before bits more bits.
    bool Get(int bits, uint32_t& code) {
        while (filled_ < bits) {
            if (at_ == size_) {
                return false;
            }
            buffer_ |= uint32_t(data_[at_++]) << filled_;
            filled_ += 8;
        }
        code = buffer_ & ((1u << bits) - 1);
        buffer_ >>= bits;
        filled_ -= bits;
        return true;
    }

private:
    const uint8_t* data_;
    size_t size_;
    size_t at_ = 0;
    uint32_t buffer_ = 0;
    int filled_ = 0;
};

// The decoder's table: each code's string is its prefix's string plus its last pixel.
struct StringTable {
    std::array<uint16_t, kTableSize> prefix;
    std::array<uint8_t, kTableSize> last;
    std::array<uint8_t, kTableSize> first;
    std::array<uint16_t, kTableSize> length;
};

class Decoder {
public:
    Decoder(int minCodeSize, uint8_t* out, size_t count)
        : clear_(1u << minCodeSize), startBits_(minCodeSize + 1), out_(out), count_(count) {
        for (uint32_t c = 0; c < clear_; ++c) {
            table_.prefix[c] = 0;
            table_.last[c] = uint8_t(c);
            table_.first[c] = uint8_t(c);
            table_.length[c] = 1;
        }
    }

    std::string Run(const uint8_t* data, size_t size) {
        BitReader bits(data, size);
        Restart();
        uint32_t code = 0;
        while (written_ < count_) {
            if (!bits.Get(codeBits_, code)) {
                return "the picture data ends after " + std::to_string(written_) + " of " +
                       std::to_string(count_) + " pixels";
            }
            if (code == clear_) {
                Restart();
                continue;
            }
            if (code == clear_ + 1) {
                return "the picture data ends after " + std::to_string(written_) + " of " +
                       std::to_string(count_) + " pixels";
            }
            if (std::string fault = Take(code); !fault.empty()) {
                return fault;
            }
        }
        return {};
    }

private:
    void Restart() {
        next_ = clear_ + 2;
        codeBits_ = startBits_;
        previous_ = kNoCode;
    }
    std::string Take(uint32_t code) {
        if (code > next_ || (code == next_ && (previous_ == kNoCode || next_ == kTableSize))) {
            return "LZW code " + std::to_string(code) + " is not in the table (next free code " +
                   std::to_string(next_) + ")";
        }
        if (previous_ != kNoCode && next_ < kTableSize) {
            // For the code being defined right now the first pixel is the previous string's.
            const uint8_t firstPixel = code == next_ ? table_.first[previous_] : table_.first[code];
            table_.prefix[next_] = uint16_t(previous_);
            table_.last[next_] = firstPixel;
            table_.first[next_] = table_.first[previous_];
            table_.length[next_] = uint16_t(table_.length[previous_] + 1);
            ++next_;
            if (next_ == (1u << codeBits_) && codeBits_ < kMaxCodeBits) {
                ++codeBits_;
            }
        }
        Write(code);
        previous_ = code;
        return {};
    }
    // Writes code's string, cut at the frame's end.
    void Write(uint32_t code) {
        const size_t length = table_.length[code];
        size_t end = written_ + length;
        for (uint32_t c = code; end > written_; c = table_.prefix[c]) {
            --end;
            if (end < count_) {
                out_[end] = table_.last[c];
            }
        }
        written_ = std::min(count_, written_ + length);
    }

    static constexpr uint32_t kNoCode = 0xFFFFFFFF;
    StringTable table_;
    const uint32_t clear_;
    const int startBits_;
    uint8_t* out_;
    const size_t count_;
    size_t written_ = 0;
    uint32_t next_ = 0;
    uint32_t previous_ = kNoCode;
    int codeBits_ = 0;
};

}  // namespace

std::string DecodeLzw(const uint8_t* data, size_t size, int minCodeSize, uint8_t* out,
                      size_t count) {
    if (minCodeSize < 2 || minCodeSize > 8) {
        return "LZW minimum code size " + std::to_string(minCodeSize) + " is not 2 to 8";
    }
    if (count == 0) {
        return {};
    }
    try {
        auto decoder = std::make_unique<Decoder>(minCodeSize, out, count);
        return decoder->Run(data, size);
    } catch (const std::bad_alloc&) {
        return "out of memory";
    }
}

}  // namespace kx
