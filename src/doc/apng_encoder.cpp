#include "doc/apng_encoder.h"

#include <zlib.h>

#include <algorithm>
#include <array>
#include <cstdlib>
#include <new>

#include "doc/png_chunks.h"

namespace kx {
namespace {

// fcTL's dispose_op and blend_op values.
constexpr uint8_t kDisposeNone = 0;
constexpr uint8_t kDisposeBackground = 1;
constexpr uint8_t kDisposePrevious = 2;
constexpr uint8_t kBlendSource = 0;
constexpr uint8_t kBlendOver = 1;

struct Rect {
    uint32_t x = 0;
    uint32_t y = 0;
    uint32_t w = 0;
    uint32_t h = 0;
};

// One coded frame: where it goes, how it is laid down, what its predecessor leaves behind for
// the next frame, and its zlib stream.
struct FramePlan {
    Rect rect;
    uint8_t blend = kBlendSource;
    uint8_t dispose = kDisposeNone;
    std::vector<uint8_t> data;
};

struct TrimmedPalette {
    std::array<uint8_t, 256> remap{};  // new index of each old one
    std::vector<RgbQuad> colours;      // in new order
    bool transparent = false;          // new index 0 is shown transparent
};

using Picture = std::vector<uint8_t>;  // indices of the trimmed palette, rows top-down

const uint8_t* SourceRow(const PaletteMovieView& movie, size_t frame, uint32_t y) {
    return movie.frames[frame] + size_t(uint32_t(movie.height) - 1 - y) * movie.stride;
}

TrimmedPalette TrimPalette(const PaletteMovieView& movie) {
    std::array<bool, 256> used{};
    for (size_t f = 0; f < movie.frames.size(); ++f) {
        for (uint32_t y = 0; y < uint32_t(movie.height); ++y) {
            const uint8_t* row = SourceRow(movie, f, y);
            for (int32_t x = 0; x < movie.width; ++x) {
                used[row[x]] = true;
            }
        }
    }
    TrimmedPalette trimmed;
    const auto take = [&](int old) {
        trimmed.remap[size_t(old)] = uint8_t(trimmed.colours.size());
        trimmed.colours.push_back(movie.palette->entries[size_t(old)]);
        used[size_t(old)] = false;
    };
    // The transparent colour first: then a tRNS chunk of one entry marks it.
    const int t = movie.transparentIndex;
    if (t >= 0 && t < 256 && used[size_t(t)]) {
        trimmed.transparent = true;
        take(t);
    }
    for (int old = 0; old < 256; ++old) {
        if (used[size_t(old)]) {
            take(old);
        }
    }
    return trimmed;
}

void FillPicture(const PaletteMovieView& movie, const TrimmedPalette& palette, size_t frame,
                 Picture& picture) {
    const uint32_t w = uint32_t(movie.width);
    for (uint32_t y = 0; y < uint32_t(movie.height); ++y) {
        const uint8_t* row = SourceRow(movie, frame, y);
        uint8_t* out = picture.data() + size_t(y) * w;
        for (uint32_t x = 0; x < w; ++x) {
            out[x] = palette.remap[row[x]];
        }
    }
}

// Bounding box of the pixels where base and target differ; one pixel at the origin when they
// are equal (a frame needs at least one pixel).
Rect ChangedRect(const Picture& base, const Picture& target, uint32_t w, uint32_t h) {
    uint32_t left = w;
    uint32_t right = 0;
    uint32_t top = h;
    uint32_t bottom = 0;
    for (uint32_t y = 0; y < h; ++y) {
        const uint8_t* b = base.data() + size_t(y) * w;
        const uint8_t* t = target.data() + size_t(y) * w;
        uint32_t x = 0;
        while (x < w && b[x] == t[x]) {
            ++x;
        }
        if (x == w) {
            continue;
        }
        uint32_t last = w - 1;
        while (b[last] == t[last]) {
            --last;
        }
        left = std::min(left, x);
        right = std::max(right, last);
        top = std::min(top, y);
        bottom = y;
    }
    if (left == w) {
        return Rect{0, 0, 1, 1};
    }
    return Rect{left, top, right - left + 1, bottom - top + 1};
}

// The rectangle's pixels as the frame carries them. With blend over, a pixel the base already
// shows is made transparent (index 0), which deflates better; over cannot turn a pixel
// transparent, so then false.
bool RectPixels(const Picture& base, const Picture& target, uint32_t w, const Rect& r,
                uint8_t blend, Picture& out) {
    out.resize(size_t(r.w) * r.h);
    for (uint32_t y = 0; y < r.h; ++y) {
        const size_t from = size_t(r.y + y) * w + r.x;
        for (uint32_t x = 0; x < r.w; ++x) {
            const uint8_t t = target[from + x];
            const uint8_t b = base[from + x];
            if (blend == kBlendOver && t == 0 && b != 0) {
                return false;
            }
            out[size_t(y) * r.w + x] = (blend == kBlendOver && t == b) ? 0 : t;
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

// The packed rows behind their filter type bytes: all type 0, or each row's cheapest type.
Picture FilterRows(const Picture& packed, size_t rowBytes, uint32_t h, bool adaptive) {
    Picture out((rowBytes + 1) * h);
    Picture trial(rowBytes);
    for (uint32_t y = 0; y < h; ++y) {
        const uint8_t* row = packed.data() + y * rowBytes;
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

// The smallest zlib stream of the picture: unfiltered rows against adaptive filtering. Pixels
// are always 8 bits: packing fewer colours at 1, 2 or 4 bits deflated larger on the movies
// measured, and ffmpeg 5.1 draws such frames wrongly when they do not cover the canvas.
bool CompressPicture(const Picture& pixels, uint32_t w, uint32_t h, std::vector<uint8_t>& best) {
    const size_t rowBytes = w;
    const Picture& packed = pixels;
    best.clear();
    for (const bool adaptive : {false, true}) {
        std::vector<uint8_t> stream;
        if (!png::Deflate(FilterRows(packed, rowBytes, h, adaptive), Z_DEFAULT_STRATEGY, stream)) {
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
bool PlanFrame(const Bases& bases, const Picture& target, uint32_t w, uint32_t h, bool transparent,
               FramePlan& plan, uint8_t& dispose) {
    const Picture* choices[3] = {bases.none, transparent ? &bases.background : nullptr,
                                 bases.previous};
    Picture pixels;
    std::vector<uint8_t> stream;
    plan.data.clear();
    for (uint8_t d = kDisposeNone; d <= kDisposePrevious; ++d) {
        if (choices[d] == nullptr) {
            continue;
        }
        const Rect rect = ChangedRect(*choices[d], target, w, h);
        for (const uint8_t blend : {kBlendSource, kBlendOver}) {
            if ((blend == kBlendOver && !transparent) ||
                !RectPixels(*choices[d], target, w, rect, blend, pixels)) {
                continue;
            }
            if (!CompressPicture(pixels, rect.w, rect.h, stream)) {
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

void ClearRect(Picture& picture, uint32_t w, const Rect& r) {
    for (uint32_t y = r.y; y < r.y + r.h; ++y) {
        std::fill_n(picture.begin() + ptrdiff_t(size_t(y) * w + r.x), r.w, uint8_t(0));
    }
}

// Codes every frame into plans, choosing each frame's disposal while coding the next.
bool PlanFrames(const PaletteMovieView& movie, const TrimmedPalette& palette,
                ProgressSink* progress, std::vector<FramePlan>& plans, std::string& reason) {
    const uint32_t w = uint32_t(movie.width);
    const uint32_t h = uint32_t(movie.height);
    Picture shown(size_t(w) * h);  // frame i - 1 as the viewer shows it
    Picture under;                 // what lay under frame i - 1
    Picture target(shown.size());
    for (size_t i = 0; i < plans.size(); ++i) {
        FillPicture(movie, palette, i, target);
        bool coded = false;
        if (i == 0) {
            plans[0].rect = Rect{0, 0, w, h};
            coded = CompressPicture(target, w, h, plans[0].data);
        } else {
            Bases bases;
            bases.none = &shown;
            if (palette.transparent) {
                bases.background = shown;
                ClearRect(bases.background, w, plans[i - 1].rect);
            }
            bases.previous = i >= 2 ? &under : nullptr;
            coded =
                PlanFrame(bases, target, w, h, palette.transparent, plans[i], plans[i - 1].dispose);
            const uint8_t d = plans[i - 1].dispose;
            if (d != kDisposePrevious) {
                under = d == kDisposeNone ? shown : bases.background;
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
    png::PutU32be(data, sequence);            // sequence_number
    png::PutU32be(data, plan.rect.w);         // width
    png::PutU32be(data, plan.rect.h);         // height
    png::PutU32be(data, plan.rect.x);         // x_offset
    png::PutU32be(data, plan.rect.y);         // y_offset
    png::PutU16be(data, uint16_t(delayMs));   // delay_num: milliseconds ...
    png::PutU16be(data, 1000);                // delay_den: ... of a second
    data.push_back(plan.dispose);             // dispose_op
    data.push_back(plan.blend);               // blend_op
    png::AppendChunk(out, png::kFCTL, data);  // 26 bytes of data
}

void AppendHeaders(std::vector<uint8_t>& out, const PaletteMovieView& movie,
                   const TrimmedPalette& palette) {
    out.assign(std::begin(png::kSignature), std::end(png::kSignature));
    std::vector<uint8_t> ihdr;
    png::PutU32be(ihdr, uint32_t(movie.width));   // width
    png::PutU32be(ihdr, uint32_t(movie.height));  // height
    ihdr.push_back(8);                            // bit depth
    ihdr.push_back(3);                            // colour type: palette indices
    ihdr.push_back(0);                            // compression method: deflate
    ihdr.push_back(0);                            // filter method: adaptive, five types
    ihdr.push_back(0);                            // interlace method: none
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

}  // namespace

bool EncodeApng(const PaletteMovieView& movie, ProgressSink* progress, std::vector<uint8_t>& out,
                std::string& reason) {
    if (movie.frames.empty() || movie.width <= 0 || movie.height <= 0 || movie.palette == nullptr ||
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
