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

namespace {

// The inside of the one-pixel frame around the row (none for a flat strip).
struct RowBox {
    int32_t left;
    int32_t top;
    int32_t right;
    int32_t bottom;
    int32_t Width() const { return right - left; }
    int32_t Height() const { return bottom - top; }
};

// Cells are as tall as the row without a vertical placement; with one, the pictures get a margin
// of 3 when the row allows it, 2 at least, even when the cells then stick out. A caption taller
// than that makes the cells as tall as the caption, within the row.
int32_t CellSizeFor(const StripMetrics& metrics, int32_t height) {
    int32_t cell = height;
    if ((metrics.style & StripWindowStyle::kVerticalMask) != 0) {
        if (height >= metrics.imageSize + 6) {
            cell = metrics.imageSize + 6;
        } else if (height < metrics.imageSize + 4) {
            cell = metrics.imageSize + 4;
        }
    }
    const int32_t captionHeight = metrics.hasCaption ? metrics.textHeight + 2 : 0;
    const int32_t captionNeed = captionHeight < height ? captionHeight : height;
    return cell > captionNeed ? cell : captionNeed;
}

// Everything fits: the caption and the buttons go where the horizontal placement says, no
// chevron.
void PlaceAll(uint32_t style, const RowBox& row, StripGeometry& g, std::span<StripButton> entries) {
    switch (style & StripWindowStyle::kHorizontalMask) {
        case StripWindowStyle::kLeft:
            g.captionLeft = row.left;
            g.firstButtonX = row.left + g.captionWidth;
            break;
        case StripWindowStyle::kRight:
            g.firstButtonX = row.right - g.buttonsWidth;
            g.captionLeft = g.firstButtonX - g.captionWidth;
            break;
        case StripWindowStyle::kCenter:
            g.captionLeft = row.left + ((row.Width() - g.captionWidth - g.buttonsWidth) >> 1);
            g.firstButtonX = g.captionLeft + g.captionWidth;
            break;
        default:
            // Caption at the left, buttons at the right.
            g.captionLeft = row.left;
            g.firstButtonX = row.right - g.buttonsWidth;
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
}

// No room for a single button beside the chevron: the caption takes the row up to the chevron,
// or the whole row when there are no entries and so no chevron.
void PlaceNone(const RowBox& row, StripGeometry& g, std::span<StripButton> entries) {
    g.buttonsWidth = 0;
    g.firstButtonX = -1;
    // Hidden entries are not listed in the menu either.
    for (StripButton& entry : entries) {
        if (IsHidden(entry)) {
            entry.x = kHidden;
        }
    }
    if (!entries.empty()) {
        g.captionWidth = row.Width() - g.chevronWidth;
    } else {
        g.captionWidth = row.Width();
        g.chevronX = -1;
        g.chevronWidth = 0;
    }
}

// Not everything fits: a chevron at the right end, and the entries that do not fit are the last
// ones; the placed ones end flush against the chevron.
void PlaceWithChevron(const RowBox& row, StripGeometry& g, std::span<StripButton> entries) {
    g.captionLeft = row.left;
    g.chevronWidth = ((g.cellSize >> 3) + 1) * 3;
    g.chevronX = row.right - g.chevronWidth;
    const int32_t room = row.Width() - g.chevronWidth - g.captionWidth;
    if (room <= 0) {
        PlaceNone(row, g, entries);
        return;
    }
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

int32_t StripTopFor(uint32_t style, const RowBox& row, int32_t cellSize) {
    switch (style & StripWindowStyle::kVerticalMask) {
        case StripWindowStyle::kBottom:
            return row.bottom - cellSize;
        case StripWindowStyle::kVCenter:
            return row.top + ((row.bottom - cellSize - row.top) >> 1);
        default:
            return row.top;
    }
}

}  // namespace

StripGeometry LayOutStrip(const StripMetrics& metrics, std::span<StripButton> entries) {
    // The row lies inside a one-pixel frame unless the strip is flat.
    const int32_t inset = (metrics.style & StripWindowStyle::kFlat) ? 0 : 1;
    const RowBox row{inset, inset, metrics.clientWidth - inset, metrics.clientHeight - inset};
    StripGeometry g;
    g.stripLeft = row.left;
    g.stripRight = row.right;
    g.captionWidth = metrics.hasCaption ? (metrics.textHeight >> 1) + metrics.textWidth : 0;
    g.cellSize = CellSizeFor(metrics, row.Height());
    g.buttonsWidth = 0;
    for (StripButton& entry : entries) {
        entry.x = kUnplaced;
        if (!IsHidden(entry)) {
            g.buttonsWidth += EntryWidth(entry, g.cellSize);
        }
    }
    if (g.captionWidth + g.buttonsWidth < row.Width()) {
        PlaceAll(metrics.style, row, g, entries);
    } else {
        PlaceWithChevron(row, g, entries);
    }
    g.stripTop = StripTopFor(metrics.style, row, g.cellSize);
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
