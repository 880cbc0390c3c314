// Data exchange between a dialog's edit fields and its integer fields, and its validation.
#include <windows.h>

#include <gtest/gtest.h>

#include <string>

#include "framework/controls.h"
#include "framework/dialog.h"
#include "framework/dialog_template.h"
#include "framework/recording_app.h"

namespace kx {
namespace {

constexpr int kSpeedEdit = 1010;
constexpr int kFrameEdit = 1009;
constexpr int kSlider = 1008;

class SpeedDialog : public CDialog {
public:
    explicit SpeedDialog(const DLGTEMPLATE* t) : CDialog(t) {}
    int speed = 100;
    int frame = 1;
    CSliderCtrl slider;
    int editUpdates = 0;

protected:
    void DoDataExchange(CDataExchange* dx) override {
        DDX_Control(dx, kSlider, slider);
        DDX_Text(dx, kSpeedEdit, speed);
        DDV_MinMaxInt(dx, speed, 1, 60000);
        DDX_Text(dx, kFrameEdit, frame);
    }
    LRESULT WindowProc(UINT msg, WPARAM wParam, LPARAM lParam) override {
        if (msg == WM_COMMAND && LOWORD(wParam) == kSpeedEdit && HIWORD(wParam) == EN_UPDATE) {
            ++editUpdates;
        }
        return CDialog::WindowProc(msg, wParam, lParam);
    }
};

class DataExchangeTest : public ::testing::Test {
protected:
    DataExchangeTest() : layout(WS_POPUP | WS_CAPTION, 200, 80, L"速度") {
        layout.Add(L"Edit", kSpeedEdit, WS_BORDER | WS_TABSTOP | ES_AUTOHSCROLL, 10, 10, 60, 12)
            .Add(L"Edit", kFrameEdit, WS_BORDER | WS_TABSTOP, 10, 30, 60, 12)
            .Add(TRACKBAR_CLASSW, kSlider, 0, 80, 10, 100, 15);
    }
    void SetUp() override { ASSERT_TRUE(dialog.CreateIndirect(layout.Get())); }

    void Type(int id, const wchar_t* text) { ::SetDlgItemTextW(dialog.m_hWnd, id, text); }
    std::wstring Text(int id) {
        wchar_t buffer[64]{};
        ::GetDlgItemTextW(dialog.m_hWnd, id, buffer, 64);
        return buffer;
    }

