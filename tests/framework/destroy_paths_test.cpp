// Every way a modeless dialog's window can go reaches the dialog's DestroyWindow override exactly
// once, while the window and its controls still exist.
#include <windows.h>

#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "framework/dialog.h"
#include "framework/dialog_template.h"

namespace kx {
namespace {

constexpr int kEditId = 11;

// What the dialog's DestroyWindow saw, kept outside the dialog so that it outlives it.
struct Record {
    int overrideCalls = 0;
    std::wstring saved;
};

// Keeps what its edit field shows when its window is destroyed, as a dialog that saves a
// setting on its way out would.
class SavingDialog : public CDialog {
public:
    SavingDialog(const DLGTEMPLATE* layout, Record& record) : CDialog(layout), m_record(record) {}
    ~SavingDialog() override {
        if (m_hWnd != nullptr) {
            DestroyWindow();
        }
    }

    BOOL DestroyWindow() override {
        ++m_record.overrideCalls;
        CWnd edit;
        if (edit.Attach(GetDlgItem(kEditId))) {
            m_record.saved = edit.GetWindowText();
            edit.Detach();
        }
        return CDialog::DestroyWindow();
    }

private:
    Record& m_record;
};

struct DestroyPath {
    const wchar_t* name;
    // Ends the dialog's window by one path.
    std::function<void(std::unique_ptr<SavingDialog>& dialog, HWND owner)> end;
};

TEST(DestroyPathsTest, EveryPathRunsTheOverrideOnceWithTheControlsStillThere) {
    test::DialogTemplate layout(WS_POPUP | WS_CAPTION, 120, 40, L"saving");
    layout.Add(L"Edit", kEditId, WS_BORDER, 5, 5, 60, 14, L"kept");
    const std::vector<DestroyPath> paths = {
        {L"its own DestroyWindow", [](auto& dialog, HWND) { dialog->DestroyWindow(); }},
        {L"DestroyWindow on the handle", [](auto& dialog, HWND) { ::DestroyWindow(*dialog); }},
        {L"its owner destroyed", [](auto&, HWND owner) { ::DestroyWindow(owner); }},
        {L"its destructor", [](auto& dialog, HWND) { dialog.reset(); }},
    };
    for (const DestroyPath& path : paths) {
        SCOPED_TRACE(path.name);
        HWND owner = ::CreateWindowExW(0, L"Static", L"owner", WS_POPUP, 0, 0, 50, 50, nullptr,
                                       nullptr, nullptr, nullptr);
        ASSERT_NE(nullptr, owner);
        CWnd ownerView;
        ownerView.Attach(owner);
        Record record;
        auto dialog = std::make_unique<SavingDialog>(layout.Get(), record);
        ASSERT_TRUE(dialog->CreateIndirect(nullptr, &ownerView));
        HWND window = *dialog;
        EXPECT_EQ(owner, ::GetWindow(window, GW_OWNER));

        path.end(dialog, owner);

        EXPECT_FALSE(::IsWindow(window));
        EXPECT_EQ(1, record.overrideCalls);
        EXPECT_EQ(L"kept", record.saved);
        if (dialog) {
            EXPECT_EQ(nullptr, dialog->m_hWnd);
        }
        ownerView.Detach();
        if (::IsWindow(owner)) {
            ::DestroyWindow(owner);
        }
    }
}

// The object may be created again after any path: the next window's destruction runs the
// override again.
TEST(DestroyPathsTest, ADialogCreatedAgainIsDestroyedThroughItsOverrideAgain) {
    test::DialogTemplate layout(WS_POPUP | WS_CAPTION, 120, 40, L"saving");
    layout.Add(L"Edit", kEditId, WS_BORDER, 5, 5, 60, 14, L"kept");
    Record record;
    SavingDialog dialog(layout.Get(), record);
    ASSERT_TRUE(dialog.CreateIndirect(nullptr));
    ::DestroyWindow(dialog);
    ASSERT_TRUE(dialog.CreateIndirect(nullptr));
    ::SetDlgItemTextW(dialog, kEditId, L"second");
    ::DestroyWindow(dialog);
    EXPECT_EQ(2, record.overrideCalls);
    EXPECT_EQ(L"second", record.saved);
}

}  // namespace
}  // namespace kx
