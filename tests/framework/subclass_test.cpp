// Subclassed windows: chains of objects on one window, removal in either order, and what
// WM_NCDESTROY leaves behind.
#include <windows.h>

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "framework/controls.h"
#include "framework/dialog.h"
#include "framework/dialog_template.h"

namespace kx {
namespace {

constexpr UINT kProbe = WM_APP + 1;

class Layer : public CButton {
public:
    Layer(std::vector<std::wstring>& log, std::wstring name)
        : m_log(log), m_name(std::move(name)) {}
    int postNcDestroyCalls = 0;
    bool sawNcDestroyWithHandle = false;

protected:
    LRESULT WindowProc(UINT msg, WPARAM wParam, LPARAM lParam) override {
        if (msg == kProbe) {
            m_log.push_back(m_name);
            // Each layer adds its mark to what the layers below answer.
            return Default() * 10 + static_cast<LRESULT>(m_name.size());
        }
        if (msg == WM_NCDESTROY) {
            sawNcDestroyWithHandle = m_hWnd != nullptr;
            m_log.push_back(m_name + L" ncdestroy");
        }
        return CButton::WindowProc(msg, wParam, lParam);
    }
    void PostNcDestroy() override { ++postNcDestroyCalls; }

private:
    std::vector<std::wstring>& m_log;
    std::wstring m_name;
};

class SubclassTest : public ::testing::Test {
protected:
    SubclassTest() : layout(WS_POPUP, 120, 60, L"") {
        layout.Add(L"Button", 11, 0, 5, 5, 40, 14, L"A").Add(L"Button", 12, 0, 5, 25, 40, 14, L"B");
    }
    void SetUp() override { ASSERT_TRUE(dialog.CreateIndirect(layout.Get())); }

