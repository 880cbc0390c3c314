#include "controls/strip_layout.h"

namespace kx {

namespace {

bool IsHidden(const StripButton& entry) {
    return (entry.state & StripState::kHidden) != 0;
}

// The cycle of keyboard positions numbers the entries 0 to n - 1 and the chevron n.
int32_t PositionOf(int32_t index, int32_t count) {
    return index == kChevronIndex ? count : index;
}

int32_t IndexOf(int32_t position, int32_t count) {
    return position == count ? kChevronIndex : position;
}

}  // namespace

int32_t EntryWidth(const StripButton& entry, int32_t cellSize) {
    return entry.IsSeparator() ? kSeparatorWidth : cellSize;
}

StripGeometry LayOutStrip(const StripMetrics& metrics, std::span<StripButton> entries) {
    StripGeometry g;
    // The row lies inside a one-pixel frame unless the strip is flat.
    const int32_t inset = (metrics.style & StripWindowStyle::kFlat) ? 0 : 1;
    const int32_t left = inset;
    const int32_t top = inset;
    const int32_t right = metrics.clientWidth - inset;
    const int32_t bottom = metrics.clientHeight - inset;
    const int32_t width = right - left;
    const int32_t height = bottom - top;
    g.stripLeft = left;
    g.stripRight = right;

    int32_t captionHeight = 0;
    g.captionWidth = 0;
    if (metrics.hasCaption) {
        g.captionWidth = (metrics.textHeight >> 1) + metrics.textWidth;
        captionHeight = metrics.textHeight + 2;
    }

    // Cells are as tall as the row without a vertical placement; with one, the pictures get a
    // margin of 3 when the row allows it, 2 at least, even when the cells then stick out.
    const uint32_t vertical = metrics.style & StripWindowStyle::kVerticalMask;
    int32_t cell = height;
    if (vertical != 0) {
        if (height >= metrics.imageSize + 6) {
            cell = metrics.imageSize + 6;
        } else if (height < metrics.imageSize + 4) {
            cell = metrics.imageSize + 4;
        }
    }
    const int32_t captionNeed = captionHeight < height ? captionHeight : height;
    g.cellSize = cell > captionNeed ? cell : captionNeed;

    g.buttonsWidth = 0;
    for (StripButton& entry : entries) {
        entry.x = kUnplaced;
        if (!IsHidden(entry)) {
            g.buttonsWidth += EntryWidth(entry, g.cellSize);
        }
    }

    if (g.captionWidth + g.buttonsWidth < width) {
        switch (metrics.style & StripWindowStyle::kHorizontalMask) {
            case StripWindowStyle::kLeft:
                g.captionLeft = left;
                g.firstButtonX = left + g.captionWidth;
                break;
            case StripWindowStyle::kRight:
                g.firstButtonX = right - g.buttonsWidth;
                g.captionLeft = g.firstButtonX - g.captionWidth;
                break;
            case StripWindowStyle::kCenter:
                g.captionLeft = left + ((width - g.captionWidth - g.buttonsWidth) >> 1);
                g.firstButtonX = g.captionLeft + g.captionWidth;
                break;
            default:
                // Caption at the left, buttons at the right.
                g.captionLeft = left;
                g.firstButtonX = right - g.buttonsWidth;
                break;
        }
        int32_t position = g.firstButtonX;
        for (StripButton& entry : entries) {
            if (IsHidden(entry)) {
                entry.x = kHidden;
            } else {
                entry.x = position;
                position += EntryWidth(entry, g.cellSize);
            }
        }
        g.chevronX = -1;
        g.chevronWidth = 0;
    } else {
        g.captionLeft = left;
        g.chevronWidth = ((g.cellSize >> 3) + 1) * 3;
        g.chevronX = right - g.chevronWidth;
        const int32_t room = width - g.chevronWidth - g.captionWidth;
        if (room <= 0) {
            g.buttonsWidth = 0;
            g.firstButtonX = -1;
            // Hidden entries are not listed in the menu either.
            for (StripButton& entry : entries) {
                if (IsHidden(entry)) {
                    entry.x = kHidden;
                }
            }
            if (!entries.empty()) {
                g.captionWidth = width - g.chevronWidth;
            } else {
                g.captionWidth = width;
                g.chevronX = -1;
                g.chevronWidth = 0;
            }
        } else {
            // From the end: the entries that do not fit are the last ones, and the placed ones
            // end flush against the chevron.
            int32_t edge = g.chevronX;
            for (size_t i = entries.size(); i-- > 0;) {
                StripButton& entry = entries[i];
                const int32_t entryWidth = EntryWidth(entry, g.cellSize);
                if (IsHidden(entry)) {
                    entry.x = kHidden;
                } else if (g.buttonsWidth > room) {
                    g.buttonsWidth -= entryWidth;
                } else {
                    edge -= entryWidth;
                    entry.x = edge;
                }
            }
            g.firstButtonX = edge;
        }
    }

    switch (vertical) {
        case StripWindowStyle::kBottom:
            g.stripTop = bottom - g.cellSize;
            break;
        case StripWindowStyle::kVCenter:
            g.stripTop = top + ((bottom - g.cellSize - top) >> 1);
            break;
        default:
            g.stripTop = top;
            break;
    }
    return g;
}

int32_t StripHitTest(const StripGeometry& g, std::span<const StripButton> entries, int32_t x,
                     int32_t y) {
    if (y < g.stripTop || y >= g.stripTop + g.cellSize) {
        return kHitOffRow;
    }
    if (x < g.firstButtonX) {
        return kHitBeside;
    }
    if (x >= g.firstButtonX + g.buttonsWidth) {
        return g.chevronX >= 0 && x >= g.chevronX && x < g.chevronX + g.chevronWidth ? kChevronIndex
                                                                                     : kHitBeside;
    }
    for (size_t i = 0; i < entries.size(); ++i) {
        const StripButton& entry = entries[i];
        if (entry.x >= 0 && x >= entry.x && x < entry.x + EntryWidth(entry, g.cellSize)) {
            return entry.IsSeparator() ? kHitBeside : static_cast<int32_t>(i);
        }
    }
    return kHitBeside;
}

bool IsSelectable(const StripGeometry& g, std::span<const StripButton> entries, int32_t index) {
    if (index == kChevronIndex) {
        return g.chevronX >= 0;
    }
    if (index < 0 || static_cast<size_t>(index) >= entries.size()) {
        return false;
    }
    const StripButton& entry = entries[static_cast<size_t>(index)];
    return !entry.IsSeparator() && (entry.state & StripState::kDisabled) == 0 && entry.x >= 0;
}

int32_t StepSelectable(const StripGeometry& g, std::span<const StripButton> entries, int32_t from,
                       bool forward) {
    const auto count = static_cast<int32_t>(entries.size());
    const int32_t positions = count + 1;
    int32_t start = 0;
    if (from < 0) {
        start = forward ? count : 0;
    } else if (from == kChevronIndex || from >= count) {
        start = count;
    } else {
        start = PositionOf(from, count);
    }
    for (int32_t p = start;;) {
        p = forward ? (p + 1) % positions : (p + positions - 1) % positions;
        if (p == start) {
            break;
        }
        if (IsSelectable(g, entries, IndexOf(p, count))) {
            return IndexOf(p, count);
        }
    }
    return IsSelectable(g, entries, IndexOf(start, count)) ? IndexOf(start, count) : -1;
}

int32_t RadioGroupStart(std::span<const StripButton> entries, int32_t index) {
    constexpr uint16_t kRadioBits = StripStyle::kRadio | StripStyle::kGroup;
    int32_t i = index;
    while (i > 0 && (entries[size_t(i)].style & kRadioBits) == StripStyle::kRadio &&
           (entries[size_t(i) - 1].style & kRadioBits) != 0) {
        --i;
    }
    return i;
}

int32_t RadioGroupEnd(std::span<const StripButton> entries, int32_t start) {
    constexpr uint16_t kRadioBits = StripStyle::kRadio | StripStyle::kGroup;
    auto end = static_cast<size_t>(start) + 1;
    while (end < entries.size() && (entries[end].style & kRadioBits) == StripStyle::kRadio) {
        ++end;
    }
    return static_cast<int32_t>(end);
}

int32_t FindEntryById(std::span<const StripButton> entries, int32_t id, int32_t start) {
    const auto count = static_cast<int32_t>(entries.size());
    if (count == 0) {
        return -1;
    }
    if (start < 0 || start >= count) {
        start = 0;
    }
    int32_t i = start;
    do {
        if (entries[size_t(i)].id == id) {
            return i;
        }
        i = (i + 1) % count;
    } while (i != start);
    return -1;
}

uint16_t CheckAfterClick(uint16_t style, uint16_t checkBits) {
    switch (style & StripStyle::kClickMask) {
        case StripStyle::kCheck:
            return (checkBits & StripState::kChecked) ? 0 : StripState::kChecked;
        case StripStyle::kThreeState:
            // Unchecked, checked, indeterminate, unchecked.
            if (checkBits == 0) {
                return StripState::kChecked;
            }
            return checkBits == StripState::kChecked ? StripState::kIndeterminate : 0;
        case StripStyle::kRadio:
        case StripStyle::kRadio | StripStyle::kGroup:
            return StripState::kChecked;
        default:
            return checkBits;
    }
}

std::wstring TooltipText(std::wstring_view text, size_t maxChars) {
    std::wstring shown;
    const size_t tab = text.find(L'\t');
    if (tab == std::wstring_view::npos) {
        shown.assign(text);
    } else {
        // "Open\tCtrl+O" is shown as "Open (Ctrl+O)".
        shown.assign(text.substr(0, tab));
        shown += L" (";
        shown += text.substr(tab + 1);
        shown += L')';
    }
    if (shown.size() > maxChars && maxChars >= 3) {
        shown.resize(maxChars - 3);
        shown += L"...";
    }
    return shown;
}

}  // namespace kx
