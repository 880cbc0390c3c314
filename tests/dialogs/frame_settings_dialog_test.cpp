// The frame settings dialog from the program's template over a strip built in memory: the linked
// fields as the user types and clicks the arrows, the proposed height, the remembered height,
// help, and the layout on resize.
#include "dialogs/frame_settings_dialog.h"

#include <windows.h>

#include <commctrl.h>
#include <gtest/gtest.h>

#include <map>
#include <memory>
#include <ostream>
#include <string>
#include <vector>

#include "framework/recording_app.h"
#include "resources/resource.h"
#include "view/preview_fixture.h"

namespace kx {

void PrintTo(const FrameFields& f, std::ostream* os) {
    *os << "height " << f.height << ", count " << f.count << ", remainder " << f.remainder;
}

namespace {

TEST(FrameFieldsTest, TheWidthIsProposedForSquareFramesUnlessTheRememberedHeightFits) {
    struct Case {
        const char* what;
        int32_t width;
        int32_t height;
        int32_t remembered;
        int32_t expected;
    };
    const std::vector<Case> cases = {
        {"first start, square frames", 40, 480, 0, 40},
        {"remembered height divides the strip", 40, 480, 48, 48},
        {"remembered height does not divide it", 40, 480, 50, 40},
        {"remembered height taller than the strip", 40, 480, 500, 40},
        {"a stored value below 1 counts as none", 40, 480, -3, 40},
        {"no width at all", 0, 100, 0, 100},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        EXPECT_EQ(c.expected, ProposedFrameHeight(c.width, c.height, c.remembered));
    }
}

class FrameSettingsDialogTest : public ::testing::Test {
protected:
    static constexpr wchar_t kTestApplication[] = L"KinetrixFrameSettingsTest";

    void SetUp() override {
        if (::FindResourceW(::GetModuleHandleW(nullptr), MAKEINTRESOURCEW(IDD_FRAME_SETTINGS),
                            RT_DIALOG) == nullptr) {
            GTEST_SKIP() << "the program's resources are not linked in";
        }
        INITCOMMONCONTROLSEX controls{sizeof controls, ICC_UPDOWN_CLASS | ICC_ANIMATE_CLASS};
        ::InitCommonControlsEx(&controls);
        CLogoButton::SetLogoBitmaps(IDB_LOGO_32X12, IDB_LOGO_42X16, IDB_LOGO_52X20, IDB_LOGO_66X24,
                                    -1, IDB_LOGO_86X32);
        settings.SetApplication(kTestApplication);
        settings.SetSection(L"Setting");
        RemoveSettings();
    }
    void TearDown() override { RemoveSettings(); }
    void RemoveSettings() {
        CRegistrySettings application = settings;
        application.SetSection(nullptr);
        ::RegDeleteTreeW(HKEY_CURRENT_USER, application.KeyPath().c_str());
    }

    // A strip of one frame, width by height, in two colours.
    static std::unique_ptr<CAnimationDocument> Strip(int32_t width, int32_t height) {
        return test::MakeMovie(width, height, 1, {test::kRed, test::kBlue},
                               [](int32_t, int32_t, int32_t y) { return uint8_t(y / 10 % 2); });
    }
    // The dialog bound to a strip and reading its settings below the test's key, created
    // modeless so that the test can work its fields between messages.
    std::unique_ptr<CFrameSettingsDialog> Open(const CAnimationDocument& strip) {
        auto dialog = std::make_unique<CFrameSettingsDialog>();
        dialog->m_settings.SetApplication(kTestApplication);
        dialog->m_preview.SetDocument(&strip);
        EXPECT_TRUE(dialog->Create(IDD_FRAME_SETTINGS));
        return dialog;
    }
    static std::wstring Text(HWND dialog, int id) {
        wchar_t text[32] = L"sentinel";
        ::GetDlgItemTextW(dialog, id, text, 32);
        return text;
    }
    // What the three fields show, checked against the members and the preview.
    static FrameFields Shown(const CFrameSettingsDialog& dialog) {
        const FrameFields members{dialog.m_nFrameHeight, dialog.m_nFrameCount, dialog.m_nRemainder};
        EXPECT_EQ(std::to_wstring(members.height), Text(dialog, IDC_FRAME_HEIGHT));
        EXPECT_EQ(std::to_wstring(members.count), Text(dialog, IDC_FRAME_COUNT));
        EXPECT_EQ(std::to_wstring(members.remainder), Text(dialog, IDC_REMAINDER));
        EXPECT_EQ(members.height, dialog.m_preview.shownHeight);
        return members;
    }

