// Reading an animated GIF as a movie.
//
// The file is read whole and parsed in three passes. The first walks the blocks without
// decoding (frame rectangles, colour tables, graphic control), so that the movie budget is
// checked before any pixel is decoded. The second decodes and draws every frame to learn which
// colours are used and whether any pixel is left transparent; the palette is then those colours
// (alike colours merged) in the order the frames first use them, after a transparent colour at
// index 0 when one is needed. The third decodes again and keeps every frame in that palette.
#include <algorithm>
#include <array>
#include <map>
#include <new>
#include <utility>

#include "doc/animation_document.h"
#include "doc/byte_io.h"
#include "doc/cancel_watch.h"
#include "doc/file_io.h"
#include "doc/frame_rules.h"
#include "doc/gif_format.h"
#include "doc/gif_lzw.h"
#include "doc/movie_intake.h"

namespace kx {
namespace {

struct TableRef {
    size_t at = 0;      // offset of the first colour in the file
    uint32_t size = 0;  // colours; 0 = none
};

struct GifFrame {
    PixelRect rect;
    bool interlaced = false;
    TableRef table;  // the local table, or the global one
    int32_t transparentIndex = -1;
    gif::Disposal disposal = gif::Disposal::Unspecified;
    uint16_t delay = 0;
    int minCodeSize = 0;
    size_t dataAt = 0;  // the first sub-block of the code stream
};

struct GifLayout {
    int32_t width = 0;
    int32_t height = 0;
    TableRef global;
    uint8_t background = 0;
    std::vector<GifFrame> frames;
};

// Skips sub-blocks up to and including the ending 0.
bool SkipSubBlocks(ByteReader& in) {
    for (uint8_t n = in.u8(); in.ok() && n != 0; n = in.u8()) {
        in.skip(n);
    }
    return in.ok();
}

TableRef ReadTable(ByteReader& in, uint8_t flags) {
    if ((flags & 0x80) == 0) {
        return {};
    }
    const TableRef table{in.position(), 2u << (flags & 7)};
    in.skip(3 * size_t(table.size));
    return table;
}

std::string ReadGraphicControl(ByteReader& in, GifFrame& pending) {
    if (in.u8() != 4) {
        return "a graphic control block is not 4 bytes long";
    }
    const uint8_t flags = in.u8();
    pending.delay = in.u16le();
    const uint8_t transparent = in.u8();
    pending.transparentIndex = (flags & 1) != 0 ? transparent : -1;
    pending.disposal = gif::Disposal((flags >> 2) & 7);
    if (uint8_t(pending.disposal) > 3) {
        pending.disposal = gif::Disposal::Unspecified;  // reserved values: left as it is
    }
    return SkipSubBlocks(in) ? "" : "the file ends inside a graphic control block";
}

std::string ReadImage(ByteReader& in, const GifLayout& layout, GifFrame& frame) {
    const size_t number = layout.frames.size() + 1;
    frame.rect.left = in.u16le();
    frame.rect.top = in.u16le();
    frame.rect.width = in.u16le();
    frame.rect.height = in.u16le();
    const uint8_t flags = in.u8();
    frame.interlaced = (flags & 0x40) != 0;
    const TableRef local = ReadTable(in, flags);
    frame.table = local.size != 0 ? local : layout.global;
    frame.minCodeSize = in.u8();
    frame.dataAt = in.position();
    if (!SkipSubBlocks(in)) {
        return "the file ends inside frame " + std::to_string(number);
    }
    const PixelRect& r = frame.rect;
    if (r.Empty() || r.left + r.width > layout.width || r.top + r.height > layout.height) {
        return "frame " + std::to_string(number) + " (" + std::to_string(r.width) + " x " +
               std::to_string(r.height) + " at " + std::to_string(r.left) + ", " +
               std::to_string(r.top) + ") is not inside the " + std::to_string(layout.width) +
               " x " + std::to_string(layout.height) + " picture";
    }
    if (frame.table.size == 0) {
        return "frame " + std::to_string(number) + " has no colour table";
    }
    return {};
}

std::string ReadBlocks(ByteReader& in, GifLayout& layout) {
    GifFrame pending;
    while (in.remaining() > 0) {
        const uint8_t kind = in.u8();
        if (kind == gif::kTrailer) {
            return {};
        }
        if (kind == gif::kImage) {
            if (std::string fault = ReadImage(in, layout, pending); !fault.empty()) {
                return fault;
            }
            layout.frames.push_back(pending);
            pending = GifFrame{};
        } else if (kind == gif::kExtension) {
            const uint8_t label = in.u8();
            std::string fault = label == gif::kGraphicControl ? ReadGraphicControl(in, pending)
                                : SkipSubBlocks(in)           ? ""
                                                    : "the file ends inside an extension block";
            if (!fault.empty()) {
                return fault;
            }
        } else {
            return "unknown block 0x" + std::string(1, "0123456789ABCDEF"[kind >> 4]) +
                   "0123456789ABCDEF"[kind & 15] + " at byte " + std::to_string(in.position() - 1);
        }
    }
    // Like other readers, a file cut after its last whole frame shows the frames it has.
    return {};
}

std::string ReadLayout(const uint8_t* data, size_t size, GifLayout& layout) {
    ByteReader in(data, size);
    char signature[6] = {};
    in.bytes(signature, 6);
    const std::string_view text(signature, 6);
    if (text != "GIF87a" && text != "GIF89a") {
        return "not a GIF file";
    }
    layout.width = in.u16le();
    layout.height = in.u16le();
    const uint8_t flags = in.u8();
    layout.background = in.u8();
    in.u8();  // aspect ratio
    layout.global = ReadTable(in, flags);
    if (!in.ok()) {
        return "the GIF header ends early";
    }
    if (layout.width == 0 || layout.height == 0) {
        return "the GIF picture is " + std::to_string(layout.width) + " x " +
               std::to_string(layout.height) + " pixels";
    }
    if (std::string fault = ReadBlocks(in, layout); !fault.empty()) {
        return fault;
    }
    return layout.frames.empty() ? "the GIF holds no picture" : "";
}

// Decodes frame's pixels (its rectangle, rows top-down) and checks them against its table.
std::string DecodeFrame(const uint8_t* data, size_t size, const GifFrame& frame, size_t number,
                        std::vector<uint8_t>& codes, std::vector<uint8_t>& pixels) {
    codes.clear();
    ByteReader in(data + frame.dataAt, size - frame.dataAt);
    for (uint8_t n = in.u8(); n != 0; n = in.u8()) {
        const size_t at = codes.size();
        codes.resize(at + n);
        in.bytes(codes.data() + at, n);
    }
    const size_t count = size_t(frame.rect.width) * size_t(frame.rect.height);
    pixels.resize(count);
    std::string fault =
        DecodeLzw(codes.data(), codes.size(), frame.minCodeSize, pixels.data(), count);
    if (fault.empty()) {
        const uint8_t highest = *std::max_element(pixels.begin(), pixels.end());
        if (highest >= frame.table.size) {
            fault = "colour " + std::to_string(highest) + " beyond the table of " +
                    std::to_string(frame.table.size);
        }
    }
    if (!fault.empty()) {
        return "frame " + std::to_string(number) + ": " + fault;
    }
    if (frame.interlaced) {
        // Rows were sent every 8th from 0, every 8th from 4, every 4th from 2, every 2nd from 1.
        std::vector<uint8_t> rows(count);
        const size_t w = size_t(frame.rect.width);
        size_t source = 0;
        for (const auto& [start, step] : {std::pair{0, 8}, {4, 8}, {2, 4}, {1, 2}}) {
            for (int32_t y = start; y < frame.rect.height; y += step, source += w) {
                std::copy_n(pixels.begin() + ptrdiff_t(source), w,
                            rows.begin() + ptrdiff_t(size_t(y) * w));
            }
        }
        pixels.swap(rows);
    }
    return {};
}

constexpr uint16_t kClear = 256;

// The picture a viewer shows, frame after frame. Work per frame is its rectangle's, not the
// picture's: a small file of many small frames on a large picture stays quick. The count of
// clear pixels follows every change.
class Compositor {
public:
    explicit Compositor(const GifLayout& layout)
        : layout_(layout),
          canvas_(size_t(layout.width) * size_t(layout.height), kClear),
          clear_(canvas_.size()) {}

