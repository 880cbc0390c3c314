// The frame settings dialog from the program's template over a strip built in memory: the linked
// fields as the user types and clicks the arrows, the proposed height, the remembered height,
// help, and the layout on resize.
#include "dialogs/frame_settings_dialog.h"

#include <windows.h>

#include <commctrl.h>
#include <gtest/gtest.h>

#include <functional>
#include <map>
#include <memory>
#include <ostream>
#include <string>
#include <vector>

#include "framework/recording_app.h"
#include "resources/resource.h"
#include "view/preview_fixture.h"

namespace kx {
namespace {

constexpr wchar_t kTestApplication[] = L"KinetrixFrameSettingsTest";

}  // namespace

void PrintTo(const FrameFields& f, std::ostream* os) {
    *os << "height " << f.height << ", count " << f.count << ", remainder " << f.remainder;
}

namespace {

TEST(FrameFieldsTest, AHeightGivesTheCountWithAPartlyFilledLastFrameAndTheRowsItLacks) {
    struct Case {
        int32_t stripHeight;
        int32_t entered;
        FrameFields expected;
    };
    const std::vector<Case> cases = {
        {100, 100, {100, 1, 0}}, {100, 30, {30, 4, 10}}, {100, 25, {25, 4, 0}},
        {100, 26, {26, 4, 22}},  {100, 1, {1, 100, 0}},  {100, 250, {100, 1, 0}},
        {100, 0, {1, 100, 0}},   {100, -7, {1, 100, 0}}, {1, 1, {1, 1, 0}},
        {576, 48, {48, 12, 0}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << c.stripHeight << " rows, height " << c.entered);
        EXPECT_EQ(c.expected, FieldsFromHeight(c.stripHeight, c.entered));
    }
}

TEST(FrameFieldsTest, ACountGivesTheSmallestHeightThatCutsTheStripIntoThatMany) {
    struct Case {
        int32_t stripHeight;
        int32_t entered;
        FrameFields expected;
    };
    const std::vector<Case> cases = {
        {100, 3, {34, 3, 32}}, {100, 6, {17, 6, 15}},   {100, 5, {20, 5, 0}},
        {100, 1, {100, 1, 0}}, {100, 500, {1, 100, 0}}, {100, 0, {100, 1, 0}},
        {100, 51, {2, 50, 0}}, {100, 34, {3, 34, 1}},   {576, 12, {48, 12, 0}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << c.stripHeight << " rows, count " << c.entered);
        EXPECT_EQ(c.expected, FieldsFromCount(c.stripHeight, c.entered));
    }
}

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
        {"first start, frames not square", 40, 576, 0, 576},
        {"remembered height divides the strip", 40, 480, 48, 48},
        {"remembered height does not divide it", 40, 480, 50, 40},
        {"remembered height does not divide, no square frames", 30, 100, 40, 40},
        {"remembered height taller than the strip", 40, 480, 500, 40},
        {"width equal to the height: one frame only", 64, 64, 0, 64},
        {"a stored value below 1 counts as none", 40, 480, -3, 40},
        {"remembered height equal to the width", 40, 480, 40, 40},
        {"no width at all", 0, 100, 0, 100},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        EXPECT_EQ(c.expected, ProposedFrameHeight(c.width, c.height, c.remembered));
    }
}

TEST(FrameFieldsTest, EachControlHasItsHelpTopic) {
    const std::vector<std::pair<int, HelpTopic>> cases = {
        {IDOK, {774, HELP_CONTEXTPOPUP}},
        {IDC_FRAME_HEIGHT, {771, HELP_CONTEXTPOPUP}},
        {IDC_FRAME_HEIGHT_SPIN, {771, HELP_CONTEXTPOPUP}},
        {IDC_FRAME_HEIGHT_LABEL, {771, HELP_CONTEXTPOPUP}},
        {IDC_FRAME_HEIGHT_UNIT, {771, HELP_CONTEXTPOPUP}},
        {IDC_STRIP_PREVIEW, {770, HELP_CONTEXTPOPUP}},
        {IDC_FRAME_COUNT, {772, HELP_CONTEXTPOPUP}},
        {IDC_FRAME_COUNT_SPIN, {772, HELP_CONTEXTPOPUP}},
        {IDC_FRAME_COUNT_LABEL, {772, HELP_CONTEXTPOPUP}},
        {IDC_REMAINDER, {773, HELP_CONTEXTPOPUP}},
        {IDC_REMAINDER_LABEL, {773, HELP_CONTEXTPOPUP}},
        {IDC_REMAINDER_UNIT, {773, HELP_CONTEXTPOPUP}},
        {IDC_LOGO, {2, HELP_CONTEXTPOPUP}},
        {0, {769, HELP_CONTEXT}},
        {-1, {769, HELP_CONTEXT}},
    };
    for (const auto& [id, topic] : cases) {
        SCOPED_TRACE(id);
        const HelpTopic got = FrameSettingsHelpTopic(id);
        EXPECT_EQ(std::make_pair(topic.context, topic.command),
                  std::make_pair(got.context, got.command));
    }
}

