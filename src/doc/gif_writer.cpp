// Writing the movie as an animated GIF, as small as the format allows.
//
// Every frame after the first is drawn over what the one before left, so a frame only needs the
// rectangle where the picture changes. The writer keeps the canvas a viewer would show (a colour
// or clear at each pixel) and, for each frame, tries each way the previous frame may leave it
// (disposal none, or background where pixels must turn clear) and each way of coding the
// unchanged pixels inside the rectangle (their own colour or the transparent index, chosen by the
// LZW coder pixel by pixel where either continues its string), keeping the smallest frame. The
// whole movie is coded with the colours in their own order and in order of use, keeping the
// smaller file: small indices for the frequent colours let frames of few colours take a small
// code size.
#include <algorithm>
#include <array>
#include <new>
#include <utility>
#include <vector>

#include "doc/animation_document.h"
#include "doc/byte_io.h"
#include "doc/cancel_watch.h"
#include "doc/file_io.h"
#include "doc/gif_format.h"
#include "doc/gif_lzw.h"
#include "doc/save_steps.h"

namespace kx {

uint16_t GifDelay(uint32_t microSecPerFrame) {
    const uint64_t centiseconds = (uint64_t(microSecPerFrame) + 5000) / 10000;
    return uint16_t(std::clamp<uint64_t>(centiseconds, gif::kShortestDelay, 65535));
}

bool GifDelayRaised(uint32_t microSecPerFrame) {
    return microSecPerFrame < gif::kShortestDelay * 10000;
}

namespace {

// A canvas pixel no frame has drawn, or that a disposal cleared.
constexpr uint16_t kClear = 256;
constexpr uint16_t kNoIndex = 0xFFFF;

// Bits that hold index (at least 1).
int BitsFor(uint32_t index) {
    int bits = 1;
    while ((1u << bits) <= index) {
        ++bits;
    }
    return bits;
}

// The movie's colours as the GIF numbers them.
struct GifPalette {
    std::array<uint8_t, 256> toGif{};  // movie index -> GIF index
    std::vector<uint8_t> order;        // GIF index -> movie index
    int tableBits = 1;                 // the table holds 2^tableBits colours
};

GifPalette MakePalette(std::vector<uint8_t> order) {
    GifPalette palette;
    for (size_t k = 0; k < order.size(); ++k) {
        palette.toGif[order[k]] = uint8_t(k);
    }
    palette.tableBits = BitsFor(uint32_t(std::max<size_t>(order.size(), 2) - 1));
    palette.order = std::move(order);
    return palette;
}

struct PlannedFrame {
    PixelRect rect;
    gif::Disposal disposal = gif::Disposal::None;  // set once the next frame is planned
    uint16_t transparentIndex = kNoIndex;
    int minCodeSize = 2;
    std::vector<uint8_t> codes;  // the bare LZW stream
};

using Canvas = std::vector<uint16_t>;  // top-down, a GIF index or kClear per pixel
using ColourSet = std::array<bool, 256>;

// The pixels of one frame's rectangle as the coder gets them.
struct RectPixels {
    std::vector<uint8_t> first;   // the colour, or the transparent index where it must be
    std::vector<uint8_t> second;  // the transparent index where a pixel may be either
    bool anyChoice = false;
    bool usesTransparent = false;  // some pixel may or must be the transparent index
};

class FramePlanner {
public:
    FramePlanner(int32_t width, int32_t height, bool transparent, uint16_t transparentIndex)
        : width_(width),
          height_(height),
          transparent_(transparent),
          transparentIndex_(transparentIndex) {}

    // The smallest coding of target drawn over canvas; false when canvas shows a colour where
    // target is clear (no drawing can clear a pixel).
    // With cover, the rectangle holds at least cover.
    bool Plan(const Canvas& canvas, const Canvas& target, PlannedFrame& best,
              const PixelRect* cover = nullptr) const;

private:
    bool FindRect(const Canvas& canvas, const Canvas& target, const PixelRect* cover,
                  PixelRect& rect, ColourSet& drawn) const;
    ColourSet ColoursIn(const Canvas& target, const PixelRect& rect) const;
    uint16_t ChooseTransparent(const ColourSet& drawn) const;
    RectPixels Gather(const Canvas& canvas, const Canvas& target, const PixelRect& rect,
                      uint16_t transparentIndex, int minCodeSize) const;
    static void KeepSmaller(PlannedFrame& best, PlannedFrame candidate);
    static void TryCodings(const RectPixels& pixels, PlannedFrame frame, PlannedFrame& best);