    test::RecordingApp app;
    test::DialogTemplate layout;
    SpeedDialog dialog{nullptr};
};

TEST_F(DataExchangeTest, LoadWritesFieldsAndBindsControls) {
    dialog.speed = 250;
    dialog.frame = -3;
    EXPECT_TRUE(dialog.UpdateData(FALSE));
    EXPECT_EQ(L"250", Text(kSpeedEdit));
    EXPECT_EQ(L"-3", Text(kFrameEdit));
    EXPECT_EQ(dialog.GetDlgItem(kSlider), dialog.slider.m_hWnd);
    EXPECT_EQ(&dialog.slider, CWnd::FromHandle(dialog.slider.m_hWnd));
}

TEST_F(DataExchangeTest, LoadRewritesOnlyFieldsWhoseTextDiffers) {
    dialog.speed = 250;
    ASSERT_TRUE(dialog.UpdateData(FALSE));
    const int updates = dialog.editUpdates;
    EXPECT_LE(1, updates);
    ASSERT_TRUE(dialog.UpdateData(FALSE));
    EXPECT_EQ(updates, dialog.editUpdates);
    dialog.speed = 251;
    ASSERT_TRUE(dialog.UpdateData(FALSE));
    EXPECT_EQ(updates + 1, dialog.editUpdates);
}

TEST_F(DataExchangeTest, SaveParsesSignedDecimalText) {
    Type(kSpeedEdit, L" 1234 ");
    Type(kFrameEdit, L"-17");
    EXPECT_TRUE(dialog.UpdateData(TRUE));
    EXPECT_EQ(1234, dialog.speed);
    EXPECT_EQ(-17, dialog.frame);
    EXPECT_EQ(0u, app.boxes.size());
}

TEST_F(DataExchangeTest, TextThatIsNotAnIntegerFailsWithTheFrameworkMessage) {
    for (const wchar_t* text : {L"abc", L"", L"12x", L"1 2", L"99999999999", L"+", L"1.5"}) {
        SCOPED_TRACE(testing::Message() << "text of " << wcslen(text) << " characters");
        app.boxes.clear();
        dialog.speed = 77;
        dialog.frame = 5;
        Type(kSpeedEdit, text);
        Type(kFrameEdit, L"9");
        EXPECT_FALSE(dialog.UpdateData(TRUE));
        EXPECT_EQ(77, dialog.speed);
        // The exchange stops at the failing field.
        EXPECT_EQ(5, dialog.frame);
        ASSERT_EQ(1u, app.boxes.size());
        EXPECT_EQ(L"整数を入力してください。", app.boxes[0].text);
        EXPECT_EQ(UINT{MB_OK | MB_ICONEXCLAMATION}, app.boxes[0].type);
    }
}

TEST_F(DataExchangeTest, OutOfRangeStoresTheValueThenFailsWithTheBounds) {
    ::ShowWindow(dialog.m_hWnd, SW_SHOW);
    ::SetForegroundWindow(dialog.m_hWnd);
    ::SetFocus(dialog.GetDlgItem(kFrameEdit));
    Type(kSpeedEdit, L"60001");
    EXPECT_FALSE(dialog.UpdateData(TRUE));
    EXPECT_EQ(60001, dialog.speed);
    ASSERT_EQ(1u, app.boxes.size());
    EXPECT_EQ(L"1 から 60000 までの整数を入力してください。", app.boxes[0].text);
    // The failing field gets the focus with all its text selected.
    EXPECT_EQ(dialog.GetDlgItem(kSpeedEdit), ::GetFocus());
    DWORD start = 99;
    DWORD end = 99;
    ::SendMessageW(dialog.GetDlgItem(kSpeedEdit), EM_GETSEL, reinterpret_cast<WPARAM>(&start),
                   reinterpret_cast<LPARAM>(&end));
    EXPECT_EQ(0u, start);
    EXPECT_EQ(5u, end);

    Type(kSpeedEdit, L"0");
    EXPECT_FALSE(dialog.UpdateData(TRUE));
    EXPECT_EQ(0, dialog.speed);
    Type(kSpeedEdit, L"1");
    EXPECT_TRUE(dialog.UpdateData(TRUE));
    Type(kSpeedEdit, L"60000");
    EXPECT_TRUE(dialog.UpdateData(TRUE));
    EXPECT_EQ(2u, app.boxes.size());
}

TEST_F(DataExchangeTest, ValidationRunsOnlyWhenSaving) {
    dialog.speed = 0;
    EXPECT_TRUE(dialog.UpdateData(FALSE));
    EXPECT_EQ(L"0", Text(kSpeedEdit));
    EXPECT_EQ(0u, app.boxes.size());
}

TEST(ParseInt, AcceptsOnlyWholeSignedIntegersThatFit) {
    struct Case {
        const wchar_t* text;
        bool ok;
        int value;
    };
    const Case cases[] = {
        {L"0", true, 0},
        {L"-0", true, 0},
        {L"+42", true, 42},
        {L"\t7 ", true, 7},
        {L"2147483647", true, 2147483647},
        {L"-2147483648", true, INT32_MIN},
        {L"2147483648", false, 0},
        {L"-2147483649", false, 0},
        {L"", false, 0},
        {L"  ", false, 0},
        {L"--1", false, 0},
        {L"1e3", false, 0},
        {L"0x10", false, 0},
        {L"１２", false, 0},
    };
    for (const Case& c : cases) {
        int value = -12345;
        EXPECT_EQ(c.ok, ParseInt(c.text, value)) << testing::PrintToString(std::wstring(c.text));
        EXPECT_EQ(c.ok ? c.value : -12345, value);
    }
}

}  // namespace
}  // namespace kx