class FrameSettingsDialogTest : public ::testing::Test {
protected:
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

// What the user does to one of the two fields.
struct Input {
    int field;
    enum { Type, Up, Down } how;
    const wchar_t* text;
};

void Apply(HWND dialog, const Input& input) {
    HWND edit = ::GetDlgItem(dialog, input.field);
    switch (input.how) {
        case Input::Type:
            // Replacing the text raises EN_UPDATE as typing does.
            ::SetWindowTextW(edit, input.text);
            break;
        case Input::Up:
        case Input::Down:
            // The arrow keys in the field work its up-down control.
            ::SendMessageW(edit, WM_KEYDOWN, input.how == Input::Up ? VK_UP : VK_DOWN, 1);
            ::SendMessageW(edit, WM_KEYUP, input.how == Input::Up ? VK_UP : VK_DOWN, 0xC0000001);
            break;
    }
}

TEST_F(FrameSettingsDialogTest, TypingOrClickingOneFieldUpdatesTheOthersAtOnce) {
    constexpr int H = IDC_FRAME_HEIGHT;
    constexpr int C = IDC_FRAME_COUNT;
    struct Case {
        const char* what;
        std::vector<Input> inputs;
        FrameFields expected;
        size_t messageBoxes;
    };
    const std::vector<Case> cases = {
        {"height 30 in one edit from 100",
         {{H, Input::Type, L"100"}, {H, Input::Type, L"30"}},
         {30, 4, 10},
         0},
        {"height 26 keeps count 4",
         {{H, Input::Type, L"25"}, {H, Input::Up, nullptr}},
         {26, 4, 22},
         0},
        {"count 3", {{C, Input::Type, L"3"}}, {34, 3, 32}, 0},
        {"count 6", {{C, Input::Type, L"6"}}, {17, 6, 15}, 0},
        {"count 5", {{C, Input::Type, L"5"}}, {20, 5, 0}, 0},
        {"digit by digit", {{H, Input::Type, L"4"}, {H, Input::Type, L"40"}}, {40, 3, 20}, 0},
        {"height digit by digit after a count",
         {{C, Input::Type, L"3"}, {H, Input::Type, L"4"}, {H, Input::Type, L"45"}},
         {45, 3, 10},
         0},
        {"a count the height cannot give", {{C, Input::Type, L"51"}}, {2, 50, 0}, 0},
        {"height above the strip", {{H, Input::Type, L"250"}}, {100, 1, 0}, 0},
        {"count above the strip", {{C, Input::Type, L"500"}}, {1, 100, 0}, 0},
        {"height 0", {{H, Input::Type, L"0"}}, {1, 100, 0}, 0},
        {"count 0", {{C, Input::Type, L"0"}}, {100, 1, 0}, 0},
        {"negative height", {{H, Input::Type, L"-5"}}, {1, 100, 0}, 0},
        {"height up at the top wraps to 1",
         {{H, Input::Type, L"100"}, {H, Input::Up, nullptr}},
         {1, 100, 0},
         0},
        {"height down at 1 wraps to the top",
         {{H, Input::Type, L"1"}, {H, Input::Down, nullptr}},
         {100, 1, 0},
         0},
        {"count up at the top wraps to 1",
         {{C, Input::Type, L"100"}, {C, Input::Up, nullptr}},
         {100, 1, 0},
         0},
        {"count down", {{C, Input::Type, L"5"}, {C, Input::Down, nullptr}}, {25, 4, 0}, 0},
        {"text that is no number puts the last value back",
         {{H, Input::Type, L"40"}, {H, Input::Type, L"abc"}},
         {40, 3, 20},
         1},
        {"an emptied count puts the last value back",
         {{C, Input::Type, L"6"}, {C, Input::Type, L""}},
         {17, 6, 15},
         1},
    };
    // 100 rows, 30 wide: no square frames, so the dialog opens with the whole strip.
    const auto strip = Strip(30, 100);
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        app.boxes.clear();
        RemoveSettings();
        auto dialog = Open(*strip);
        ASSERT_NE(nullptr, dialog->m_hWnd);
        EXPECT_EQ((FrameFields{100, 1, 0}), Shown(*dialog));
        for (const Input& input : c.inputs) {
            Apply(*dialog, input);
        }
        EXPECT_EQ(c.expected, Shown(*dialog));
        ASSERT_EQ(c.messageBoxes, app.boxes.size());
        if (!app.boxes.empty()) {
            EXPECT_EQ(L"整数を入力してください。", app.boxes[0].text);
        }
    }
}

