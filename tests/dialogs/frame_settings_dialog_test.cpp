// The frame settings dialog from the program's template over a strip built in memory: the linked
// fields as the user types and clicks the arrows, the proposed height and the remembered height.
#include "dialogs/frame_settings_dialog.h"

#include <windows.h>

#include <commctrl.h>
#include <gtest/gtest.h>

#include <memory>
#include <ostream>
#include <string>
#include <vector>

#include "framework/real_input.h"
#include "framework/recording_app.h"
#include "resources/resource.h"
#include "view/preview_fixture.h"

namespace kx {

void PrintTo(const FrameFields& f, std::ostream* os) {
    *os << "height " << f.height << ", count " << f.count << ", remainder " << f.remainder;
}

namespace {

TEST(FrameFieldsTest, TheRememberedHeightOrTheWholeStripIsProposed) {
    struct Case {
        const char* what;
        int32_t height, remembered, expected;
    };
    const Case cases[] = {
        {"first start: the whole strip", 480, 0, 480},
        {"remembered height dividing the strip", 480, 48, 48},
        {"remembered height not dividing it", 480, 50, 50},
        {"remembered height taller than the strip", 480, 500, 480},
        {"a stored value below 1 counts as none", 480, -3, 480},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        EXPECT_EQ(c.expected, ProposedFrameHeight(c.height, c.remembered));
    }
}

class FrameSettingsDialogTest : public ::testing::Test {
protected:
    static constexpr wchar_t kTestApplication[] = L"KinetrixFrameSettingsTest";

