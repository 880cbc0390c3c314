// The button strip's records and the arithmetic of its row: where the caption, the cells and the
// chevron go, which entry lies under a point, the keyboard cycle, radio groups and the tooltip
// texts.
//
// Pure functions of sizes, style bits and entries, shared by the strip control and its tests: no
// window system involved.
#ifndef KINETRIX_CONTROLS_STRIP_LAYOUT_H
#define KINETRIX_CONTROLS_STRIP_LAYOUT_H

#include <cstdint>
#include <span>
#include <string>
#include <string_view>

namespace kx {

// How an owner describes one button; id 0 makes the entry a separator.
struct StripButtonDef {
    int32_t id = 0;        // command id sent to the parent
    int32_t stringId = 0;  // tooltip and menu text; may hold a TAB and the accelerator text
    uint16_t style = 0;    // StripStyle bits (ignored for a separator)
    int32_t helpId = 0;    // help context id (ignored for a separator)
};

// What the strip keeps for each entry.
struct StripButton {
    int32_t id = 0;  // 0 for a separator
    int32_t stringId = 0;
    int32_t helpId = 0;  // 0 for a separator
    int32_t image = -1;  // picture number in the image row; -1 for a separator
    int32_t x = -1;      // left edge of the cell; kUnplaced or kHidden when not in the row
    uint16_t state = 0;  // StripState bits
    uint16_t style = 0;  // StripStyle bits, 0 for a separator

    bool IsSeparator() const { return id == 0; }
};

// Style bits of a button.
namespace StripStyle {
constexpr uint16_t kCheck = 0x0001;       // a click toggles checked
constexpr uint16_t kThreeState = 0x0002;  // a click steps unchecked, checked, indeterminate
constexpr uint16_t kRadio = 0x0010;       // a click checks it and unchecks its group
constexpr uint16_t kGroup = 0x0020;       // starts a radio group (with kRadio)
constexpr uint16_t kStartsDisabled = 0x0100;
constexpr uint16_t kStartsHidden = 0x0200;
// The bits that choose what a click does.
constexpr uint16_t kClickMask = 0x0033;
}  // namespace StripStyle

// State bits of a button (and, hot and pressed only, of the chevron).
namespace StripState {
constexpr uint16_t kChecked = 0x0001;
constexpr uint16_t kIndeterminate = 0x0002;
constexpr uint16_t kCheckMask = 0x0003;
constexpr uint16_t kHot = 0x0004;
constexpr uint16_t kPressed = 0x0008;
constexpr uint16_t kDisabled = 0x0100;
constexpr uint16_t kHidden = 0x0200;
}  // namespace StripState

// Window style bits the layout reads (the low word of the strip's style).
namespace StripWindowStyle {
constexpr uint32_t kLeft = 0x0100;
constexpr uint32_t kRight = 0x0200;
constexpr uint32_t kCenter = 0x0300;
constexpr uint32_t kHorizontalMask = 0x0300;
constexpr uint32_t kTop = 0x0400;
constexpr uint32_t kBottom = 0x0800;
constexpr uint32_t kVCenter = 0x0C00;
constexpr uint32_t kVerticalMask = 0x0C00;
constexpr uint32_t kFlat = 0x8000;  // no one-pixel frame around the row
}  // namespace StripWindowStyle

// The chevron cell, wherever an entry index is expected.
constexpr int32_t kChevronIndex = 0x7FFFFFFF;
// Values of StripButton::x for an entry outside the row.
constexpr int32_t kUnplaced = -1;  // listed in the chevron menu
constexpr int32_t kHidden = -2;
// Hit test results beside the entries, and above or below the row.
constexpr int32_t kHitBeside = -1;
constexpr int32_t kHitOffRow = -2;
// Width of a separator cell.
constexpr int32_t kSeparatorWidth = 8;

// What the layout measures besides the entries.
struct StripMetrics {
    int32_t clientWidth = 0;  // client rectangle, whose left and top are 0
    int32_t clientHeight = 0;
    uint32_t style = 0;      // low word of the window style
    int32_t imageSize = 16;  // side of one picture
    bool hasCaption = false;
    int32_t textWidth = 0;  // measured caption text, when there is a caption
    int32_t textHeight = 0;
};

// Where the row's parts went.
struct StripGeometry {
    int32_t stripTop = 0;  // top of the row of cells
    int32_t cellSize = 22;
    int32_t stripLeft = 0;  // horizontal extent of the row inside the frame
    int32_t stripRight = 0;
    int32_t captionLeft = 0;
    int32_t captionWidth = 0;
    int32_t firstButtonX = -1;  // left edge of the first placed entry, -1 when none is placed
    int32_t buttonsWidth = 0;   // total width of the placed entries
    int32_t chevronX = -1;      // -1 without chevron
    int32_t chevronWidth = 9;

    bool operator==(const StripGeometry&) const = default;
};

// Lays the row out: sets every entry's x and returns the geometry. The entries that do not fit
// are the last ones; they stay unplaced and are listed in the chevron menu.
StripGeometry LayOutStrip(const StripMetrics& metrics, std::span<StripButton> entries);

// Width an entry takes in the row: the cell size for a button, kSeparatorWidth for a separator.
int32_t EntryWidth(const StripButton& entry, int32_t cellSize);

// The entry under a point in client coordinates: an index, kChevronIndex, kHitBeside or
// kHitOffRow.
int32_t StripHitTest(const StripGeometry& geometry, std::span<const StripButton> entries, int32_t x,
                     int32_t y);

// A button that is enabled and in the row, or the chevron when there is one.
bool IsSelectable(const StripGeometry& geometry, std::span<const StripButton> entries,
                  int32_t index);

// The next (forward) or previous selectable position of the cycle entry 0 ... last, chevron,
// entry 0 ...; from a negative position forward starts at the chevron, backward at entry 0.
// The start itself when the walk comes round to it and it is selectable, else -1.
int32_t StepSelectable(const StripGeometry& geometry, std::span<const StripButton> entries,
                       int32_t from, bool forward);

// First index of the radio group holding entry index.
int32_t RadioGroupStart(std::span<const StripButton> entries, int32_t index);
// One past the last index of the radio group starting at start.
int32_t RadioGroupEnd(std::span<const StripButton> entries, int32_t start);

// The first entry with the id from start (0 when start is out of range) upwards, wrapping round;
// -1 when the search comes back to start.
int32_t FindEntryById(std::span<const StripButton> entries, int32_t id, int32_t start);

// The check bits a click leaves on a button of the given style and check bits.
uint16_t CheckAfterClick(uint16_t style, uint16_t checkBits);

// Tooltip text from a string resource's text: a TAB becomes " (" and the rest is put in
// parentheses; a result longer than maxChars characters ends in "...".
std::wstring TooltipText(std::wstring_view text, size_t maxChars);

}  // namespace kx

#endif  // KINETRIX_CONTROLS_STRIP_LAYOUT_H