    int32_t width_;
    int32_t height_;
    bool transparent_;
    uint16_t transparentIndex_;
};

bool FramePlanner::FindRect(const Canvas& canvas, const Canvas& target, const PixelRect* cover,
                            PixelRect& rect, ColourSet& drawn) const {
    int32_t left = width_, top = height_, right = -1, bottom = -1;
    for (int32_t y = 0; y < height_; ++y) {
        const size_t row = size_t(y) * size_t(width_);
        for (int32_t x = 0; x < width_; ++x) {
            const uint16_t want = target[row + size_t(x)];
            if (want == canvas[row + size_t(x)]) {
                continue;
            }
            if (want == kClear) {
                return false;
            }
            drawn[want] = true;
            left = std::min(left, x);
            right = std::max(right, x);
            top = std::min(top, y);
            bottom = y;
        }
    }
    if (cover != nullptr && !cover->Empty()) {
        left = std::min(left, cover->left);
        top = std::min(top, cover->top);
        right = std::max(right, cover->left + cover->width - 1);
        bottom = std::max(bottom, cover->top + cover->height - 1);
    }
    // A frame has at least one pixel; an unchanged picture redraws its top-left one.
    rect = right < 0 ? PixelRect{0, 0, 1, 1}
                     : PixelRect{left, top, right - left + 1, bottom - top + 1};
    return true;
}

uint16_t FramePlanner::ChooseTransparent(const ColourSet& drawn) const {
    if (transparent_) {
        return transparentIndex_;
    }
    // Any index no changed pixel needs can stand for "unchanged"; the lowest keeps codes small.
    for (uint16_t k = 0; k < 256; ++k) {
        if (!drawn[k]) {
            return k;
        }
    }
    return kNoIndex;
}

RectPixels FramePlanner::Gather(const Canvas& canvas, const Canvas& target, const PixelRect& rect,
                                uint16_t transparentIndex, int minCodeSize) const {
    RectPixels pixels;
    const size_t count = size_t(rect.width) * size_t(rect.height);
    pixels.first.resize(count);
    pixels.second.resize(count);
    const uint32_t limit = 1u << minCodeSize;
    size_t at = 0;
    for (int32_t y = rect.top; y < rect.top + rect.height; ++y) {
        const size_t row = size_t(y) * size_t(width_);
        for (int32_t x = rect.left; x < rect.left + rect.width; ++x, ++at) {
            const uint16_t want = target[row + size_t(x)];
            const bool same = want == canvas[row + size_t(x)];
            uint16_t first = want;
            uint16_t second = want;
            if (same && transparentIndex != kNoIndex) {
                second = uint16_t(transparentIndex);
                // A colour the code size cannot hold, or a pixel staying clear, can only be
                // the transparent index.
                if (want == kClear || want >= limit) {
                    first = second;
                }
            }
            pixels.first[at] = uint8_t(first);
            pixels.second[at] = uint8_t(second);
            pixels.anyChoice = pixels.anyChoice || first != second;
            pixels.usesTransparent = pixels.usesTransparent || same;
        }
    }
    return pixels;
}

void FramePlanner::KeepSmaller(PlannedFrame& best, PlannedFrame candidate) {
    if (candidate.codes.empty()) {
        return;
    }
    if (best.codes.empty() || candidate.codes.size() < best.codes.size()) {
        best = std::move(candidate);
    }
}

void FramePlanner::TryCodings(const RectPixels& pixels, PlannedFrame frame, PlannedFrame& best) {
    // Where the coder may choose, it leans to the transparent index: runs of unchanged pixels
    // then read alike whatever their colours (measured: leaning to the colours never won over
    // coding every pixel in its colour, which the caller tries as well).
    const LzwPixels input{pixels.first.data(), pixels.anyChoice ? pixels.second.data() : nullptr,
                          pixels.first.size(), true};
    LzwStream stream = EncodeLzw(input, frame.minCodeSize, LzwFullTable::Clear);
    if (stream.tableFilled) {
        LzwStream kept = EncodeLzw(input, frame.minCodeSize, LzwFullTable::Keep);
        if (!kept.bytes.empty() && kept.bytes.size() < stream.bytes.size()) {
            stream = std::move(kept);
        }
    }
    frame.codes = std::move(stream.bytes);
    KeepSmaller(best, frame);
}

// The highest index in set (0 when none).
uint32_t Highest(const ColourSet& set) {
    uint32_t highest = 0;
    for (uint32_t k = 0; k < 256; ++k) {
        highest = set[k] ? k : highest;
    }
    return highest;
}

ColourSet FramePlanner::ColoursIn(const Canvas& target, const PixelRect& rect) const {
    ColourSet present{};
    for (int32_t y = rect.top; y < rect.top + rect.height; ++y) {
        for (int32_t x = rect.left; x < rect.left + rect.width; ++x) {
            const uint16_t v = target[size_t(y) * size_t(width_) + size_t(x)];
            if (v != kClear) {
                present[v] = true;
            }
        }
    }
    return present;
}

bool FramePlanner::Plan(const Canvas& canvas, const Canvas& target, PlannedFrame& best,
                        const PixelRect* cover) const {
    PixelRect rect;
    ColourSet drawn{};
    if (!FindRect(canvas, target, cover, rect, drawn)) {
        return false;
    }
    const ColourSet present = ColoursIn(target, rect);
    PlannedFrame frame;
    frame.rect = rect;
    // Pixels staying clear need the transparent index; pixels keeping their colour may use it.
    if (const uint16_t transparent = ChooseTransparent(drawn); transparent != kNoIndex) {
        frame.transparentIndex = transparent;
        frame.minCodeSize = std::max(2, BitsFor(std::max<uint32_t>(Highest(drawn), transparent)));
        const RectPixels pixels = Gather(canvas, target, rect, transparent, frame.minCodeSize);
        // Where every pixel changes, only a transparent colour of the movie needs the index.
        if (pixels.usesTransparent || transparent_) {
            TryCodings(pixels, frame, best);
        }
    }
    if (!transparent_) {
        // Every pixel in its own colour, without a transparent index that may need a wider code.
        frame.transparentIndex = kNoIndex;
        frame.minCodeSize = std::max(2, BitsFor(Highest(present)));
        TryCodings(Gather(canvas, target, rect, kNoIndex, frame.minCodeSize), frame, best);
    }
    return !best.codes.empty();
}

// Plans every frame of the movie with one palette.
class MoviePlanner {
public:
    MoviePlanner(const CAnimationDocument& doc, const GifPalette& palette,
                 const AnimationOptions& options)
        : doc_(doc),
          palette_(palette),
          options_(options),
          width_(doc.FrameWidth()),
          height_(doc.FrameHeight()) {}