    // Draws frame k (its decoded pixels) over what the frame before left, each table index
    // given as map[index].
    void Draw(size_t k, const std::vector<uint8_t>& pixels, const std::array<uint16_t, 256>& map) {
        const GifFrame& frame = layout_.frames[k];
        if (k > 0) {
            Dispose(layout_.frames[k - 1]);
        }
        const PixelRect& r = frame.rect;
        if (frame.disposal == gif::Disposal::Previous) {
            // Only the rectangle changes, so only it is put back afterwards.
            saved_.clear();
            ForRows(r, [&](uint16_t* row) { saved_.insert(saved_.end(), row, row + r.width); });
        }
        const uint8_t* from = pixels.data();
        ForRows(r, [&](uint16_t* row) {
            for (int32_t x = 0; x < r.width; ++x, ++from) {
                if (int32_t(*from) != frame.transparentIndex) {
                    clear_ -= row[x] == kClear ? 1 : 0;
                    row[x] = map[*from];
                }
            }
        });
    }
    const std::vector<uint16_t>& Canvas() const { return canvas_; }
    bool AnyClear() const { return clear_ != 0; }

private:
    template <class Action>
    void ForRows(const PixelRect& r, Action action) {
        for (int32_t y = r.top; y < r.top + r.height; ++y) {
            action(canvas_.data() + size_t(y) * size_t(layout_.width) + size_t(r.left));
        }
    }
    void Dispose(const GifFrame& shown) {
        const PixelRect& r = shown.rect;
        if (shown.disposal == gif::Disposal::Previous) {
            const uint16_t* from = saved_.data();
            ForRows(r, [&](uint16_t* row) {
                for (int32_t x = 0; x < r.width; ++x, ++from) {
                    clear_ += size_t(*from == kClear) - size_t(row[x] == kClear);
                    row[x] = *from;
                }
            });
        } else if (shown.disposal == gif::Disposal::Background) {
            ForRows(r, [&](uint16_t* row) {
                clear_ += size_t(r.width - std::count(row, row + r.width, kClear));
                std::fill_n(row, r.width, kClear);
            });
        }
    }

