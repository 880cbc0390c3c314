// The buttons of the main window's two tool strips, for the strip checks and the strip demo.
#ifndef KINETRIX_TESTS_CONTROLS_MAIN_STRIPS_H
#define KINETRIX_TESTS_CONTROLS_MAIN_STRIPS_H

#include "controls/strip_layout.h"
#include "resources/resource.h"

namespace kx::test {

constexpr uint16_t kToggle = StripStyle::kCheck | StripStyle::kStartsDisabled;
constexpr uint16_t kOff = StripStyle::kStartsDisabled;

// Fit, repeat, transparency | context help.
constexpr StripButtonDef kViewButtons[] = {
    {ID_VIEW_FIT, IDS_TIP_FIT, kToggle, 526},
    {ID_PLAY_REPEAT, IDS_TIP_REPEAT, kToggle, 527},
    {ID_VIEW_TRANSPARENT, IDS_TIP_TRANSPARENT, kToggle, 528},
    {},
    {ID_CONTEXT_HELP, IDS_TIP_CONTEXT_HELP, 0, 531},
};
// 0 open, 1 save | 3 first, 4 previous | 6 play | 8 next, 9 last.
constexpr StripButtonDef kPlayButtons[] = {
    {ID_FILE_OPEN, IDS_TIP_OPEN, 0, 516},
    {ID_FILE_SAVE_AS, IDS_TIP_SAVE_AS, kOff, 517},
    {},
    {ID_FIRST_FRAME, IDS_TIP_FIRST_FRAME, kOff, 521},
    {ID_PREV_FRAME, IDS_TIP_PREV_FRAME, kOff, 519},
    {},
    {ID_PLAY_PAUSE, IDS_TIP_PLAY_PAUSE, kToggle, 518},
    {},
    {ID_NEXT_FRAME, IDS_TIP_NEXT_FRAME, kOff, 520},
    {ID_LAST_FRAME, IDS_TIP_LAST_FRAME, kOff, 522},
};

}  // namespace kx::test

#endif  // KINETRIX_TESTS_CONTROLS_MAIN_STRIPS_H
