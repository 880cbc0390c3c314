// The main window's commands in one table: each command's help topic, the button it has on one
// of the two tool strips, and whether it needs a movie. The strips' button lists, the menu's help
// and the commands grayed without a movie are all read from it.
#ifndef KINETRIX_APP_MAIN_COMMANDS_H
#define KINETRIX_APP_MAIN_COMMANDS_H

#include <array>
#include <cstddef>
#include <cstdint>

#include "controls/strip_layout.h"
#include "resources/resource.h"

namespace kx {

struct MainCommand {
    int32_t id;
    int32_t helpContext;
    int32_t tipId;    // tooltip and overflow-menu text of its button; 0 for a menu item only
    bool check;       // its button stays down while the command is on
    bool needsMovie;  // grayed (menu item and button) while no movie is shown
};

// In the order in which the movie commands are enabled and grayed.
inline constexpr MainCommand kMainCommands[] = {
    {ID_FILE_OPEN, IDH_OPEN, IDS_TIP_OPEN, false, false},
    {ID_FILE_SAVE_AS, IDH_SAVE_AS, IDS_TIP_SAVE_AS, false, true},
    {ID_FIRST_FRAME, IDH_FIRST_FRAME, IDS_TIP_FIRST_FRAME, false, true},
    {ID_PREV_FRAME, IDH_PREV_FRAME, IDS_TIP_PREV_FRAME, false, true},
    {ID_PLAY_PAUSE, IDH_PLAY_PAUSE, IDS_TIP_PLAY_PAUSE, true, true},
    {ID_NEXT_FRAME, IDH_NEXT_FRAME, IDS_TIP_NEXT_FRAME, false, true},
    {ID_LAST_FRAME, IDH_LAST_FRAME, IDS_TIP_LAST_FRAME, false, true},
    {ID_VIEW_FIT, IDH_FIT, IDS_TIP_FIT, true, true},
    {ID_PLAY_REPEAT, IDH_REPEAT, IDS_TIP_REPEAT, true, true},
    {ID_VIEW_TRANSPARENT, IDH_TRANSPARENT, IDS_TIP_TRANSPARENT, true, true},
    {ID_CONTEXT_HELP, IDH_CONTEXT_HELP, IDS_TIP_CONTEXT_HELP, false, false},
    {ID_HELP_CONTENTS, IDH_HELP_CONTENTS, 0, false, false},
    {ID_APP_EXIT, IDH_EXIT, 0, false, false},
    {ID_APP_ABOUT, IDH_ABOUT, 0, false, false},
};

// The command with an id; null for none.
constexpr const MainCommand* FindMainCommand(int32_t id) {
    for (const MainCommand& command : kMainCommands) {
        if (command.id == id) {
            return &command;
        }
    }
    return nullptr;
}

// The buttons of each strip in the order of their pictures; 0 is a separator.
// Fit, repeat, transparency | context help.
inline constexpr int32_t kViewBarLayout[] = {ID_VIEW_FIT, ID_PLAY_REPEAT, ID_VIEW_TRANSPARENT, 0,
                                             ID_CONTEXT_HELP};
// Open, save as | first, previous | play | next, last.
inline constexpr int32_t kPlayBarLayout[] = {
    ID_FILE_OPEN,  ID_FILE_SAVE_AS, 0, ID_FIRST_FRAME, ID_PREV_FRAME, 0, ID_PLAY_PAUSE, 0,
    ID_NEXT_FRAME, ID_LAST_FRAME,
};

// A strip's buttons from its layout: a command's button is a check button when the command is,
// and starts disabled when it needs a movie.
template <size_t N>
constexpr std::array<StripButtonDef, N> StripButtonsOf(const int32_t (&layout)[N]) {
    std::array<StripButtonDef, N> buttons{};
    for (size_t i = 0; i < N; ++i) {
        if (const MainCommand* command = FindMainCommand(layout[i])) {
            const uint16_t style = (command->check ? StripStyle::kCheck : 0) |
                                   (command->needsMovie ? StripStyle::kStartsDisabled : 0);
            buttons[i] = {command->id, command->tipId, style, command->helpContext};
        }
    }
    return buttons;
}

inline constexpr auto kViewBarButtons = StripButtonsOf(kViewBarLayout);
inline constexpr auto kPlayBarButtons = StripButtonsOf(kPlayBarLayout);

// Whether a layout holds a command's button.
template <size_t N>
constexpr bool HasButton(const int32_t (&layout)[N], int32_t id) {
    for (int32_t entry : layout) {
        if (entry == id) {
            return true;
        }
    }
    return false;
}

// Every button of a strip is a command of the table, with a text.
template <size_t N>
constexpr bool ButtonsAreCommands(const int32_t (&layout)[N]) {
    for (int32_t id : layout) {
        if (id != 0 && (FindMainCommand(id) == nullptr || FindMainCommand(id)->tipId == 0)) {
            return false;
        }
    }
    return true;
}
static_assert(ButtonsAreCommands(kViewBarLayout) && ButtonsAreCommands(kPlayBarLayout));

}  // namespace kx

#endif  // KINETRIX_APP_MAIN_COMMANDS_H
