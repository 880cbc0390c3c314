#include "clip_document.h"

#include <cstring>

#include "clip_frames.h"

namespace kx::resgen {

void BuildClipDocument(CAnimationDocument& document) {
    const std::vector<Rgb>& colours = ClipPalette();
    document.palette.count = int32_t(colours.size());
    for (size_t i = 0; i < colours.size(); ++i) {
        document.palette.entries[i] = RgbQuad{colours[i].blue, colours[i].green, colours[i].red, 0};
    }
    BitmapInfoHeader& format = document.headerList.stream.format.header;
    format.biWidth = kClipWidth;
    format.biHeight = kClipHeight;
    format.biBitCount = 8;
    format.biCompression = uint32_t(Compression::Rgb);

    // Frames are kept bottom-up with rows padded to 4 bytes; the drawings are top row first.
    const uint32_t stride = Stride8(kClipWidth);
    document.movieList.frames.assign(size_t(kClipFrames), FrameChunk{});
    for (int32_t i = 0; i < kClipFrames; ++i) {
        const std::vector<uint8_t> picture = DrawClipFrame(i);
        kx::FrameBytes& data = document.movieList.frames[size_t(i)].data;
        data.assign(size_t(stride) * kClipHeight, 0);
        for (int32_t y = 0; y < kClipHeight; ++y) {
            std::memcpy(&data[size_t(kClipHeight - 1 - y) * stride],
                        &picture[size_t(y) * kClipWidth], size_t(kClipWidth));
        }
    }
    document.frameCount = kClipFrames;
    document.RebuildHeaders(int32_t(colours.size()), kClipFrames, kClipHeight, kClipWidth,
                            kClipFramePeriodMs);
    document.movieList.FindTransparentIndex(document.palette, kClipHeight);
    document.SetSpeed(kClipFramePeriodMs);
}

bool WriteClip(const std::filesystem::path& path, std::string& error) {
    CAnimationDocument document;
    BuildClipDocument(document);
    if (!document.SaveAvi(nullptr, path)) {
        error = "writing the clip failed: " + document.FailureReason();
        return false;
    }
    CAnimationDocument check;
    if (!check.LoadAvi(nullptr, path)) {
        error = "the written clip does not read back: " + check.FailureReason();
        return false;
    }
    if (check.Source().compression != uint32_t(Compression::Rle8)) {
        error = "the clip was written plain, not run-length encoded";
        return false;
    }
    if (check.FrameCount() != kClipFrames || check.FrameWidth() != kClipWidth ||
        check.FrameHeight() != kClipHeight ||
        check.Palette().count != int32_t(ClipPalette().size()) ||
        check.MicroSecPerFrame() != uint32_t(kClipFramePeriodMs) * 1000u) {
        error = "the written clip has the wrong shape";
        return false;
    }
    BuildClipDocument(document);
    for (int32_t i = 0; i < kClipFrames; ++i) {
        if (check.Frame(i).data != document.Frame(i).data) {
            error = "frame " + std::to_string(i) + " does not decode to what was drawn";
            return false;
        }
    }
    return true;
}

}  // namespace kx::resgen