    test::RecordingApp app;
    CRegistrySettings settings;
};

// Works the fields as a user would, by a script of steps separated by blanks: "H=30" replaces
// the height text by 30 (which raises EN_UPDATE as typing does), "C+" and "C-" press the up and
// down arrow keys in the count field (which work its up-down control).
void Work(HWND dialog, const std::wstring& script) {
    size_t at = 0;
    while (at < script.size()) {
        size_t end = script.find(L' ', at);
        end = end == std::wstring::npos ? script.size() : end;
        HWND edit = ::GetDlgItem(dialog, script[at] == L'H' ? IDC_FRAME_HEIGHT : IDC_FRAME_COUNT);
        if (script[at + 1] == L'=') {
            ::SetWindowTextW(edit, script.substr(at + 2, end - at - 2).c_str());
        } else {
            const WPARAM key = script[at + 1] == L'+' ? VK_UP : VK_DOWN;
            ::SendMessageW(edit, WM_KEYDOWN, key, 1);
            ::SendMessageW(edit, WM_KEYUP, key, 0xC0000001);
        }
        at = end + 1;
    }
}

TEST_F(FrameSettingsDialogTest, TypingOrClickingOneFieldUpdatesTheOthersAtOnce) {
    struct Case {
        const char* what;
        const wchar_t* script;
        FrameFields expected;
        size_t messageBoxes;
    };
    // A strip of 100 rows, 30 wide: no square frames, so each case starts from 100, 1, 0.
    const std::vector<Case> cases = {
        {"height 30 in one edit", L"H=30", {30, 4, 10}, 0},
        {"up arrow from 25 keeps count 4", L"H=25 H+", {26, 4, 22}, 0},
        {"count 3", L"C=3", {34, 3, 32}, 0},
        {"height digit by digit after a count", L"C=3 H=4 H=45", {45, 3, 10}, 0},
        {"a count no height gives", L"C=51", {2, 50, 0}, 0},
        {"height above the strip", L"H=250", {100, 1, 0}, 0},
        {"height 0", L"H=0", {1, 100, 0}, 0},
        {"height up at the top wraps to 1", L"H+", {1, 100, 0}, 0},
        {"height down at 1 wraps to the top", L"H=1 H-", {100, 1, 0}, 0},
        {"count up at the top wraps to 1", L"C=100 C+", {100, 1, 0}, 0},
        {"no number puts the last value back", L"H=40 H=abc", {40, 3, 20}, 1},
        {"an emptied count puts the last value back", L"C=6 C=", {17, 6, 15}, 1},
    };
    const auto strip = Strip(30, 100);
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        app.boxes.clear();
        RemoveSettings();
        auto dialog = Open(*strip);
        ASSERT_NE(nullptr, dialog->m_hWnd);
        Work(*dialog, c.script);
        EXPECT_EQ(c.expected, Shown(*dialog));
        ASSERT_EQ(c.messageBoxes, app.boxes.size());
        if (!app.boxes.empty()) {
            EXPECT_EQ(L"整数を入力してください。", app.boxes[0].text);
        }
    }
}

// Opens with the proposed height and remembers the height last shown when the window goes,
// whether it ended with OK or not (its end does not matter to the destruction).
TEST_F(FrameSettingsDialogTest, OpensWithTheProposedHeightAndRemembersTheLastOne) {
    struct Case {
        const char* what;
        int32_t width;
        int32_t stored;  // -1: nothing stored
        FrameFields expected;
    };
    // Strips of 100 rows.
    const std::vector<Case> cases = {
        {"nothing remembered", 30, -1, {100, 1, 0}},
        {"remembered, not dividing", 30, 40, {40, 3, 20}},
        {"remembered, not dividing, square frames", 20, 30, {20, 5, 0}},
        {"remembered, dividing, square frames", 20, 25, {25, 4, 0}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        RemoveSettings();
        if (c.stored >= 0) {
            ASSERT_TRUE(settings.WriteInt(L"Height", c.stored));
        }
        const auto strip = Strip(c.width, 100);
        auto dialog = Open(*strip);
        ASSERT_NE(nullptr, dialog->m_hWnd);
        EXPECT_EQ(c.expected, Shown(*dialog));
        EXPECT_EQ(TRUE, dialog->m_preview.fit);
        int ranges[4] = {};
        dialog->m_spinHeight.GetRange32(ranges[0], ranges[1]);
        dialog->m_spinCount.GetRange32(ranges[2], ranges[3]);
        EXPECT_EQ((std::vector<int>{1, 100, 1, 100}), std::vector<int>(ranges, ranges + 4));
        ::SetDlgItemTextW(*dialog, IDC_FRAME_COUNT, L"7");
        ::SendMessageW(*dialog, WM_COMMAND, IDCANCEL, 0);
        dialog.reset();
        EXPECT_EQ(15, settings.ReadInt(L"Height", -1));
    }
}

TEST_F(FrameSettingsDialogTest, HelpOnAControlAsksTheApplicationForItsTopic) {
    const auto strip = Strip(30, 100);
    auto dialog = Open(*strip);
    const std::vector<int> ids = {IDC_FRAME_COUNT, IDC_LOGO, IDC_FRAME_HEIGHT_SPIN, 0};
    for (const int id : ids) {
        HELPINFO info{};
        info.cbSize = sizeof info;
        info.iContextType = HELPINFO_WINDOW;
        info.iCtrlId = id;
        info.hItemHandle = id != 0 ? dialog->GetDlgItem(id) : dialog->m_hWnd;
        EXPECT_EQ(TRUE, ::SendMessageW(*dialog, WM_HELP, 0, reinterpret_cast<LPARAM>(&info)));
    }
    const std::vector<std::pair<DWORD_PTR, UINT>> expected = {{772, HELP_CONTEXTPOPUP},
                                                              {2, HELP_CONTEXTPOPUP},
                                                              {771, HELP_CONTEXTPOPUP},
                                                              {769, HELP_CONTEXT}};
    EXPECT_EQ(expected, app.helpCalls);
}

TEST_F(FrameSettingsDialogTest, ResizingMovesTheColumnAndButtonsAndStretchesThePreview) {
    const auto strip = Strip(30, 100);
    auto dialog = Open(*strip);
    HWND box = *dialog;
    // Each control's left, top, right and bottom in the dialog's client coordinates.
    const auto places = [box] {
        std::map<int, std::vector<LONG>> all;
        for (HWND c = ::GetWindow(box, GW_CHILD); c; c = ::GetWindow(c, GW_HWNDNEXT)) {
            RECT r{};
            ::GetWindowRect(c, &r);
            ::MapWindowPoints(nullptr, box, reinterpret_cast<POINT*>(&r), 2);
            all[::GetDlgCtrlID(c)] = {r.left, r.top, r.right, r.bottom};
        }
        return all;
    };
    const auto before = places();
    ASSERT_EQ(13u, before.size());
    RECT window{};
    ::GetWindowRect(box, &window);
    for (const SIZE grow : {SIZE{120, 80}, SIZE{40, 0}, SIZE{0, 0}}) {
        SCOPED_TRACE(testing::Message() << "grown by " << grow.cx << " x " << grow.cy);
        ::SetWindowPos(box, nullptr, 0, 0, window.right - window.left + grow.cx,
                       window.bottom - window.top + grow.cy,
                       SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
        for (const auto& [id, now] : places()) {
            // The preview keeps its place and grows; the others keep their size and move, down
            // too for OK and the logo in the corner.
            const std::vector<LONG>& was = before.at(id);
            const LONG down = id == IDOK || id == IDC_LOGO ? grow.cy : 0;
            const std::vector<LONG> expected =
                id == IDC_STRIP_PREVIEW
                    ? std::vector<LONG>{was[0], was[1], was[2] + grow.cx, was[3] + grow.cy}
                    : std::vector<LONG>{was[0] + grow.cx, was[1] + down, was[2] + grow.cx,
                                        was[3] + down};
            EXPECT_EQ(expected, now) << "control " << id;
        }
    }
}

}  // namespace
}  // namespace kx
