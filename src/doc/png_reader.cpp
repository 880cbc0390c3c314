// Opening a PNG file: a still image becomes a strip (frame 0 is the whole picture, as for a
// bitmap), an animated PNG a movie of its frames composited as a viewer shows them.
//
// The order keeps hostile files cheap: the whole file is read (it must fit one buffer), the
// chunks are walked and checked without decoding anything, the movie's memory budget is checked
// for the canvas and every frame, and only then are pixels inflated, each image into a buffer
// of exactly its own size.
#include <algorithm>
#include <cerrno>
#include <map>
#include <new>
#include <string>
#include <utility>
#include <vector>

#include "doc/animation_document.h"
#include "doc/cancel_watch.h"
#include "doc/file_io.h"
#include "doc/png_decoder.h"
#include "doc/png_palette.h"

namespace kx {
namespace {

using png::Rgba;

constexpr uint32_t kLongestDelayMs = 60000;

bool ReadWholeFile(const std::filesystem::path& path, std::vector<uint8_t>& bytes,
                   std::string& reason) {
    InputFile file;
    if (!file.Open(path)) {
        reason = errno == ENOENT ? "no such file" : DescribeFileError(errno);
        return false;
    }
    if (file.Size() > kMaxBufferBytes) {
        reason = "a PNG file of " + std::to_string(file.Size() >> 20) + " MB is too large";
        return false;
    }
    try {
        bytes.resize(size_t(file.Size()));
    } catch (const std::bad_alloc&) {
        reason = "out of memory";
        return false;
    }
    if (!file.ReadExact(bytes.data(), bytes.size())) {
        reason = "the file cannot be read to its end";
        return false;
    }
    return true;
}

// A frame's delay in milliseconds; a denominator of 0 means hundredths.
uint32_t DelayMs(const png::FrameControl& f) {
    const uint32_t den = f.delayDen == 0 ? 100 : f.delayDen;
    const uint32_t ms = (uint32_t(f.delayNum) * 1000 + den / 2) / den;
    return std::clamp<uint32_t>(ms, 1, kLongestDelayMs);
}

// The delay most frames have (the earliest of equally frequent ones).
uint32_t MostFrequentDelay(const png::PngFile& file, bool& differ) {
    std::map<uint32_t, uint32_t> counts;
    for (const png::AnimationFrame& frame : file.frames) {
        ++counts[DelayMs(frame.control)];
    }
    differ = counts.size() > 1;
    uint32_t best = DelayMs(file.frames[0].control);
    for (const png::AnimationFrame& frame : file.frames) {
        const uint32_t delay = DelayMs(frame.control);
        if (counts[delay] > counts[best]) {
            best = delay;
        }
    }
    return best;
}

// Lays a frame's pixels on the canvas by its blend operation.
void Blend(const png::FrameControl& f, const std::vector<Rgba>& frame, uint32_t canvasWidth,
           std::vector<Rgba>& canvas) {
    for (uint32_t y = 0; y < f.height; ++y) {
        const Rgba* src = frame.data() + size_t(y) * f.width;
        Rgba* dst = canvas.data() + size_t(f.y + y) * canvasWidth + f.x;
        for (uint32_t x = 0; x < f.width; ++x) {
            const uint32_t a = png::AlphaOf(src[x]);
            if (f.blend == png::kBlendSource || a == 255) {
                dst[x] = src[x];
            } else if (a != 0) {
                // Partial alpha over what lies below ("over" compositing, rounded).
                const uint32_t b = png::AlphaOf(dst[x]);
                const uint32_t outAlpha = a + (255 - a) * b / 255;
                uint32_t mixed = outAlpha << 24;
                for (int shift = 0; shift < 24; shift += 8) {
                    const uint32_t fc = (src[x] >> shift) & 0xFF;
                    const uint32_t bc = (dst[x] >> shift) & 0xFF;
                    const uint32_t c =
                        (fc * a * 255 + bc * b * (255 - a) + outAlpha * 127) / (outAlpha * 255);
                    mixed |= std::min<uint32_t>(c, 255) << shift;
                }
                dst[x] = mixed;
            }
        }
    }
}

void CopyRegion(const png::FrameControl& f, uint32_t canvasWidth, const std::vector<Rgba>& from,
                std::vector<Rgba>& to) {
    for (uint32_t y = 0; y < f.height; ++y) {
        const size_t at = size_t(f.y + y) * canvasWidth + f.x;
        std::copy_n(from.begin() + ptrdiff_t(at), f.width, to.begin() + ptrdiff_t(at));
    }
}

void ClearRegion(const png::FrameControl& f, uint32_t canvasWidth, std::vector<Rgba>& canvas) {
    for (uint32_t y = 0; y < f.height; ++y) {
        const size_t at = size_t(f.y + y) * canvasWidth + f.x;
        std::fill_n(canvas.begin() + ptrdiff_t(at), f.width, Rgba(0));
    }
}

// Decodes, composites and maps every frame of an animation into the document's frames.
class AnimationLoader {
public:
    AnimationLoader(const png::PngFile& file, RgbaPaletteBuilder& colours, ProgressSink* sink)
        : file_(file), colours_(colours), sink_(sink) {}