    std::string Plan(ProgressSink* progress, std::vector<PlannedFrame>& frames);

private:
    void Target(int32_t i, Canvas& target) const;
    // The bounds of the pixels target shows clear where shown has a colour.
    PixelRect MustClear(const Canvas& shown, const Canvas& target) const;
    void ClearRect(Canvas& canvas, const PixelRect& r) const;
    // Whether clearing the previous frame's rectangle (grown where needed) before target makes
    // the two frames smaller; if so, replaces previous (disposal background) and kept.
    bool TryBackground(const FramePlanner& planner, const Canvas& target, PlannedFrame& previous,
                       PlannedFrame& kept);

    const CAnimationDocument& doc_;
    const GifPalette& palette_;
    const AnimationOptions& options_;
    int32_t width_;
    int32_t height_;
    Canvas shown_;    // what a viewer shows after the previous frame
    Canvas base_;     // what the previous frame was drawn on
    Canvas cleared_;  // shown_ after the previous frame's disposal to background
};

void MoviePlanner::Target(int32_t i, Canvas& target) const {
    const FrameView frame = FrameView::OfDocument(doc_, i);
    const uint8_t clear = doc_.TransparentIndex();
    size_t at = 0;
    for (int32_t y = 0; y < height_; ++y) {
        const uint8_t* row = frame.Row(y);
        for (int32_t x = 0; x < width_; ++x) {
            const uint8_t v = row[x];
            target[at++] = options_.transparent && v == clear ? kClear : palette_.toGif[v];
        }
    }
}

// The smallest rectangle holding a and b.
PixelRect Union(const PixelRect& a, const PixelRect& b) {
    if (a.Empty() || b.Empty()) {
        return a.Empty() ? b : a;
    }
    const int32_t left = std::min(a.left, b.left);
    const int32_t top = std::min(a.top, b.top);
    const int32_t right = std::max(a.left + a.width, b.left + b.width);
    const int32_t bottom = std::max(a.top + a.height, b.top + b.height);
    return {left, top, right - left, bottom - top};
}

PixelRect MoviePlanner::MustClear(const Canvas& shown, const Canvas& target) const {
    int32_t left = width_, top = height_, right = -1, bottom = -1;
    for (int32_t y = 0; y < height_; ++y) {
        const size_t row = size_t(y) * size_t(width_);
        for (int32_t x = 0; x < width_; ++x) {
            if (target[row + size_t(x)] == kClear && shown[row + size_t(x)] != kClear) {
                left = std::min(left, x);
                right = std::max(right, x);
                top = std::min(top, y);
                bottom = y;
            }
        }
    }
    return right < 0 ? PixelRect{} : PixelRect{left, top, right - left + 1, bottom - top + 1};
}

void MoviePlanner::ClearRect(Canvas& canvas, const PixelRect& r) const {
    for (int32_t y = r.top; y < r.top + r.height; ++y) {
        std::fill_n(canvas.begin() + ptrdiff_t(size_t(y) * size_t(width_) + size_t(r.left)),
                    r.width, kClear);
    }
}

bool MoviePlanner::TryBackground(const FramePlanner& planner, const Canvas& target,
                                 PlannedFrame& previous, PlannedFrame& kept) {
    const PixelRect clearRect = Union(previous.rect, MustClear(shown_, target));
    PlannedFrame previousAgain;
    if (clearRect != previous.rect) {
        // The previous frame's rectangle grows to cover every pixel that must turn clear.
        planner.Plan(base_, shown_, previousAgain, &clearRect);
    }
    cleared_ = shown_;
    ClearRect(cleared_, clearRect);
    PlannedFrame afterClear;
    if (!planner.Plan(cleared_, target, afterClear)) {
        return false;
    }
    const size_t previousBytes =
        previousAgain.codes.empty() ? previous.codes.size() : previousAgain.codes.size();
    if (!kept.codes.empty() &&
        kept.codes.size() + previous.codes.size() <= afterClear.codes.size() + previousBytes) {
        return false;
    }
    if (!previousAgain.codes.empty()) {
        previous = std::move(previousAgain);
    }
    previous.disposal = gif::Disposal::Background;
    kept = std::move(afterClear);
    return true;
}

std::string MoviePlanner::Plan(ProgressSink* progress, std::vector<PlannedFrame>& frames) {
    const size_t pixels = size_t(width_) * size_t(height_);
    shown_.assign(pixels, kClear);
    base_.assign(pixels, kClear);
    Canvas target(pixels);
    const FramePlanner planner(width_, height_, options_.transparent,
                               palette_.toGif[doc_.TransparentIndex()]);
    frames.assign(size_t(doc_.FrameCount()), {});
    for (int32_t i = 0; i < doc_.FrameCount(); ++i) {
        Target(i, target);
        PlannedFrame kept;
        planner.Plan(shown_, target, kept);
        // The canvas this frame is drawn on: the previous frame, or it with its rectangle cleared.
        bool afterClear = false;
        if (i > 0 && options_.transparent) {
            afterClear = TryBackground(planner, target, frames[size_t(i) - 1], kept);
        }
        if (kept.codes.empty()) {
            return "out of memory while compressing";
        }
        frames[size_t(i)] = std::move(kept);
        base_.swap(afterClear ? cleared_ : shown_);
        shown_.swap(target);
        if (!Report(progress, 1, kProgressStep)) {
            return "cancelled";
        }
    }
    return {};
}

void WriteScreen(ByteWriter& out, const CAnimationDocument& doc, const GifPalette& palette) {
    out.bytes("GIF89a", 6);
    out.u16le(uint16_t(doc.FrameWidth()));   // logical screen width
    out.u16le(uint16_t(doc.FrameHeight()));  // logical screen height
    const uint8_t bits = uint8_t(palette.tableBits - 1);
    out.u8(uint8_t(0x80 | bits << 4 | bits));  // global table, colour resolution, table size
    out.u8(0);                                 // background colour index
    out.u8(0);                                 // no aspect ratio
    const PaletteTable& colours = doc.Palette();
    for (size_t k = 0; k < (size_t(1) << palette.tableBits); ++k) {
        const RgbQuad c = k < palette.order.size() ? colours.entries[palette.order[k]] : RgbQuad{};
        out.u8(c.red);
        out.u8(c.green);
        out.u8(c.blue);
    }
}

void WriteLoop(ByteWriter& out, uint32_t plays) {
    if (plays == 1) {
        return;  // without the block a viewer plays the frames once
    }
    out.u8(gif::kExtension);
    out.u8(gif::kApplication);
    out.u8(11);
    out.bytes("NETSCAPE2.0", 11);
    out.u8(3);  // sub-block of 3 bytes
    out.u8(1);  // loop sub-block id
    out.u16le(plays == 0 ? 0 : uint16_t(std::min<uint32_t>(plays - 1, 65535)));  // repeats
    out.u8(0);
}

void WriteFrame(ByteWriter& out, const PlannedFrame& frame, uint16_t delay,
                std::vector<uint8_t>& scratch) {
    out.u8(gif::kExtension);
    out.u8(gif::kGraphicControl);
    out.u8(4);  // block size
    const bool transparent = frame.transparentIndex != kNoIndex;
    out.u8(uint8_t(uint8_t(frame.disposal) << 2 | (transparent ? 1 : 0)));
    out.u16le(delay);                                           // 1/100 s
    out.u8(transparent ? uint8_t(frame.transparentIndex) : 0);  // transparent index
    out.u8(0);
    out.u8(gif::kImage);
    out.u16le(uint16_t(frame.rect.left));
    out.u16le(uint16_t(frame.rect.top));
    out.u16le(uint16_t(frame.rect.width));
    out.u16le(uint16_t(frame.rect.height));
    out.u8(0);  // no local table, not interlaced
    out.u8(uint8_t(frame.minCodeSize));
    scratch.clear();
    AppendSubBlocks(scratch, frame.codes);
    out.bytes(scratch.data(), scratch.size());
}

std::string EncodeWithPalette(const CAnimationDocument& doc, const GifPalette& palette,
                              const AnimationOptions& options, ProgressSink* progress,
                              std::vector<uint8_t>& bytes) {
    std::vector<PlannedFrame> frames;
    MoviePlanner planner(doc, palette, options);
    if (std::string fault = planner.Plan(progress, frames); !fault.empty()) {
        return fault;
    }
    bytes.clear();
    ByteWriter out(bytes);
    WriteScreen(out, doc, palette);
    WriteLoop(out, options.plays);
    const uint16_t delay = GifDelay(doc.MicroSecPerFrame());
    std::vector<uint8_t> scratch;
    for (const PlannedFrame& frame : frames) {
        WriteFrame(out, frame, delay, scratch);
    }
    out.u8(gif::kTrailer);
    return out.ok() ? "" : "out of memory";
}

// The pixels of a frame that differ from the frame before (all of frame 0) and their colours:
// roughly what the frame will code.
struct FrameChanges {
    ColourSet colours{};
    uint64_t pixels = 0;
};

// The uses of each colour in the movie and in the changes of its frames, and each frame's
// changes.
void CountColours(const CAnimationDocument& doc, ColourUses& uses, ColourUses& changedUses,
                  std::vector<FrameChanges>& changes) {
    uses = {};
    changedUses = {};
    changes.assign(size_t(doc.FrameCount()), {});
    FrameView before;
    for (int32_t i = 0; i < doc.FrameCount(); ++i) {
        const FrameView frame = FrameView::OfDocument(doc, i);
        FrameChanges& change = changes[size_t(i)];
        for (int32_t y = 0; y < frame.Height(); ++y) {
            const uint8_t* row = frame.Row(y);
            const uint8_t* old = i > 0 ? before.Row(y) : nullptr;
            for (int32_t x = 0; x < frame.Width(); ++x) {
                ++uses[row[x]];
                if (old == nullptr || old[x] != row[x]) {
                    ++changedUses[row[x]];
                    change.colours[row[x]] = true;
                    ++change.pixels;
                }
            }
        }
        before = frame;
    }
}

// Roughly the bits the frames' codes take with palette: every order codes the same strings,
// but an order whose frames' highest indices are smaller starts their codes narrower.
uint64_t CodeBitsEstimate(const std::vector<FrameChanges>& changes, const GifPalette& palette) {
    uint64_t bits = 0;
    for (const FrameChanges& change : changes) {
        uint32_t highest = 0;
        for (size_t k = 0; k < 256; ++k) {
            highest = change.colours[k] ? std::max<uint32_t>(highest, palette.toGif[k]) : highest;
        }
        bits += change.pixels * uint64_t(std::max(2, BitsFor(highest)));
    }
    return bits;
}

// The colours of the frames that change fewest colours first: those frames then code with the
// narrowest codes.
std::vector<uint8_t> FewColoursFirst(const std::vector<FrameChanges>& changes,
                                     const ColourUses& uses) {
    std::vector<size_t> frames(changes.size());
    std::vector<size_t> counts(changes.size());
    for (size_t i = 0; i < changes.size(); ++i) {
        frames[i] = i;
        counts[i] = size_t(std::count(changes[i].colours.begin(), changes[i].colours.end(), true));
    }
    std::stable_sort(frames.begin(), frames.end(), [&](size_t a, size_t b) {
        return counts[a] != counts[b] ? counts[a] < counts[b]
                                      : changes[a].pixels > changes[b].pixels;
    });
    std::vector<uint8_t> order;
    ColourSet placed{};
    const auto place = [&](const ColourSet& colours) {
        for (uint32_t k = 0; k < 256; ++k) {
            if (colours[k] && !placed[k]) {
                placed[k] = true;
                order.push_back(uint8_t(k));
            }
        }
    };
    for (const size_t i : frames) {
        place(changes[i].colours);
    }
    ColourSet rest{};
    for (uint32_t k = 0; k < 256; ++k) {
        rest[k] = uses[k] != 0;
    }
    place(rest);
    return order;
}

// The used colours in their own order, in order of use, in order of use by changed pixels and
// with the colours of the frames changing fewest colours first; the one whose codes start
// narrowest.
GifPalette ChoosePalette(const CAnimationDocument& doc, const AnimationOptions& options) {
    ColourUses uses, changedUses;
    std::vector<FrameChanges> changes;
    CountColours(doc, uses, changedUses, changes);
    const uint8_t clear = doc.TransparentIndex();
    if (options.transparent) {
        // Every frame codes the transparent colour: it comes first in every order.
        for (FrameChanges& change : changes) {
            change.colours[clear] = true;
        }
    }
    const auto candidate = [&](std::vector<uint8_t> order) {
        if (options.transparent) {
            std::stable_partition(order.begin(), order.end(),
                                  [&](uint8_t c) { return c == clear; });
        }
        return MakePalette(std::move(order));
    };
    GifPalette best = candidate(UsedColours(uses));
    uint64_t bestBits = CodeBitsEstimate(changes, best);
    const auto consider = [&](GifPalette palette) {
        if (const uint64_t bits = CodeBitsEstimate(changes, palette); bits < bestBits) {
            best = std::move(palette);
            bestBits = bits;
        }
    };
    for (const ColourUses* order : {&uses, &changedUses}) {
        std::vector<uint8_t> colours = UsedColours(uses);
        std::stable_sort(colours.begin(), colours.end(),
                         [&](uint8_t a, uint8_t b) { return (*order)[a] > (*order)[b]; });
        consider(candidate(std::move(colours)));
    }
    consider(candidate(FewColoursFirst(changes, uses)));
    return best;
}

}  // namespace

std::string EncodeGif(const CAnimationDocument& doc, const AnimationOptions& options,
                      ProgressSink* progress, std::vector<uint8_t>& out) {
    const int32_t n = doc.FrameCount();
    if (n <= 0 || !FrameView::OfDocument(doc, n - 1).Valid()) {
        return "there are no plain frames to save";
    }
    if (doc.FrameWidth() > 65535 || doc.FrameHeight() > 65535) {
        return "a GIF holds pictures of at most 65535 x 65535 pixels";
    }
    try {
        return EncodeWithPalette(doc, ChoosePalette(doc, options), options, progress, out);
    } catch (const std::bad_alloc&) {
        return "out of memory while compressing";
    }
}

int CAnimationDocument::SaveGif(ProgressSink* progress, const std::filesystem::path& path,
                                const AnimationOptions& options) {
    CancelWatch watch(progress);
    ProgressSink* sink = watch.Sink();
    // The frames are read, never changed: nothing needs putting back however the save ends.
    if (std::string fault = CheckMovieToSave(false); !fault.empty()) {
        return Fail(std::move(fault));
    }
    if (!Report(sink, uint32_t(frameCount), kPhaseEncoding)) {
        return Fail("cancelled");
    }
    std::vector<uint8_t> bytes;
    if (std::string fault = EncodeGif(*this, options, sink, bytes); !fault.empty()) {
        return Fail(watch.Cancelled() ? "cancelled" : std::move(fault));
    }
    if (!Report(sink, 1, kPhaseWriting)) {
        return Fail("cancelled");
    }
    OutputFile file;
    if (!file.Open(path) || !file.Write(bytes.data(), bytes.size()) || !file.Commit()) {
        return Fail(WriteFailure(path, file));
    }
    Report(sink, 1, kProgressStep);
    return 1;
}

}  // namespace kx
