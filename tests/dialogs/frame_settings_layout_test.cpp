// The frame settings dialog from the program's template: where its controls stand when it is made
// larger or smaller (the fields keep to the right edge, OK and the logo to the bottom right
// corner, the preview takes the rest), and which help topic each control asks for.
#include <windows.h>

#include <gtest/gtest.h>

#include <commctrl.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include "dialogs/frame_settings_dialog.h"
#include "framework/recording_app.h"
#include "resources/resource.h"
#include "support/source_dir.h"
#include "view/preview_fixture.h"

namespace kx {
namespace {

constexpr wchar_t kTestApplication[] = L"KinetrixFrameSettingsLayoutTest";

// Controls that keep their top and their distance from the right edge.
constexpr int kFields[] = {IDC_FRAME_COUNT_LABEL,  IDC_FRAME_COUNT,     IDC_FRAME_COUNT_SPIN,
                           IDC_FRAME_HEIGHT_LABEL, IDC_FRAME_HEIGHT,    IDC_FRAME_HEIGHT_SPIN,
                           IDC_FRAME_HEIGHT_UNIT,  IDC_REMAINDER_LABEL, IDC_REMAINDER,
                           IDC_REMAINDER_UNIT};
// Controls that keep their distance from the bottom right corner.
constexpr int kCornered[] = {IDOK, IDC_LOGO};

class FrameSettingsLayoutTest : public ::testing::Test {
protected:
    void SetUp() override {
        INITCOMMONCONTROLSEX controls{sizeof controls, ICC_UPDOWN_CLASS | ICC_ANIMATE_CLASS};
        ::InitCommonControlsEx(&controls);
        CLogoButton::SetLogoBitmaps(IDB_LOGO_32X12, IDB_LOGO_42X16, IDB_LOGO_52X20, IDB_LOGO_66X24,
                                    -1, IDB_LOGO_86X32);
    }
    void TearDown() override {
        dialog.reset();
        CRegistrySettings application;
        application.SetApplication(kTestApplication);
        ::RegDeleteTreeW(HKEY_CURRENT_USER, application.KeyPath().c_str());
    }

    // The dialog, modeless, over a strip of the given size, shown in front.
    void Open(int32_t width, int32_t height) {
        strip = test::MakeMovie(width, height, 1, {test::kRed, test::kBlue},
                                [](int32_t, int32_t, int32_t y) { return uint8_t(y / 10 % 2); });
        dialog = std::make_unique<CFrameSettingsDialog>();
        dialog->m_settings.SetApplication(kTestApplication);
        dialog->m_preview.SetDocument(strip.get());
        ASSERT_TRUE(dialog->Create(IDD_FRAME_SETTINGS));
        ::ShowWindow(dialog->m_hWnd, SW_SHOW);
        ::SetForegroundWindow(dialog->m_hWnd);
        Pump();
    }
    static void Pump() {
        MSG msg;
        while (::PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
            ::TranslateMessage(&msg);
            ::DispatchMessageW(&msg);
        }
    }
    // A control's rectangle in the dialog's client coordinates.
    RECT Child(int id) const {
        RECT r{};
        ::GetWindowRect(::GetDlgItem(dialog->m_hWnd, id), &r);
        ::MapWindowPoints(nullptr, dialog->m_hWnd, reinterpret_cast<POINT*>(&r), 2);
        return r;
    }
    // Where every control stands, as distances that the layout keeps: a field's distance from
    // the right edge and its top; a cornered control's distances from the right and bottom
    // edges; the preview's left, top and its margins to the right and bottom edges.
    std::map<int, std::vector<long>> Anchors() const {
        RECT client{};
        ::GetClientRect(dialog->m_hWnd, &client);
        std::map<int, std::vector<long>> anchors;
        for (int id : kFields) {
            const RECT r = Child(id);
            anchors[id] = {client.right - r.left, r.top, r.right - r.left, r.bottom - r.top};
        }
        for (int id : kCornered) {
            const RECT r = Child(id);
            anchors[id] = {client.right - r.left, client.bottom - r.top, r.right - r.left,
                           r.bottom - r.top};
        }
        const RECT p = Child(IDC_STRIP_PREVIEW);
        anchors[IDC_STRIP_PREVIEW] = {p.left, p.top, client.right - p.right,
                                      client.bottom - p.bottom};
        return anchors;
    }
    SIZE ClientSize() const {
        RECT client{};
        ::GetClientRect(dialog->m_hWnd, &client);
        return {client.right, client.bottom};
    }
    void Resize(int dx, int dy) {
        RECT r{};
        ::GetWindowRect(dialog->m_hWnd, &r);
        ::SetWindowPos(dialog->m_hWnd, nullptr, 0, 0, r.right - r.left + dx, r.bottom - r.top + dy,
                       SWP_NOMOVE | SWP_NOZORDER);
        ::UpdateWindow(dialog->m_hWnd);
        Pump();
    }
    // A pixel of the screen at a point of the dialog's client area.
    COLORREF ScreenPixel(POINT at) const {
        ::ClientToScreen(dialog->m_hWnd, &at);
        HDC screen = ::GetDC(nullptr);
        const COLORREF pixel = ::GetPixel(screen, at.x, at.y);
        ::ReleaseDC(nullptr, screen);
        return pixel;
    }