    bool Load(std::vector<FrameChunk>& frames, uint32_t stride, std::string& reason);

private:
    bool Frame(size_t k, FrameChunk& out, uint32_t stride, std::string& reason);

    const png::PngFile& file_;
    RgbaPaletteBuilder& colours_;
    ProgressSink* sink_;
    std::vector<Rgba> canvas_;
    std::vector<Rgba> saved_;
    std::vector<Rgba> pixels_;
};

bool AnimationLoader::Load(std::vector<FrameChunk>& frames, uint32_t stride, std::string& reason) {
    const png::ImageHeader& h = file_.header;
    canvas_.assign(size_t(h.width) * h.height, 0);  // transparent black before the first frame
    for (size_t k = 0; k < frames.size(); ++k) {
        if (!Frame(k, frames[k], stride, reason)) {
            return false;
        }
        if (!Report(sink_, 1, kProgressStep)) {
            reason = "cancelled";
            return false;
        }
    }
    return true;
}

bool AnimationLoader::Frame(size_t k, FrameChunk& out, uint32_t stride, std::string& reason) {
    const png::ImageHeader& h = file_.header;
    const png::FrameControl& f = file_.frames[k].control;
    if (!png::DecodeImage(file_, file_.frames[k].pieces, f.width, f.height, pixels_, reason)) {
        reason = "frame " + std::to_string(k) + ": " + reason;
        return false;
    }
    // The first frame's "previous" is the cleared canvas, as background disposal leaves it.
    const uint8_t dispose = (k == 0 && f.dispose == png::kDisposePrevious)
                                ? uint8_t(png::kDisposeBackground)
                                : f.dispose;
    if (dispose == png::kDisposePrevious) {
        saved_ = canvas_;
    }
    Blend(f, pixels_, h.width, canvas_);
    out.data.assign(size_t(stride) * h.height, 0);
    colours_.Map(canvas_, h.width, h.height, stride, out.data.data());
    if (dispose == png::kDisposeBackground) {
        ClearRegion(f, h.width, canvas_);
    } else if (dispose == png::kDisposePrevious) {
        CopyRegion(f, h.width, saved_, canvas_);
    }
    return true;
}

// Palette and grey images without transparent pixels keep their own palette.
bool KeepsOwnPalette(const png::PngFile& file, const std::vector<Rgba>& pixels,
                     std::vector<Rgba>& colours) {
    const png::ImageHeader& h = file.header;
    if (h.colourType != png::kIndexed && h.colourType != png::kGrey) {
        return false;
    }
    if (std::any_of(pixels.begin(), pixels.end(), [](Rgba c) { return png::AlphaOf(c) != 255; })) {
        return false;
    }
    if (h.colourType == png::kIndexed) {
        colours = file.palette;
        return true;
    }
    const uint32_t levels = h.depth >= 8 ? 256 : 1u << h.depth;
    for (uint32_t i = 0; i < levels; ++i) {
        const uint8_t v = uint8_t(i * 255 / (levels - 1));
        colours.push_back(png::MakeRgba(v, v, v, 255));
    }
    return true;
}

// Decodes the image (or every frame) into the document's frames, mapping the colours.
bool DecodeFrames(const png::PngFile& file, uint32_t stride, RgbaPaletteBuilder& colours,
                  std::vector<FrameChunk>& frames, ProgressSink* sink, std::string& reason) {
    const png::ImageHeader& h = file.header;
    if (file.animated) {
        // A single-frame animation is composited too: its frame need not be the IDAT.
        AnimationLoader loader(file, colours, sink);
        return loader.Load(frames, stride, reason);
    }
    std::vector<Rgba> pixels;
    if (!png::DecodeImage(file, file.image, h.width, h.height, pixels, reason)) {
        return false;
    }
    std::vector<Rgba> own;
    if (KeepsOwnPalette(file, pixels, own)) {
        colours.KeepPalette(own);
    }
    frames[0].data.assign(size_t(stride) * h.height, 0);
    colours.Map(pixels, h.width, h.height, stride, frames[0].data.data());
    return true;
}

}  // namespace

int CAnimationDocument::LoadPng(ProgressSink* progress, const std::filesystem::path& path,
                                int32_t framePeriodMs) {
    CancelWatch watch(progress);
    failureReason.clear();
    source = SourceInfo{};
    // A failed load leaves nothing loaded.
    const auto failed = [this](std::string reason) {
        frameCount = 0;
        ReleaseFrames();
        return Fail(std::move(reason));
    };
    std::vector<uint8_t> bytes;
    std::string reason;
    png::PngFile file;
    if (!ReadWholeFile(path, bytes, reason) ||
        !png::ParsePng(bytes.data(), bytes.size(), file, reason)) {
        return failed(std::move(reason));
    }
    const png::ImageHeader& h = file.header;
    const size_t n = file.animated ? file.frames.size() : 1;
    const uint32_t stride = Stride8(int32_t(h.width));
    if (std::string budget = CheckMovieBudget(n, uint64_t(stride) * h.height); !budget.empty()) {
        return failed("picture of " + std::to_string(h.width) + " x " + std::to_string(h.height) +
                      " pixels: " + budget);
    }
    if (!Report(watch.Sink(), uint32_t(n), kPhaseReading)) {
        return failed("cancelled");
    }
    RgbaPaletteBuilder colours;
    try {
        std::vector<FrameChunk>(n).swap(movieList.frames);
        std::vector<IndexEntry>(n).swap(movieList.index);
        if (!DecodeFrames(file, stride, colours, movieList.frames, watch.Sink(), reason)) {
            return failed(watch.Cancelled() ? "cancelled" : std::move(reason));
        }
    } catch (const std::bad_alloc&) {
        return failed("out of memory");
    }
    if (std::string problem = colours.Problem(); !problem.empty()) {
        return failed(std::move(problem));
    }
    std::array<uint8_t, 256> renumber{};
    colours.Finish(palette, renumber);
    for (FrameChunk& frame : movieList.frames) {
        for (uint8_t& v : frame.data) {
            v = renumber[v];
        }
    }
    source.bitCount = h.depth;
    const int32_t period =
        n > 1 ? int32_t(MostFrequentDelay(file, source.delaysDiffer)) : framePeriodMs;
    BitmapInfoHeader& format = headerList.stream.format.header;
    format = BitmapInfoHeader{};
    format.biWidth = int32_t(h.width);
    format.biHeight = int32_t(h.height);
    format.biSizeImage = stride * h.height;
    headerList.stream.header.handler = fourcc::kRgb;
    frameCount = int32_t(n);
    if (!RebuildHeaders(palette.count, frameCount, format.biHeight, format.biWidth, period)) {
        return failed("out of memory");
    }
    movieList.FindTransparentIndex(palette, format.biHeight);
    movieList.remapped = 0;
    return 1;
}

}  // namespace kx