    void SetUp() override {
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

    static std::wstring Text(HWND dialog, int id) {
        wchar_t text[32] = L"sentinel";
        ::GetDlgItemTextW(dialog, id, text, 32);
        return text;
    }
    // What the three fields show, checked against the members and the preview.
    static FrameFields Shown(const CFrameSettingsDialog& dialog) {
        const FrameFields members = dialog.m_fields;
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

// Each case opens the dialog on a strip of 100 rows, works its fields, cancels it and looks at
// the height it remembered: the one last shown, however the dialog ended.
TEST_F(FrameSettingsDialogTest, FieldsFollowEachOtherAndTheLastHeightIsRemembered) {
    struct Case {
        const char* what;
        int32_t width;
        int32_t stored;  // -1: nothing stored
        const wchar_t* script;
        FrameFields expected;
        size_t messageBoxes;
    };
    // The strip's width proposes nothing, square frames (20 wide) included.
    const Case cases[] = {
        {"nothing remembered", 30, -1, L"", {100, 1, 0}, 0},
        {"nothing remembered, square frames", 20, -1, L"", {100, 1, 0}, 0},
        {"remembered, not dividing", 30, 40, L"", {40, 3, 20}, 0},
        {"remembered, not dividing, square frames", 20, 30, L"", {30, 4, 10}, 0},
        {"height 30 in one edit", 30, -1, L"H=30", {30, 4, 10}, 0},
        {"up arrow from 25 keeps count 4", 30, -1, L"H=25 H+", {26, 4, 22}, 0},
        {"count 3", 30, -1, L"C=3", {34, 3, 32}, 0},
        {"count 7 after a remembered height", 30, 40, L"C=7", {15, 7, 10}, 0},
        {"height digit by digit after a count", 30, -1, L"C=3 H=4 H=45", {45, 3, 10}, 0},
        {"a count no height gives", 30, -1, L"C=51", {2, 50, 0}, 0},
        {"height above the strip", 30, -1, L"H=250", {100, 1, 0}, 0},
        {"height 0", 30, -1, L"H=0", {1, 100, 0}, 0},
        {"height up at the top wraps to 1", 30, -1, L"H+", {1, 100, 0}, 0},
        {"height down at 1 wraps to the top", 30, -1, L"H=1 H-", {100, 1, 0}, 0},
        {"count up at the top wraps to 1", 30, -1, L"C=100 C+", {100, 1, 0}, 0},
        {"no number puts the last value back", 30, -1, L"H=40 H=abc", {40, 3, 20}, 1},
        {"an emptied count puts the last value back", 30, -1, L"C=6 C=", {17, 6, 15}, 1},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        app.boxes.clear();
        RemoveSettings();
        if (c.stored >= 0) {
            ASSERT_TRUE(settings.WriteInt(L"Height", c.stored));
        }
        // One frame in two colours; the dialog is modeless so that the test can work its fields.
        const auto strip =
            test::MakeMovie(c.width, 100, 1, {test::kRed, test::kBlue},
                            [](int32_t, int32_t, int32_t y) { return uint8_t(y / 10 % 2); });
        auto dialog = std::make_unique<CFrameSettingsDialog>();
        dialog->m_settings.SetApplication(kTestApplication);
        dialog->m_preview.SetDocument(strip.get());
        ASSERT_TRUE(dialog->Create(IDD_FRAME_SETTINGS));
        EXPECT_EQ(TRUE, dialog->m_preview.fit);
        int ranges[4] = {};
        dialog->m_spinHeight.SendMessage(UDM_GETRANGE32, WPARAM(&ranges[0]), LPARAM(&ranges[1]));
        dialog->m_spinCount.SendMessage(UDM_GETRANGE32, WPARAM(&ranges[2]), LPARAM(&ranges[3]));
        EXPECT_EQ((std::vector<int>{1, 100, 1, 100}), std::vector<int>(ranges, ranges + 4));
        Work(*dialog, c.script);
        EXPECT_EQ(c.expected, Shown(*dialog));
        ASSERT_EQ(c.messageBoxes, app.boxes.size());
        if (!app.boxes.empty()) {
            EXPECT_EQ(L"整数を入力してください。", app.boxes[0].text);
        }
        ::SendMessageW(*dialog, WM_COMMAND, IDCANCEL, 0);
        dialog.reset();
        EXPECT_EQ(c.expected.height, settings.ReadInt(L"Height", -1));
    }
}

// Typed with real keys into a field chosen by a real click: every value in range shows whole,
// and after the program rewrites the field being typed in, the caret stays at its end.
TEST_F(FrameSettingsDialogTest, TypedValuesShowWholeAndTheCaretStaysAtTheEnd) {
    struct Case {
        const char* what;
        int32_t stripHeight;
        int field;
        const wchar_t* typed;
        const wchar_t* shown;
    };
    const Case cases[] = {
        // Every count typed on the way (4, 40, 400, 4000) can be had as it is.
        {"a five-digit count", 80000, IDC_FRAME_COUNT, L"40000", L"40000"},
        {"a five-digit height", 80000, IDC_FRAME_HEIGHT, L"40000", L"40000"},
        // Count 30 takes height 4, which makes 25 frames: the field is rewritten.
        {"a count no height makes", 100, IDC_FRAME_COUNT, L"30", L"25"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        const auto strip = test::MakeMovie(1, c.stripHeight, 1, {test::kRed, test::kBlue},
                                           [](int32_t, int32_t, int32_t) { return uint8_t(0); });
        auto dialog = std::make_unique<CFrameSettingsDialog>();
        dialog->m_settings.SetApplication(kTestApplication);
        dialog->m_preview.SetDocument(strip.get());
        ASSERT_TRUE(dialog->Create(IDD_FRAME_SETTINGS));
        dialog->ShowWindow(SW_SHOW);
        ::SetForegroundWindow(*dialog);
        HWND field = dialog->GetDlgItem(c.field);
        const RECT r = [&] {
            RECT w{};
            ::GetWindowRect(field, &w);
            return w;
        }();
        test::ClickAt(POINT{r.left + 4, (r.top + r.bottom) / 2});
        test::PressKeys({VK_HOME});
        test::PressKeys({VK_SHIFT, VK_END});
        test::TypeDigits(c.typed);
        test::PumpFor(300, *dialog);
        EXPECT_EQ(c.shown, Text(*dialog, c.field));
        EXPECT_EQ(0, ::SendMessageW(field, EM_GETFIRSTVISIBLELINE, 0, 0)) << "scrolled";
        DWORD start = 0;
        DWORD end = 0;
        ::SendMessageW(field, EM_GETSEL, reinterpret_cast<WPARAM>(&start),
                       reinterpret_cast<LPARAM>(&end));
        const auto length = DWORD(std::wstring(c.shown).size());
        EXPECT_EQ(length, start);
        EXPECT_EQ(length, end);
        ::SendMessageW(*dialog, WM_COMMAND, IDCANCEL, 0);
        dialog.reset();
    }
}

}  // namespace
}  // namespace kx
