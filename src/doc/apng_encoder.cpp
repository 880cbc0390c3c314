#include "doc/apng_encoder.h"

#include <zlib.h>

#include <algorithm>
#include <array>
#include <cstdlib>
#include <new>

#include "doc/frame_delta.h"
#include "doc/png_chunks.h"

namespace kx {
namespace {

// One coded frame: where it goes, how it is laid down, what its predecessor leaves behind for
// the next frame, and its zlib stream.
struct FramePlan {
    PixelRect rect;
    uint8_t blend = png::kBlendSource;
    uint8_t dispose = png::kDisposeNone;
    std::vector<uint8_t> data;
};

struct TrimmedPalette {
    std::array<uint8_t, 256> remap{};  // new index of each old one
    std::vector<RgbQuad> colours;      // in new order
    bool transparent = false;          // new index 0 is transparent (tRNS)
};

// Indices of the trimmed palette, rows bottom-up as the document keeps them, without padding.
using Picture = std::vector<uint8_t>;

FrameView ViewOf(const Picture& picture, int32_t w, int32_t h) {
    return FrameView(picture.data(), w, h, uint32_t(w));
}

TrimmedPalette TrimPalette(const PaletteMovieView& movie) {
    ColourUses uses{};
    for (const FrameView& frame : movie.frames) {
        CountColourUses(frame, frame.Whole(), uses);
    }
    const std::vector<uint8_t> used = UsedColours(uses);
    TrimmedPalette trimmed;
    const auto take = [&](uint8_t old) {
        trimmed.remap[old] = uint8_t(trimmed.colours.size());
        trimmed.colours.push_back(movie.palette->entries[old]);
    };
    // The transparent colour first: then a tRNS chunk of one entry marks it.
    const int t =
        movie.transparentIndex >= 0 && movie.transparentIndex < 256 ? movie.transparentIndex : -1;
    if (t >= 0 && uses[size_t(t)] != 0) {
        take(uint8_t(t));
        trimmed.transparent = true;
    } else if (used.size() < 256 && movie.frames.size() > 1) {
        // An opaque movie with room in its palette gets a transparent entry that no shown
        // pixel keeps: later frames then leave unchanged pixels transparent (blend over),
        // which deflates far better than repeating them.
        trimmed.colours.push_back(RgbQuad{});
        trimmed.transparent = true;
    }
    for (const uint8_t old : used) {
        if (int(old) != t) {
            take(old);
        }
    }
    return trimmed;
}

void FillPicture(const FrameView& frame, const TrimmedPalette& palette, Picture& picture) {
    const int32_t w = frame.Width();
    const int32_t h = frame.Height();
    for (int32_t y = 0; y < h; ++y) {
        const uint8_t* row = frame.Row(y);
        uint8_t* out = picture.data() + size_t(h - 1 - y) * size_t(w);
        for (int32_t x = 0; x < w; ++x) {
            out[x] = palette.remap[row[x]];
        }
    }
}

// Where the picture shown and the next one differ; one pixel at the origin when they are equal
// (a frame needs at least one pixel).
PixelRect FrameRect(const Picture& base, const Picture& target, int32_t w, int32_t h) {
    const PixelRect rect = ChangedRect(ViewOf(base, w, h), ViewOf(target, w, h));
    return rect.Empty() ? PixelRect{0, 0, 1, 1} : rect;
}

// The rectangle's pixels as the frame carries them, rows top-down. With blend over, a pixel the
// base already shows is made transparent (index 0), which deflates better; over cannot turn a
// pixel transparent, so then false.
bool RectPixels(const Picture& base, const Picture& target, int32_t w, int32_t h,
                const PixelRect& r, uint8_t blend, Picture& out) {
    out.resize(size_t(r.width) * size_t(r.height));
    for (int32_t y = 0; y < r.height; ++y) {
        const size_t from = size_t(h - 1 - (r.top + y)) * size_t(w) + size_t(r.left);
        uint8_t* dst = out.data() + size_t(y) * size_t(r.width);
        for (int32_t x = 0; x < r.width; ++x) {
            const uint8_t t = target[from + size_t(x)];
            const uint8_t b = base[from + size_t(x)];
            if (blend == png::kBlendOver && t == 0 && b != 0) {
                return false;
            }
            dst[x] = (blend == png::kBlendOver && t == b) ? 0 : t;
        }
    }
    return true;
}

// Sum of the filtered bytes taken as signed: the usual measure of which filter suits a row.
uint64_t FilteredCost(const uint8_t* bytes, size_t n) {
    uint64_t sum = 0;
    for (size_t i = 0; i < n; ++i) {
        sum += uint64_t(std::abs(int(int8_t(bytes[i]))));
    }
    return sum;
}

// The rows behind their filter type bytes: all type 0, or each row's cheapest type.
Picture FilterRows(const Picture& rows, size_t rowBytes, size_t h, bool adaptive) {
    Picture out((rowBytes + 1) * h);
    Picture trial(rowBytes);
    for (size_t y = 0; y < h; ++y) {
        const uint8_t* row = rows.data() + y * rowBytes;
        const uint8_t* prior = y > 0 ? row - rowBytes : nullptr;
        uint8_t* dst = out.data() + y * (rowBytes + 1);
        dst[0] = 0;
        std::copy(row, row + rowBytes, dst + 1);
        uint64_t best = adaptive ? FilteredCost(row, rowBytes) : 0;
        for (uint8_t type = 1; adaptive && type <= 4; ++type) {
            png::FilterRow(type, row, prior, rowBytes, 1, trial.data());
            const uint64_t cost = FilteredCost(trial.data(), rowBytes);
            if (cost < best) {
                best = cost;
                dst[0] = type;
                std::copy(trial.begin(), trial.end(), dst + 1);
            }
        }
    }
    return out;
}

// The smallest zlib stream of a picture of rows top-down: unfiltered rows against adaptive
// filtering (with zlib's strategy for filtered data). Pixels are always 8 bits: packing fewer
// colours at 1, 2 or 4 bits deflated larger on the movies measured.
bool CompressPicture(const Picture& pixels, int32_t w, int32_t h, std::vector<uint8_t>& best) {
    best.clear();
    for (const bool adaptive : {false, true}) {
        std::vector<uint8_t> stream;
        const Picture filtered = FilterRows(pixels, size_t(w), size_t(h), adaptive);
        if (!png::Deflate(filtered, adaptive ? Z_FILTERED : Z_DEFAULT_STRATEGY, stream)) {
            return false;
        }
        if (best.empty() || stream.size() < best.size()) {
            best.swap(stream);
        }
    }
    return true;
}

// What the viewer holds before frame i under each disposal of frame i - 1.
struct Bases {
    const Picture* none = nullptr;      // frame i - 1 as shown
    Picture background;                 // frame i - 1 with its rectangle cleared
    const Picture* previous = nullptr;  // what lay under frame i - 1, or none for frame 1
};

// Tries every disposal of the frame before and both blends, keeping the smallest stream in
// plan; dispose receives the disposal it chose for the frame before.
bool PlanFrame(const Bases& bases, const Picture& target, int32_t w, int32_t h, bool transparent,
               FramePlan& plan, uint8_t& dispose) {
    const Picture* choices[3] = {};
    choices[png::kDisposeNone] = bases.none;
    choices[png::kDisposeBackground] = transparent ? &bases.background : nullptr;
    choices[png::kDisposePrevious] = bases.previous;
    Picture pixels;
    std::vector<uint8_t> stream;
    plan.data.clear();
    for (uint8_t d = png::kDisposeNone; d <= png::kDisposePrevious; ++d) {
        if (choices[d] == nullptr) {
            continue;
        }
        const PixelRect rect = FrameRect(*choices[d], target, w, h);
        for (const uint8_t blend : {png::kBlendSource, png::kBlendOver}) {
            if ((blend == png::kBlendOver && !transparent) ||
                !RectPixels(*choices[d], target, w, h, rect, blend, pixels)) {
                continue;
            }
            if (!CompressPicture(pixels, rect.width, rect.height, stream)) {
                return false;
            }
            if (plan.data.empty() || stream.size() < plan.data.size()) {
                plan.data.swap(stream);
                plan.rect = rect;
                plan.blend = blend;
                dispose = d;
            }
        }
    }
    return true;
}

// Background disposal: the frame's rectangle becomes transparent black, index 0.
void ClearRect(Picture& picture, int32_t w, int32_t h, const PixelRect& r) {
    for (int32_t y = r.top; y < r.top + r.height; ++y) {
        const size_t from = size_t(h - 1 - y) * size_t(w) + size_t(r.left);
        std::fill_n(picture.begin() + ptrdiff_t(from), r.width, uint8_t(0));
    }
}

// Codes every frame into plans, choosing each frame's disposal while coding the next.
bool PlanFrames(const PaletteMovieView& movie, const TrimmedPalette& palette,
                ProgressSink* progress, std::vector<FramePlan>& plans, std::string& reason) {
    const int32_t w = movie.frames[0].Width();
    const int32_t h = movie.frames[0].Height();
    Picture shown(size_t(w) * size_t(h));  // frame i - 1 as the viewer shows it
    Picture under;                         // what lay under frame i - 1
    Picture target(shown.size());
    for (size_t i = 0; i < plans.size(); ++i) {
        FillPicture(movie.frames[i], palette, target);
        bool coded = false;
        if (i == 0) {
            plans[0].rect = PixelRect{0, 0, w, h};
            Picture topDown(target.size());
            RectPixels(target, target, w, h, plans[0].rect, png::kBlendSource, topDown);
            coded = CompressPicture(topDown, w, h, plans[0].data);
        } else {
            Bases bases;
            bases.none = &shown;
            if (palette.transparent) {
                bases.background = shown;
                ClearRect(bases.background, w, h, plans[i - 1].rect);
            }
            bases.previous = i >= 2 ? &under : nullptr;
            coded =
                PlanFrame(bases, target, w, h, palette.transparent, plans[i], plans[i - 1].dispose);
            const uint8_t d = plans[i - 1].dispose;
            if (d != png::kDisposePrevious) {
                under = d == png::kDisposeBackground ? bases.background : shown;
            }
        }
        if (!coded) {
            reason = "out of memory while coding the frames";
            return false;
        }
        shown.swap(target);
        if (!Report(progress, 1, kProgressStep)) {
            reason = "cancelled";
            return false;
        }
    }
    return true;
}

void AppendFrameControl(std::vector<uint8_t>& out, uint32_t sequence, const FramePlan& plan,
                        uint32_t delayMs) {
    std::vector<uint8_t> data;
    png::PutU32be(data, sequence);                    // sequence_number
    png::PutU32be(data, uint32_t(plan.rect.width));   // width
    png::PutU32be(data, uint32_t(plan.rect.height));  // height
    png::PutU32be(data, uint32_t(plan.rect.left));    // x_offset
    png::PutU32be(data, uint32_t(plan.rect.top));     // y_offset
    png::PutU16be(data, uint16_t(delayMs));           // delay_num: milliseconds ...
    png::PutU16be(data, 1000);                        // delay_den: ... of a second
    data.push_back(plan.dispose);                     // dispose_op
    data.push_back(plan.blend);                       // blend_op
    png::AppendChunk(out, png::kFCTL, data);          // 26 bytes of data
}

void AppendHeaders(std::vector<uint8_t>& out, const PaletteMovieView& movie,
                   const TrimmedPalette& palette) {
    out.assign(std::begin(png::kSignature), std::end(png::kSignature));
    std::vector<uint8_t> ihdr;
    png::PutU32be(ihdr, uint32_t(movie.frames[0].Width()));   // width
    png::PutU32be(ihdr, uint32_t(movie.frames[0].Height()));  // height
    ihdr.push_back(8);                                        // bit depth
    ihdr.push_back(3);                                        // colour type: palette indices
    ihdr.push_back(0);                                        // compression method: deflate
    ihdr.push_back(0);                                        // filter method: adaptive, five types
    ihdr.push_back(0);                                        // interlace method: none
    png::AppendChunk(out, png::kIHDR, ihdr);
    std::vector<uint8_t> plte;
    for (const RgbQuad& c : palette.colours) {
        plte.insert(plte.end(), {c.red, c.green, c.blue});  // one RGB triple per entry
    }
    png::AppendChunk(out, png::kPLTE, plte);
    if (palette.transparent) {
        const uint8_t alpha = 0;  // entry 0 fully transparent; the rest stay opaque
        png::AppendChunk(out, png::kTRNS, &alpha, 1);
    }
    std::vector<uint8_t> actl;
    png::PutU32be(actl, uint32_t(movie.frames.size()));  // num_frames
    png::PutU32be(actl, movie.loops);                    // num_plays, 0 = forever
    png::AppendChunk(out, png::kACTL, actl);
}

void AppendFrames(std::vector<uint8_t>& out, const std::vector<FramePlan>& plans,
                  uint32_t delayMs) {
    uint32_t sequence = 0;
    for (size_t i = 0; i < plans.size(); ++i) {
        AppendFrameControl(out, sequence++, plans[i], delayMs);
        if (i == 0) {
            // The first frame is the default image: viewers without animation show it.
            png::AppendChunk(out, png::kIDAT, plans[0].data);
            continue;
        }
        std::vector<uint8_t> fdat;
        fdat.reserve(plans[i].data.size() + 4);
        png::PutU32be(fdat, sequence++);                                      // sequence_number
        fdat.insert(fdat.end(), plans[i].data.begin(), plans[i].data.end());  // frame data
        png::AppendChunk(out, png::kFDAT, fdat);
    }
    png::AppendChunk(out, png::kIEND, nullptr, 0);
}

bool SameSize(const std::vector<FrameView>& frames) {
    for (const FrameView& frame : frames) {
        if (!frame.Valid() || frame.Width() != frames[0].Width() ||
            frame.Height() != frames[0].Height()) {
            return false;
        }
    }
    return true;
}

}  // namespace

bool EncodeApng(const PaletteMovieView& movie, ProgressSink* progress, std::vector<uint8_t>& out,
                std::string& reason) {
    if (movie.frames.empty() || !SameSize(movie.frames) || movie.palette == nullptr ||
        movie.delayMs == 0 || movie.delayMs > 0xFFFF) {
        reason = "no movie to write";
        return false;
    }
    try {
        const TrimmedPalette palette = TrimPalette(movie);
        std::vector<FramePlan> plans(movie.frames.size());
        if (!PlanFrames(movie, palette, progress, plans, reason)) {
            return false;
        }
        AppendHeaders(out, movie, palette);
        AppendFrames(out, plans, movie.delayMs);
    } catch (const std::bad_alloc&) {
        reason = "out of memory while coding the frames";
        return false;
    }
    return true;
}

}  // namespace kx