TEST_F(FrameSettingsDialogTest, TheDialogOpensWithTheProposedHeight) {
    struct Case {
        const char* what;
        int32_t width;
        int32_t height;
        int32_t stored;  // -1: nothing stored
        FrameFields expected;
    };
    const std::vector<Case> cases = {
        {"nothing remembered", 30, 100, -1, {100, 1, 0}},
        {"remembered taller than the strip", 30, 100, 300, {100, 1, 0}},
        {"remembered", 30, 100, 25, {25, 4, 0}},
        {"remembered, not dividing", 30, 100, 40, {40, 3, 20}},
        {"nothing remembered, square frames", 20, 100, -1, {20, 5, 0}},
        {"remembered, not dividing, square frames", 20, 100, 30, {20, 5, 0}},
        {"remembered, dividing, square frames", 20, 100, 25, {25, 4, 0}},
        {"a stored 0", 30, 100, 0, {100, 1, 0}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        RemoveSettings();
        if (c.stored >= 0) {
            ASSERT_TRUE(settings.WriteInt(L"Height", c.stored));
        }
        const auto strip = Strip(c.width, c.height);
        auto dialog = Open(*strip);
        ASSERT_NE(nullptr, dialog->m_hWnd);
        EXPECT_EQ(c.expected, Shown(*dialog));
        EXPECT_EQ(c.height, dialog->m_nStripHeight);
        EXPECT_EQ(TRUE, dialog->m_preview.fit);
        int low = 0;
        int high = 0;
        dialog->m_spinHeight.GetRange32(low, high);
        EXPECT_EQ(std::make_pair(1, c.height), std::make_pair(low, high));
        dialog->m_spinCount.GetRange32(low, high);
        EXPECT_EQ(std::make_pair(1, c.height), std::make_pair(low, high));
    }
}

// Steps run one per timer tick while the dialog's modal loop runs.
std::vector<std::function<void(HWND)>> g_steps;
size_t g_nextStep = 0;

void CALLBACK RunStep(HWND, UINT, UINT_PTR timer, DWORD) {
    HWND dialog = ::FindWindowW(L"#32770", L"フレームの設定");
    if (dialog == nullptr || !::IsWindowVisible(dialog)) {
        return;
    }
    if (g_nextStep < g_steps.size()) {
        g_steps[g_nextStep++](dialog);
    } else {
        ::KillTimer(nullptr, timer);
    }
}

TEST_F(FrameSettingsDialogTest, TheHeightLastShownIsRememberedAfterOkAndCancelAlike) {
    struct Case {
        const char* what;
        const wchar_t* typed;
        UINT key;
        INT_PTR result;
        int32_t remembered;
    };
    const std::vector<Case> cases = {
        {"Enter", L"30", VK_RETURN, IDOK, 30},
        {"Escape", L"17", VK_ESCAPE, IDCANCEL, 17},
    };
    const auto strip = Strip(30, 100);
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        RemoveSettings();
        CFrameSettingsDialog dialog;
        dialog.m_settings.SetApplication(kTestApplication);
        dialog.m_preview.SetDocument(strip.get());
        g_steps = {
            [&c](HWND box) { ::SetDlgItemTextW(box, IDC_FRAME_HEIGHT, c.typed); },
            [&c](HWND box) {
                ::PostMessageW(::GetDlgItem(box, IDC_FRAME_HEIGHT), WM_KEYDOWN, c.key, 1);
            },
        };
        g_nextStep = 0;
        const UINT_PTR stepper = ::SetTimer(nullptr, 0, 50, &RunStep);
        const UINT_PTR watchdog = ::SetTimer(nullptr, 0, 10000, [](HWND, UINT, UINT_PTR, DWORD) {
            ::PostMessageW(::FindWindowW(L"#32770", L"フレームの設定"), WM_CLOSE, 0, 0);
        });
        EXPECT_EQ(c.result, dialog.DoModal());
        ::KillTimer(nullptr, stepper);
        ::KillTimer(nullptr, watchdog);
        EXPECT_EQ(c.remembered, dialog.m_nFrameHeight);
        EXPECT_EQ(c.remembered, settings.ReadInt(L"Height", -1));
    }
}