    test::RecordingApp app;
    std::unique_ptr<CAnimationDocument> strip;
    std::unique_ptr<CFrameSettingsDialog> dialog;
};

TEST_F(FrameSettingsLayoutTest, ResizingKeepsFieldsRightOkAtTheCornerAndGrowsThePreview) {
    // A narrow strip: the dialog opens at its template size.
    Open(20, 100);
    const auto atTemplate = Anchors();
    const SIZE templateSize = ClientSize();
    struct Step {
        const char* what;
        int dx, dy;
    };
    const Step steps[] = {{"wider and taller", 160, 120},
                          {"wider only", 80, 0},
                          {"back to the template size", 0, 0},
                          {"taller only", 0, 90}};
    RECT window{};
    ::GetWindowRect(dialog->m_hWnd, &window);
    const SIZE start{window.right - window.left, window.bottom - window.top};
    for (const Step& s : steps) {
        SCOPED_TRACE(s.what);
        ::GetWindowRect(dialog->m_hWnd, &window);
        Resize(start.cx + s.dx - (window.right - window.left),
               start.cy + s.dy - (window.bottom - window.top));
        ASSERT_EQ(templateSize.cx + s.dx, ClientSize().cx);
        ASSERT_EQ(templateSize.cy + s.dy, ClientSize().cy);
        EXPECT_EQ(atTemplate, Anchors());
    }
}

TEST_F(FrameSettingsLayoutTest, MinimisingAndRestoringPutsEveryControlBack) {
    Open(20, 100);
    Resize(100, 60);
    const auto before = Anchors();
    ::ShowWindow(dialog->m_hWnd, SW_MINIMIZE);
    Pump();
    ::ShowWindow(dialog->m_hWnd, SW_RESTORE);
    Pump();
    EXPECT_EQ(before, Anchors());
}

// The user meets a resized dialog when a large strip opens it larger: on the screen its fields
// are painted where they stand then, as they are at the template's size.
TEST_F(FrameSettingsLayoutTest, ALargeStripOpensALargerDialogWithTheSameAnchors) {
    const auto fieldsPainted = [this] {
        std::vector<COLORREF> insides;
        for (int id : {IDC_FRAME_COUNT, IDC_FRAME_HEIGHT}) {
            const RECT r = Child(id);
            insides.push_back(ScreenPixel({r.left + 3, r.bottom - 4}));
        }
        return insides;
    };
    const std::vector<COLORREF> window(2, ::GetSysColor(COLOR_WINDOW));
    Open(20, 100);
    const auto atTemplate = Anchors();
    const SIZE templateSize = ClientSize();
    EXPECT_EQ(window, fieldsPainted()) << "at the template's size";
    dialog.reset();
    // A wide, tall strip: the dialog opens larger, at most 640 x 480.
    Open(400, 4000);
    const SIZE opened = ClientSize();
    EXPECT_LT(templateSize.cx, opened.cx);
    EXPECT_LT(templateSize.cy, opened.cy);
    RECT placed{};
    ::GetWindowRect(dialog->m_hWnd, &placed);
    EXPECT_GE(640, placed.right - placed.left);
    EXPECT_GE(480, placed.bottom - placed.top);
    EXPECT_EQ(atTemplate, Anchors());
    EXPECT_EQ(window, fieldsPainted()) << "opened larger";
}

// The ids that are element ids on a help page, and the page each is on.
std::map<DWORD_PTR, std::string> HelpTopicsOnPages() {
    const auto folder = kx::test::SourceDir() / "docs" / "help";
    std::map<DWORD_PTR, std::string> topics;
    for (const auto& entry : std::filesystem::directory_iterator(folder)) {
        if (entry.path().extension() != ".html") {
            continue;
        }
        std::ifstream in(entry.path());
        const std::string text{std::istreambuf_iterator<char>(in), {}};
        for (size_t at = text.find("id=\""); at != std::string::npos;
             at = text.find("id=\"", at + 4)) {
            char* end = nullptr;
            const unsigned long id = std::strtoul(text.c_str() + at + 4, &end, 10);
            if (end != text.c_str() + at + 4 && *end == '"') {
                topics[id] = entry.path().filename().string();
            }
        }
    }
    return topics;
}

// F1 as the user presses it, with the control focused and the dialog in front.
void PressF1(HWND dialog, int id) {
    ::SetForegroundWindow(dialog);
    ::SetFocus(::GetDlgItem(dialog, id));
    INPUT keys[2]{};
    keys[0].type = keys[1].type = INPUT_KEYBOARD;
    keys[0].ki.wVk = keys[1].ki.wVk = VK_F1;
    keys[1].ki.dwFlags = KEYEVENTF_KEYUP;
    ::SendInput(2, keys, sizeof keys[0]);
}

// What the system sends for a click in context-help mode on a control (id 0: on the dialog).
void ContextHelpClick(HWND dialog, int id) {
    HWND item = id != 0 ? ::GetDlgItem(dialog, id) : dialog;
    HELPINFO info{sizeof info, HELPINFO_WINDOW, id, item, 0, {}};
    ::SendMessageW(dialog, WM_HELP, 0, reinterpret_cast<LPARAM>(&info));
}

// Each control asks for exactly one topic; the controls that belong together (a field, its
// label, arrows and unit) share it, the groups differ, every topic is an element on a help page,
// and the dialog itself opens its page as a whole while its controls open popups.
TEST_F(FrameSettingsLayoutTest, EachControlGroupHasItsOwnHelpTopicOnTheHelpPages) {
    Open(20, 100);
    struct Row {
        int id;
        const char* group;
        bool realF1;  // focusable: F1 by the keyboard, else a context-help click
    };
    const Row rows[] = {
        {IDC_FRAME_COUNT, "count", true},
        {IDC_FRAME_COUNT_LABEL, "count", false},
        {IDC_FRAME_COUNT_SPIN, "count", false},
        {IDC_FRAME_HEIGHT, "height", true},
        {IDC_FRAME_HEIGHT_LABEL, "height", false},
        {IDC_FRAME_HEIGHT_SPIN, "height", false},
        {IDC_FRAME_HEIGHT_UNIT, "height", false},
        {IDC_REMAINDER, "remainder", false},
        {IDC_REMAINDER_LABEL, "remainder", false},
        {IDC_REMAINDER_UNIT, "remainder", false},
        {IDC_STRIP_PREVIEW, "preview", false},
        {IDOK, "ok", true},
        {IDC_LOGO, "logo", false},
        {0, "dialog", false},
    };
    const auto pages = HelpTopicsOnPages();
    std::map<std::string, DWORD_PTR> topicOfGroup;
    for (const Row& r : rows) {
        SCOPED_TRACE(std::string(r.group) + ", control " + std::to_string(r.id));
        app.helpCalls.clear();
        if (r.realF1) {
            PressF1(dialog->m_hWnd, r.id);
            const DWORD deadline = ::GetTickCount() + 2000;
            while (app.helpCalls.empty() && ::GetTickCount() < deadline) {
                Pump();
                ::Sleep(10);
            }
            Pump();
        } else {
            ContextHelpClick(dialog->m_hWnd, r.id);
        }
        ASSERT_EQ(1u, app.helpCalls.size());
        const auto [context, command] = app.helpCalls[0];
        EXPECT_EQ(r.id == 0 ? UINT(HELP_CONTEXT) : UINT(HELP_CONTEXTPOPUP), command);
        EXPECT_EQ(1u, pages.count(context)) << "topic " << context << " is on no help page";
        const auto [known, added] = topicOfGroup.emplace(r.group, context);
        EXPECT_EQ(known->second, context) << "a group shares one topic";
    }
    std::set<DWORD_PTR> distinct;
    for (const auto& [group, context] : topicOfGroup) {
        distinct.insert(context);
    }
    EXPECT_EQ(topicOfGroup.size(), distinct.size()) << "each group has its own topic";
    // The dialog's page holds the topics of its fields.
    const std::string page =
        pages.count(topicOfGroup["dialog"]) ? pages.at(topicOfGroup["dialog"]) : "";
    for (const char* group : {"count", "height", "remainder", "preview", "ok"}) {
        EXPECT_EQ(page, pages.count(topicOfGroup[group]) ? pages.at(topicOfGroup[group]) : "")
            << group;
    }
}

}  // namespace
}  // namespace kx
