// Frame differences and colour counts shared by the animation writers.
#include "doc/frame_delta.h"

#include <algorithm>
#include <cstring>

#include "doc/animation_document.h"

namespace kx {

FrameView FrameView::OfDocument(const CAnimationDocument& doc, int32_t i) {
    const int32_t width = doc.FrameWidth();
    const int32_t height = doc.FrameHeight();
    if (i < 0 || i >= doc.FrameCount() || width <= 0 || height <= 0 ||
        doc.headerList.stream.format.header.biCompression != 0) {
        return {};
    }
    const FrameBytes& data = doc.Frame(i).data;
    const uint32_t stride = Stride8(width);
    if (data.size() < uint64_t(stride) * uint64_t(height)) {
        return {};
    }
    return FrameView(data.data(), width, height, stride);
}

namespace {

bool RowsDiffer(const FrameView& a, const FrameView& b, int32_t y) {
    return std::memcmp(a.Row(y), b.Row(y), size_t(a.Width())) != 0;
}

}  // namespace

PixelRect ChangedRect(const FrameView& before, const FrameView& after) {
    if (!before.Valid() || !after.Valid() || before.Width() != after.Width() ||
        before.Height() != after.Height()) {
        return {};
    }
    const int32_t height = after.Height();
    int32_t top = 0;
    while (top < height && !RowsDiffer(before, after, top)) {
        ++top;
    }
    if (top == height) {
        return {};
    }
    int32_t bottom = height - 1;
    while (!RowsDiffer(before, after, bottom)) {
        --bottom;
    }
    int32_t left = after.Width();
    int32_t right = -1;
    for (int32_t y = top; y <= bottom; ++y) {
        const uint8_t* a = before.Row(y);
        const uint8_t* b = after.Row(y);
        int32_t x = 0;
        while (x < left && a[x] == b[x]) {
            ++x;
        }
        left = std::min(left, x);
        int32_t r = after.Width() - 1;
        while (r > right && a[r] == b[r]) {
            --r;
        }
        right = std::max(right, r);
    }
    return {left, top, right - left + 1, bottom - top + 1};
}

bool AnyPixelTurnsTo(const FrameView& before, const FrameView& after, const PixelRect& rect,
                     uint8_t index) {
    for (int32_t y = rect.top; y < rect.top + rect.height; ++y) {
        const uint8_t* a = before.Row(y);
        const uint8_t* b = after.Row(y);
        for (int32_t x = rect.left; x < rect.left + rect.width; ++x) {
            if (b[x] == index && a[x] != index) {
                return true;
            }
        }
    }
    return false;
}

void CountColourUses(const FrameView& frame, const PixelRect& rect, ColourUses& uses) {
    for (int32_t y = rect.top; y < rect.top + rect.height; ++y) {
        const uint8_t* row = frame.Row(y);
        for (int32_t x = rect.left; x < rect.left + rect.width; ++x) {
            ++uses[row[x]];
        }
    }
}

ColourUses CountMovieColourUses(const CAnimationDocument& doc) {
    ColourUses uses{};
    for (int32_t i = 0; i < doc.FrameCount(); ++i) {
        const FrameView frame = FrameView::OfDocument(doc, i);
        if (frame.Valid()) {
            CountColourUses(frame, frame.Whole(), uses);
        }
    }
    return uses;
}

std::vector<uint8_t> UsedColours(const ColourUses& uses) {
    std::vector<uint8_t> used;
    for (size_t i = 0; i < uses.size(); ++i) {
        if (uses[i] != 0) {
            used.push_back(uint8_t(i));
        }
    }
    return used;
}

uint8_t HighestUsedIndex(const ColourUses& uses) {
    for (size_t i = uses.size(); i-- > 0;) {
        if (uses[i] != 0) {
            return uint8_t(i);
        }
    }
    return 0;
}

}  // namespace kx
