// The variable-length LZW code of GIF picture data.
//
// The code stream, as both sides keep it: codes are packed least significant bit first into
// bytes; a code is codeSize bits wide, starting at minCodeSize + 1 (minCodeSize 2 to 8). Codes
// below 2^minCodeSize are single pixels; 2^minCodeSize is Clear (empty the table, width back to
// the start) and the next one End of Information. Every code after the first one following a
// Clear adds an entry to the table: the string of the previous code plus the first pixel of this
// one's string (for a code not yet in the table, that is the previous string plus its own first
// pixel). When the table's next free code reaches 2^codeSize the width grows by one bit, up to 12;
// a table of 4096 entries takes no more until the next Clear.
//
// Sub-blocks (a count byte of 1 to 255, then that many bytes, ended by a count of 0) wrap the code
// stream in a file; the functions here take and give the bare stream.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace kx {

// What the encoder does when the table is full: start a new one (Clear), or go on with the
// table it has, which pays off where the picture keeps repeating what came before.
enum class LzwFullTable { Clear, Keep };

// Pixels to code. Where second[i] differs from first[i] the pixel may be coded as either (an
// unchanged pixel that may also be the transparent index); the encoder takes whichever extends
// the string it is building, and when neither does, the one preferred.
struct LzwPixels {
    const uint8_t* first = nullptr;
    const uint8_t* second = nullptr;  // nullptr: no choices
    size_t count = 0;
    bool preferSecond = false;
};

struct LzwStream {
    std::vector<uint8_t> bytes;
    bool tableFilled = false;  // the table reached 4096 entries at least once
};

// Codes the pixels (each below 2^minCodeSize) with a Clear first and End of Information last.
// An allocation failure gives an empty stream.
LzwStream EncodeLzw(const LzwPixels& pixels, int minCodeSize, LzwFullTable full);

// Bytes the stream takes in a file as sub-blocks, the ending 0 included.
size_t SubBlockedSize(size_t streamBytes);
// Appends the stream as sub-blocks, the ending 0 included.
void AppendSubBlocks(std::vector<uint8_t>& out, const std::vector<uint8_t>& stream);

// Decodes a stream into exactly count pixels. Stops at End of Information or once count pixels
// are out (what follows is ignored, as other decoders do). Returns why the stream is not a valid
// code of count pixels ("" when it is): a code the table does not hold yet, a minimum code size
// out of range, data that ends before count pixels.
std::string DecodeLzw(const uint8_t* data, size_t size, int minCodeSize, uint8_t* out,
                      size_t count);

}  // namespace kx