TEST_F(FrameSettingsDialogTest, HelpOnAControlAsksTheApplicationForItsTopic) {
    const auto strip = Strip(30, 100);
    auto dialog = Open(*strip);
    const std::vector<int> ids = {IDC_FRAME_COUNT, IDC_STRIP_PREVIEW, IDC_LOGO, IDOK, 0};
    for (const int id : ids) {
        HELPINFO info{};
        info.cbSize = sizeof info;
        info.iContextType = HELPINFO_WINDOW;
        info.iCtrlId = id;
        info.hItemHandle = id != 0 ? dialog->GetDlgItem(id) : dialog->m_hWnd;
        EXPECT_EQ(TRUE, ::SendMessageW(*dialog, WM_HELP, 0, reinterpret_cast<LPARAM>(&info)));
    }
    const std::vector<std::pair<DWORD_PTR, UINT>> expected = {{772, HELP_CONTEXTPOPUP},
                                                              {770, HELP_CONTEXTPOPUP},
                                                              {2, HELP_CONTEXTPOPUP},
                                                              {774, HELP_CONTEXTPOPUP},
                                                              {769, HELP_CONTEXT}};
    EXPECT_EQ(expected, app.helpCalls);
}

TEST_F(FrameSettingsDialogTest, ResizingMovesTheColumnAndButtonsAndStretchesThePreview) {
    const auto strip = Strip(30, 100);
    auto dialog = Open(*strip);
    HWND box = *dialog;
    const auto placeOf = [box](int id) {
        RECT r{};
        ::GetWindowRect(::GetDlgItem(box, id), &r);
        ::MapWindowPoints(nullptr, box, reinterpret_cast<POINT*>(&r), 2);
        return r;
    };
    const std::vector<int> column = {
        IDC_FRAME_COUNT_LABEL, IDC_FRAME_COUNT,       IDC_FRAME_COUNT_SPIN,  IDC_FRAME_HEIGHT_LABEL,
        IDC_FRAME_HEIGHT,      IDC_FRAME_HEIGHT_SPIN, IDC_FRAME_HEIGHT_UNIT, IDC_REMAINDER_LABEL,
        IDC_REMAINDER,         IDC_REMAINDER_UNIT};
    const std::vector<int> corner = {IDOK, IDC_LOGO};
    std::map<int, RECT> before;
    for (const int id : column) {
        before[id] = placeOf(id);
    }
    for (const int id : corner) {
        before[id] = placeOf(id);
    }
    const RECT previewBefore = placeOf(IDC_STRIP_PREVIEW);
    RECT window{};
    ::GetWindowRect(box, &window);
    struct Case {
        int dx;
        int dy;
    };
    for (const Case c : {Case{0, 0}, Case{120, 80}, Case{40, 0}, Case{0, 25}, Case{0, 0}}) {
        SCOPED_TRACE(testing::Message() << "grown by " << c.dx << " x " << c.dy);
        ::SetWindowPos(box, nullptr, 0, 0, window.right - window.left + c.dx,
                       window.bottom - window.top + c.dy,
                       SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
        for (const int id : column) {
            SCOPED_TRACE(id);
            EXPECT_EQ(before[id].left + c.dx, placeOf(id).left);
            EXPECT_EQ(before[id].top, placeOf(id).top);
        }
        for (const int id : corner) {
            SCOPED_TRACE(id);
            EXPECT_EQ(before[id].left + c.dx, placeOf(id).left);
            EXPECT_EQ(before[id].top + c.dy, placeOf(id).top);
        }
        const RECT preview = placeOf(IDC_STRIP_PREVIEW);
        EXPECT_EQ(previewBefore.left, preview.left);
        EXPECT_EQ(previewBefore.top, preview.top);
        EXPECT_EQ(previewBefore.right - previewBefore.left + c.dx, preview.right - preview.left);
        EXPECT_EQ(previewBefore.bottom - previewBefore.top + c.dy, preview.bottom - preview.top);
    }
}

}  // namespace
}  // namespace kx
