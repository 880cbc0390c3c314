// The buttons of the main window's two tool strips, in the order of their pictures.
#ifndef KINETRIX_APP_MAIN_STRIPS_H
#define KINETRIX_APP_MAIN_STRIPS_H

#include "controls/strip_layout.h"
#include "resources/resource.h"

namespace kx {

inline constexpr uint16_t kStripToggle = StripStyle::kCheck | StripStyle::kStartsDisabled;
inline constexpr uint16_t kStripOff = StripStyle::kStartsDisabled;

// Fit, repeat, transparency | context help.
inline constexpr StripButtonDef kViewBarButtons[] = {
    {ID_VIEW_FIT, IDS_TIP_FIT, kStripToggle, 526},
    {ID_PLAY_REPEAT, IDS_TIP_REPEAT, kStripToggle, 527},
    {ID_VIEW_TRANSPARENT, IDS_TIP_TRANSPARENT, kStripToggle, 528},
    {},
    {ID_CONTEXT_HELP, IDS_TIP_CONTEXT_HELP, 0, 531},
};
// Open, save as | first, previous | play | next, last.
inline constexpr StripButtonDef kPlayBarButtons[] = {
    {ID_FILE_OPEN, IDS_TIP_OPEN, 0, 516},
    {ID_FILE_SAVE_AS, IDS_TIP_SAVE_AS, kStripOff, 517},
    {},
    {ID_FIRST_FRAME, IDS_TIP_FIRST_FRAME, kStripOff, 521},
    {ID_PREV_FRAME, IDS_TIP_PREV_FRAME, kStripOff, 519},
    {},
    {ID_PLAY_PAUSE, IDS_TIP_PLAY_PAUSE, kStripToggle, 518},
    {},
    {ID_NEXT_FRAME, IDS_TIP_NEXT_FRAME, kStripOff, 520},
    {ID_LAST_FRAME, IDS_TIP_LAST_FRAME, kStripOff, 522},
};

}  // namespace kx

#endif  // KINETRIX_APP_MAIN_STRIPS_H