    std::vector<std::wstring> log;
    test::DialogTemplate layout;
    CDialog dialog{static_cast<const DLGTEMPLATE*>(nullptr)};
};

TEST_F(SubclassTest, ChainedObjectsSeeMessagesOutermostFirstAndDefaultGoesInward) {
    Layer inner(log, L"i");
    Layer outer(log, L"oo");
    ASSERT_TRUE(inner.SubclassDlgItem(11, &dialog));
    ASSERT_TRUE(outer.SubclassWindow(inner.m_hWnd));
    EXPECT_EQ(&outer, CWnd::FromHandle(inner.m_hWnd));
    // The button's own procedure answers 0 to an unknown message: 0*10+1, then 1*10+2.
    EXPECT_EQ(12, ::SendMessageW(inner.m_hWnd, kProbe, 0, 0));
    EXPECT_EQ((std::vector<std::wstring>{L"oo", L"i"}), log);
}

TEST_F(SubclassTest, RemovingTheInnerObjectFirstKeepsTheOuterWorking) {
    Layer inner(log, L"i");
    Layer outer(log, L"oo");
    ASSERT_TRUE(inner.SubclassDlgItem(11, &dialog));
    HWND button = inner.m_hWnd;
    ASSERT_TRUE(outer.SubclassWindow(button));
    EXPECT_EQ(button, inner.UnsubclassWindow());
    EXPECT_EQ(nullptr, inner.m_hWnd);
    EXPECT_EQ(&outer, CWnd::FromHandle(button));
    EXPECT_EQ(2, ::SendMessageW(button, kProbe, 0, 0));
    EXPECT_EQ(button, outer.UnsubclassWindow());
    EXPECT_EQ(nullptr, CWnd::FromHandle(button));
    EXPECT_EQ(0, ::SendMessageW(button, kProbe, 0, 0));
}

TEST_F(SubclassTest, RemovingTheOuterObjectFirstHandsTheWindowBack) {
    Layer inner(log, L"i");
    Layer outer(log, L"oo");
    ASSERT_TRUE(inner.SubclassDlgItem(11, &dialog));
    HWND button = inner.m_hWnd;
    ASSERT_TRUE(outer.SubclassWindow(button));
    outer.UnsubclassWindow();
    EXPECT_EQ(&inner, CWnd::FromHandle(button));
    EXPECT_EQ(1, ::SendMessageW(button, kProbe, 0, 0));
}

TEST_F(SubclassTest, DestroyingTheDialogClearsEveryControlObject) {
    Layer a(log, L"a");
    Layer b(log, L"b");
    Layer bOuter(log, L"B");
    ASSERT_TRUE(a.SubclassDlgItem(11, &dialog));
    ASSERT_TRUE(b.SubclassDlgItem(12, &dialog));
    ASSERT_TRUE(bOuter.SubclassWindow(b.m_hWnd));
    HWND hb = b.m_hWnd;
    EXPECT_TRUE(dialog.DestroyWindow());
    EXPECT_EQ(nullptr, a.m_hWnd);
    EXPECT_EQ(nullptr, b.m_hWnd);
    EXPECT_EQ(nullptr, bOuter.m_hWnd);
    EXPECT_EQ(nullptr, dialog.m_hWnd);
    EXPECT_EQ(1, a.postNcDestroyCalls);
    EXPECT_EQ(1, b.postNcDestroyCalls);
    EXPECT_TRUE(b.sawNcDestroyWithHandle);
    EXPECT_FALSE(::IsWindow(hb));
    // Outer layer first; each sees its last message while it still names the window.
    const std::vector<std::wstring> expected = {L"a ncdestroy", L"B ncdestroy", L"b ncdestroy"};
    EXPECT_EQ(expected, log);
}

TEST_F(SubclassTest, AnObjectGoingFirstLeavesAWorkingWindow) {
    HWND button = nullptr;
    {
        Layer a(log, L"a");
        ASSERT_TRUE(a.SubclassDlgItem(11, &dialog));
        button = a.m_hWnd;
    }
    EXPECT_EQ(nullptr, CWnd::FromHandle(button));
    EXPECT_EQ(0, ::SendMessageW(button, kProbe, 0, 0));
    EXPECT_TRUE(log.empty());
    EXPECT_TRUE(::IsWindow(button)) << "a control object does not own its window";
}

TEST_F(SubclassTest, AttachOnlyNamesTheWindow) {
    CButton view;
    HWND button = dialog.GetDlgItem(11);
    ASSERT_TRUE(view.Attach(button));
    EXPECT_FALSE(view.Attach(button));
    EXPECT_EQ(nullptr, CWnd::FromHandle(button));
    EXPECT_EQ(L"A", view.GetWindowText());
    EXPECT_EQ(button, view.Detach());
    EXPECT_EQ(nullptr, view.m_hWnd);
    EXPECT_TRUE(::IsWindow(button));
}

TEST_F(SubclassTest, AnObjectNamesOneWindowAtATime) {
    Layer a(log, L"a");
    ASSERT_TRUE(a.SubclassDlgItem(11, &dialog));
    EXPECT_FALSE(a.SubclassDlgItem(12, &dialog));
    EXPECT_FALSE(Layer(log, L"x").SubclassDlgItem(99, &dialog));
}

// A window that destroys itself and deletes its object while handling a message, as a window
// that closes on its own timer does. The object's storage is kept and marked when it is freed,
// so that a write to the object after its deletion shows.
class SelfDeleting : public CButton {
public:
    static void* operator new(size_t size) {
        storage.assign(size, 0);
        return storage.data();
    }
    static void operator delete(void* object, size_t size) { std::memset(object, 0xDD, size); }
    static std::vector<unsigned char> storage;

protected:
    LRESULT WindowProc(UINT msg, WPARAM wParam, LPARAM lParam) override {
        if (msg == kProbe) {
            ::DestroyWindow(m_hWnd);
            delete this;
            return 7;
        }
        return CButton::WindowProc(msg, wParam, lParam);
    }
};
std::vector<unsigned char> SelfDeleting::storage;

TEST_F(SubclassTest, AnObjectMayDeleteItselfWhileHandlingAMessage) {
    auto* object = new SelfDeleting;
    ASSERT_TRUE(object->SubclassDlgItem(11, &dialog));
    HWND button = object->m_hWnd;
    EXPECT_EQ(7, ::SendMessageW(button, kProbe, 0, 0));
    EXPECT_FALSE(::IsWindow(button));
    size_t touched = 0;
    for (unsigned char byte : SelfDeleting::storage) {
        touched += byte != 0xDD ? 1 : 0;
    }
    EXPECT_EQ(0u, touched) << "bytes of the deleted object written after its deletion";
}

}  // namespace
}  // namespace kx