    const GifLayout& layout_;
    std::vector<uint16_t> canvas_;
    std::vector<uint16_t> saved_;  // the rectangle of a frame to be put back
    size_t clear_;
};

using Rgb = std::array<uint8_t, 3>;

Rgb TableColour(const uint8_t* data, const TableRef& table, uint32_t index) {
    const uint8_t* c = data + table.at + 3 * size_t(index);
    return {c[0], c[1], c[2]};
}

// Builds the movie from the decoded layout.
class GifDecoder {
public:
    GifDecoder(const uint8_t* data, size_t size, const GifLayout& layout, ProgressSink* progress)
        : data_(data), size_(size), layout_(layout), progress_(progress) {}

    std::string Run(DecodedMovie& movie);

private:
    std::string Survey();
    std::string Keep(DecodedMovie& movie);
    std::array<uint16_t, 256> MapOf(const GifFrame& frame) const;
    void KeepFrame(const std::vector<uint16_t>& canvas, std::vector<uint8_t>& frame) const;

    const uint8_t* data_;
    size_t size_;
    const GifLayout& layout_;
    ProgressSink* progress_;
    std::vector<uint8_t> codes_;
    std::vector<uint8_t> pixels_;
    std::map<Rgb, uint16_t> index_;  // colour -> palette index (before the clear colour)
    std::vector<Rgb> colours_;
    bool anyClear_ = false;
};

std::string GifDecoder::Survey() {
    Compositor compositor(layout_);
    const std::array<uint16_t, 256> opaque{};  // only clear or not matters here
    for (size_t k = 0; k < layout_.frames.size(); ++k) {
        const GifFrame& frame = layout_.frames[k];
        if (std::string fault = DecodeFrame(data_, size_, frame, k + 1, codes_, pixels_);
            !fault.empty()) {
            return fault;
        }
        std::array<bool, 256> used{};
        for (size_t i = 0; i < pixels_.size(); ++i) {
            used[pixels_[i]] = true;
        }
        for (uint32_t c = 0; c < 256; ++c) {
            if (used[c] && int32_t(c) != frame.transparentIndex) {
                const Rgb colour = TableColour(data_, frame.table, c);
                if (index_.emplace(colour, uint16_t(colours_.size())).second) {
                    colours_.push_back(colour);
                }
            }
        }
        compositor.Draw(k, pixels_, opaque);
        anyClear_ = anyClear_ || compositor.AnyClear();
        if (!Report(progress_, 1, kProgressStep)) {
            return "cancelled";
        }
    }
    const size_t total = colours_.size() + (anyClear_ ? 1 : 0);
    if (total > 256) {
        return "the GIF uses " + std::to_string(total) +
               (anyClear_ ? " colours with transparency" : " colours") +
               "; a movie holds at most 256";
    }
    return {};
}

std::array<uint16_t, 256> GifDecoder::MapOf(const GifFrame& frame) const {
    std::array<uint16_t, 256> map{};
    const uint16_t shift = anyClear_ ? 1 : 0;
    for (uint32_t c = 0; c < frame.table.size && c < 256; ++c) {
        const auto found = index_.find(TableColour(data_, frame.table, c));
        map[c] = found != index_.end() ? uint16_t(found->second + shift) : 0;
    }
    return map;
}

void GifDecoder::KeepFrame(const std::vector<uint16_t>& canvas, std::vector<uint8_t>& frame) const {
    const size_t stride = Stride8(layout_.width);
    frame.assign(stride * size_t(layout_.height), 0);
    for (int32_t y = 0; y < layout_.height; ++y) {
        const uint16_t* from = canvas.data() + size_t(y) * size_t(layout_.width);
        uint8_t* to = frame.data() + stride * size_t(layout_.height - 1 - y);
        // kClear (256) keeps its low byte, 0: the transparent colour's index.
        static_assert(uint8_t(kClear) == 0);
        std::transform(from, from + layout_.width, to, [](uint16_t v) { return uint8_t(v); });
    }
}

std::string GifDecoder::Keep(DecodedMovie& movie) {
    Compositor compositor(layout_);
    movie.frames.resize(layout_.frames.size());
    for (size_t k = 0; k < layout_.frames.size(); ++k) {
        const GifFrame& frame = layout_.frames[k];
        if (std::string fault = DecodeFrame(data_, size_, frame, k + 1, codes_, pixels_);
            !fault.empty()) {
            return fault;
        }
        compositor.Draw(k, pixels_, MapOf(frame));
        KeepFrame(compositor.Canvas(), movie.frames[k]);
        if (!Report(progress_, 1, kProgressStep)) {
            return "cancelled";
        }
    }
    return {};
}

// The most frequent delay in milliseconds (delays below 2/100 s are shown as 1/10 s by
// browsers, and so taken here); whether others differ.
std::pair<uint32_t, bool> MovieDelay(const std::vector<GifFrame>& frames) {
    std::map<uint32_t, size_t> counts;
    for (const GifFrame& frame : frames) {
        ++counts[frame.delay < gif::kShortestDelay ? 100u : 10u * frame.delay];
    }
    const auto most =
        std::max_element(counts.begin(), counts.end(),
                         [](const auto& a, const auto& b) { return a.second < b.second; });
    const uint32_t ms =
        std::clamp<uint32_t>(most->first, kShortestFramePeriodMs, kLongestFramePeriodMs);
    return {ms, counts.size() > 1};
}

std::string GifDecoder::Run(DecodedMovie& movie) {
    const uint64_t frameBytes = uint64_t(Stride8(layout_.width)) * uint32_t(layout_.height);
    // The two canvases of the drawing (2 bytes a pixel) count as four more frames.
    if (std::string budget = CheckMovieBudget(layout_.frames.size() + 4, frameBytes);
        !budget.empty()) {
        return budget;
    }
    if (std::string fault = Survey(); !fault.empty()) {
        return fault;
    }
    movie.width = layout_.width;
    movie.height = layout_.height;
    movie.palette.clear();
    movie.transparentAtZero = anyClear_;
    if (anyClear_) {
        // The transparent colour shows as the background colour where transparency is off.
        const Rgb bg = layout_.global.size > layout_.background
                           ? TableColour(data_, layout_.global, layout_.background)
                           : Rgb{};
        movie.palette.push_back({bg[2], bg[1], bg[0], 0});
    }
    for (const Rgb& c : colours_) {
        movie.palette.push_back({c[2], c[1], c[0], 0});
    }
    std::tie(movie.periodMs, movie.delaysDiffer) = MovieDelay(layout_.frames);
    uint32_t largest = layout_.global.size;
    for (const GifFrame& frame : layout_.frames) {
        largest = std::max(largest, frame.table.size);
    }
    // Tables hold 2 to 256 colours: 1 to 8 bits.
    movie.sourceBits = 1;
    while ((2u << movie.sourceBits) <= largest) {
        ++movie.sourceBits;
    }
    return Keep(movie);
}

}  // namespace

std::string DecodeGif(const uint8_t* data, size_t size, ProgressSink* progress,
                      DecodedMovie& movie) {
    GifLayout layout;
    if (std::string fault = ReadLayout(data, size, layout); !fault.empty()) {
        return fault;
    }
    if (!Report(progress, uint32_t(std::min<size_t>(2 * layout.frames.size(), UINT32_MAX)),
                kPhaseDecoding)) {
        return "cancelled";
    }
    try {
        return GifDecoder(data, size, layout, progress).Run(movie);
    } catch (const std::bad_alloc&) {
        return "out of memory";
    }
}

int CAnimationDocument::LoadGif(ProgressSink* progress, const std::filesystem::path& path,
                                int32_t stripPeriodMs) {
    CancelWatch watch(progress);
    failureReason.clear();
    source = SourceInfo{};
    if (!StartLoad(0)) {
        return FailLoad("out of memory");
    }
    std::vector<uint8_t> bytes;
    if (std::string fault = ReadWholeFile(watch.Sink(), path, bytes); !fault.empty()) {
        return FailLoad(watch.Cancelled() ? "cancelled" : fault);
    }
    DecodedMovie movie;
    if (std::string fault = DecodeGif(bytes.data(), bytes.size(), watch.Sink(), movie);
        !fault.empty()) {
        return FailLoad(watch.Cancelled() ? "cancelled" : fault);
    }
    std::vector<uint8_t>().swap(bytes);
    // A single picture is a strip: it keeps the period a strip starts with.
    if (!TakeMovie(movie, movie.frames.size() == 1 ? stripPeriodMs : int32_t(movie.periodMs))) {
        return 0;
    }
    source.bitCount = movie.sourceBits;
    source.delaysDiffer = movie.delaysDiffer;
    return 1;
}

}  // namespace kx
