// Loads every resource of the program the way the windows use them: dialog templates, menu,
// accelerators, strings, bitmaps, the icon and the animation clip.

#include <windows.h>
// windows.h first: commctrl.h needs its types.
#include <commctrl.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <string>
#include <vector>

#include "resources/resource.h"

namespace {

HINSTANCE Module() {
    return GetModuleHandleW(nullptr);
}

INT_PTR CALLBACK QuietDialogProc(HWND, UINT message, WPARAM, LPARAM) {
    return message == WM_INITDIALOG ? TRUE : FALSE;
}

class Resources : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        INITCOMMONCONTROLSEX init{sizeof(INITCOMMONCONTROLSEX),
                                  ICC_BAR_CLASSES | ICC_UPDOWN_CLASS | ICC_PROGRESS_CLASS |
                                      ICC_ANIMATE_CLASS | ICC_WIN95_CLASSES};
        InitCommonControlsEx(&init);
    }
    void TearDown() override {
        if (dialog_ != nullptr) {
            DestroyWindow(dialog_);
        }
    }
    HWND Create(int id) {
        dialog_ = CreateDialogParamW(Module(), MAKEINTRESOURCEW(id), nullptr, QuietDialogProc, 0);
        return dialog_;
    }
    HWND dialog_ = nullptr;
};

std::wstring WindowText(HWND hwnd) {
    wchar_t buffer[256] = L"\x2603";  // sentinel: a failed call leaves it
    GetWindowTextW(hwnd, buffer, 256);
    return buffer;
}

std::wstring ClassOf(HWND hwnd) {
    wchar_t buffer[64] = L"";
    GetClassNameW(hwnd, buffer, 64);
    return buffer;
}

// A control rectangle in dialog units, as the template states it.
struct ControlSpec {
    int id;
    const wchar_t* className;
    const wchar_t* text;  // nullptr: not checked
    int x, y, cx, cy;     // cx 0: rectangle not checked (controls that place themselves)
    DWORD styleBits;      // bits that must be set
};

void ExpectControls(HWND dialog, const std::vector<ControlSpec>& controls) {
    for (const ControlSpec& c : controls) {
        SCOPED_TRACE("control " + std::to_string(c.id));
        HWND item = GetDlgItem(dialog, c.id);
        ASSERT_NE(nullptr, item);
        EXPECT_EQ(0, lstrcmpiW(c.className, ClassOf(item).c_str())) << ClassOf(item).size();
        if (c.text != nullptr) {
            EXPECT_EQ(std::wstring(c.text), WindowText(item));
        }
        DWORD style = DWORD(GetWindowLongW(item, GWL_STYLE));
        EXPECT_EQ(c.styleBits, style & c.styleBits);
        if (c.cx != 0) {
            // The dialog manager converts the position and the size separately.
            RECT origin{c.x, c.y, c.x, c.y};
            RECT size{0, 0, c.cx, c.cy};
            MapDialogRect(dialog, &origin);
            MapDialogRect(dialog, &size);
            RECT have;
            GetWindowRect(item, &have);
            MapWindowPoints(nullptr, dialog, reinterpret_cast<POINT*>(&have), 2);
            EXPECT_EQ(origin.left, have.left);
            EXPECT_EQ(origin.top, have.top);
            EXPECT_EQ(size.right, have.right - have.left);
            EXPECT_EQ(size.bottom, have.bottom - have.top);
        }
    }
}

void ExpectClientSize(HWND dialog, int cx, int cy) {
    RECT want{0, 0, cx, cy};
    MapDialogRect(dialog, &want);
    RECT have;
    GetClientRect(dialog, &have);
    EXPECT_EQ(want.right, have.right);
    EXPECT_EQ(want.bottom, have.bottom);
}

TEST_F(Resources, MainWindowTemplate) {
    HWND d = Create(IDD_MAIN);
    ASSERT_NE(nullptr, d);
    EXPECT_EQ(L"Pelmor Kinetrix", WindowText(d));
    DWORD style = DWORD(GetWindowLongW(d, GWL_STYLE));
    EXPECT_EQ(DWORD(WS_THICKFRAME | WS_MINIMIZEBOX | WS_MAXIMIZEBOX | WS_SYSMENU),
              style & (WS_THICKFRAME | WS_MINIMIZEBOX | WS_MAXIMIZEBOX | WS_SYSMENU));
    EXPECT_EQ(DWORD(WS_EX_APPWINDOW), DWORD(GetWindowLongW(d, GWL_EXSTYLE)) & WS_EX_APPWINDOW);
    HMENU menu = GetMenu(d);
    ASSERT_NE(nullptr, menu);
    EXPECT_EQ(4, GetMenuItemCount(menu));
    ExpectControls(
        d, {
               {IDC_VIEW_BAR, L"Button", L"", 3, 0, 135, 18, BS_BOTTOM | WS_TABSTOP},
               {IDC_PREVIEW, L"Static", nullptr, 3, 19, 135, 68, SS_SUNKEN},
               {IDC_SLIDER_PANEL, L"Static", nullptr, 3, 88, 135, 18, SS_SUNKEN},
               {IDC_FRAME_SLIDER, TRACKBAR_CLASSW, nullptr, 5, 90, 90, 14, WS_DISABLED},
               {IDC_FRAME_NUMBER_LABEL, L"Static", L"No.", 97, 92, 12, 9, 0},
               {IDC_FRAME_NUMBER, L"Edit", nullptr, 110, 90, 26, 12, ES_READONLY | ES_NUMBER},
               {IDC_PLAY_BAR, L"Button", L"", 3, 107, 135, 20,
                BS_FLAT | BS_VCENTER | BS_LEFT | WS_TABSTOP},
               {IDC_SPEED_LABEL, L"Static", L"Speed:", 41, 133, 22, 9, 0},
               {IDC_SPEED, L"Edit", nullptr, 63, 131, 29, 12,
                ES_NUMBER | ES_RIGHT | ES_AUTOHSCROLL | WS_DISABLED},
               {IDC_SPEED_SPIN, UPDOWN_CLASSW, nullptr, 92, 131, 9, 12,
                UDS_AUTOBUDDY | UDS_SETBUDDYINT | UDS_WRAP | UDS_NOTHOUSANDS | WS_DISABLED},
               {IDC_SPEED_UNIT, L"Static", L" ms/frame", 101, 133, 40, 9, 0},
               {IDC_LOGO, L"Button", L"", 0, 132, 40, 20, BS_LEFT},
               {IDC_SIZE_GRIP, L"Button", L"", 133, 144, 8, 9, BS_RIGHT | WS_GROUP},
           });
    // The spin control attached itself to the speed field and stands beside it, neither
    // moved onto it nor taking the arrow keys.
    EXPECT_EQ(GetDlgItem(d, IDC_SPEED),
              reinterpret_cast<HWND>(SendDlgItemMessageW(d, IDC_SPEED_SPIN, UDM_GETBUDDY, 0, 0)));
    EXPECT_EQ(0, GetWindowLongW(GetDlgItem(d, IDC_SPEED_SPIN), GWL_STYLE) &
                     (UDS_ALIGNRIGHT | UDS_ALIGNLEFT | UDS_ARROWKEYS));
}

TEST_F(Resources, AboutBoxTemplate) {
    HWND d = Create(IDD_ABOUTBOX);
    ASSERT_NE(nullptr, d);
    EXPECT_EQ(L"About Pelmor Kinetrix", WindowText(d));
    ExpectClientSize(d, 217, 61);
    ExpectControls(d, {
                          {IDOK, L"Button", L"OK", 165, 6, 44, 13, BS_DEFPUSHBUTTON | WS_TABSTOP},
                          {IDC_ANIMATE, ANIMATE_CLASSW, nullptr, 10, 4, 37, 37,
                           ACS_CENTER | ACS_TRANSPARENT | ACS_AUTOPLAY | WS_TABSTOP},
                          {IDC_LOGO, L"Button", L"", 165, 40, 46, 16, BS_RIGHT | WS_DISABLED},
                      });
}

TEST_F(Resources, FrameSettingsTemplate) {
    HWND d = Create(IDD_FRAME_SETTINGS);
    ASSERT_NE(nullptr, d);
    EXPECT_EQ(L"フレームの設定", WindowText(d));
    EXPECT_EQ(DWORD(DS_CONTEXTHELP | WS_SYSMENU),
              DWORD(GetWindowLongW(d, GWL_STYLE)) & (DS_CONTEXTHELP | WS_SYSMENU));
    ExpectClientSize(d, 155, 153);
    const DWORD spin = UDS_WRAP | UDS_SETBUDDYINT | UDS_ALIGNRIGHT | UDS_AUTOBUDDY | UDS_ARROWKEYS |
                       UDS_NOTHOUSANDS;
    ExpectControls(d, {
                          {IDC_FRAME_COUNT_LABEL, L"Static", L"フレーム数(&N)", 91, 8, 48, 12,
                           SS_CENTERIMAGE | WS_GROUP},
                          {IDC_FRAME_COUNT, L"Edit", nullptr, 0, 0, 0, 0, ES_RIGHT | WS_TABSTOP},
                          {IDC_FRAME_COUNT_SPIN, UPDOWN_CLASSW, nullptr, 0, 0, 0, 0, spin},
                          {IDC_FRAME_HEIGHT_LABEL, L"Static", L"フレームの高さ(&H)", 91, 42, 64, 12,
                           SS_CENTERIMAGE | WS_GROUP},
                          {IDC_FRAME_HEIGHT, L"Edit", nullptr, 0, 0, 0, 0, ES_RIGHT | WS_TABSTOP},
                          {IDC_FRAME_HEIGHT_SPIN, UPDOWN_CLASSW, nullptr, 0, 0, 0, 0, spin},
                          {IDC_FRAME_HEIGHT_UNIT, L"Static", L"Pixels", 135, 56, 20, 9, 0},
                          {IDOK, L"Button", L"OK", 91, 116, 49, 14, BS_DEFPUSHBUTTON | WS_GROUP},
                          {IDC_REMAINDER_LABEL, L"Static", L"余り", 91, 76, 36, 12, WS_GROUP},
                          {IDC_REMAINDER, L"Edit", nullptr, 89, 90, 27, 14, ES_READONLY},
                          {IDC_REMAINDER_UNIT, L"Static", L"Pixels", 118, 90, 27, 14, 0},
                          {IDC_STRIP_PREVIEW, L"Static", nullptr, 6, 8, 72, 136, WS_GROUP},
                          {IDC_LOGO, L"Button", L"", 107, 135, 48, 18, BS_RIGHT},
                      });
    // The remainder is shown only: no border, and Tab passes it by.
    EXPECT_EQ(0,
              GetWindowLongW(GetDlgItem(d, IDC_REMAINDER), GWL_STYLE) & (WS_BORDER | WS_TABSTOP));
    EXPECT_EQ(GetDlgItem(d, IDC_FRAME_COUNT), reinterpret_cast<HWND>(SendDlgItemMessageW(
                                                  d, IDC_FRAME_COUNT_SPIN, UDM_GETBUDDY, 0, 0)));
    EXPECT_EQ(GetDlgItem(d, IDC_FRAME_HEIGHT), reinterpret_cast<HWND>(SendDlgItemMessageW(
                                                   d, IDC_FRAME_HEIGHT_SPIN, UDM_GETBUDDY, 0, 0)));
    EXPECT_EQ(nullptr, GetDlgItem(d, IDCANCEL));
}

TEST_F(Resources, SplashTemplate) {
    HWND d = Create(IDD_SPLASH);
    ASSERT_NE(nullptr, d);
    DWORD style = DWORD(GetWindowLongW(d, GWL_STYLE));
    EXPECT_EQ(DWORD(WS_VISIBLE), style & WS_VISIBLE);
    EXPECT_EQ(0u, style & WS_CAPTION);
    ExpectClientSize(d, 94, 115);
    ExpectControls(
        d, {
               {IDC_ICON_BUTTON, L"Button", L"", 26, 11, 40, 38, BS_OWNERDRAW | WS_DISABLED},
               {IDC_LOGO, L"Button", L"", 50, 100, 40, 12, BS_RIGHT | WS_DISABLED},
           });
}

TEST_F(Resources, ProgressTemplate) {
    HWND d = Create(IDD_PROGRESS);
    ASSERT_NE(nullptr, d);
    DWORD style = DWORD(GetWindowLongW(d, GWL_STYLE));
    EXPECT_EQ(DWORD(WS_VISIBLE | WS_CAPTION), style & (WS_VISIBLE | WS_CAPTION));
    EXPECT_EQ(0u, style & WS_SYSMENU);
    EXPECT_EQ(DWORD(WS_EX_TOOLWINDOW), DWORD(GetWindowLongW(d, GWL_EXSTYLE)) & WS_EX_TOOLWINDOW);
    EXPECT_EQ(L"", WindowText(d));
    ExpectClientSize(d, 173, 60);
    ExpectControls(d, {
                          {IDC_PROGRESS_CANCEL, L"Button", L"ｷｬﾝｾﾙ", 61, 41, 50, 14, WS_TABSTOP},
                          {IDC_PROGRESS_STATUS, L"Static", L"", 43, 6, 124, 14, SS_CENTERIMAGE},
                          {IDC_PROGRESS_BAR, PROGRESS_CLASSW, nullptr, 42, 23, 123, 12, PBS_SMOOTH},
                          {IDC_LOGO, L"Button", L"", 131, 42, 41, 17, BS_RIGHT | WS_DISABLED},
                          {IDC_ANIMATE, ANIMATE_CLASSW, nullptr, 0, 0, 39, 48,
                           ACS_CENTER | ACS_TRANSPARENT | ACS_AUTOPLAY | WS_TABSTOP},
                      });
}

TEST(ResourceTables, MenuItemsTextsAndStates) {
    HMENU menu = LoadMenuW(Module(), MAKEINTRESOURCEW(IDR_MAIN_MENU));
    ASSERT_NE(nullptr, menu);
    const wchar_t* popups[] = {L"ファイル(&F)", L"再生(&P)", L"表示(&V)", L"ヘルプ(&H)"};
    ASSERT_EQ(4, GetMenuItemCount(menu));
    for (int i = 0; i < 4; ++i) {
        wchar_t text[64] = L"";
        GetMenuStringW(menu, UINT(i), text, 64, MF_BYPOSITION);
        EXPECT_EQ(std::wstring(popups[i]), text);
    }
    struct Item {
        int popup;
        int id;  // 0: separator
        const wchar_t* text;
        bool grayed;
    };
    const Item items[] = {
        {0, ID_FILE_OPEN, L"開く(&O)\tCtrl+O", false},
        {0, ID_FILE_SAVE_AS, L"名前を付けて保存(&A)...\tCtrl+S", true},
        {0, 0, nullptr, false},
        {0, ID_APP_EXIT, L"終了(&X)\tAlt+F4", false},
        {1, ID_PLAY_PAUSE, L"再生/一時停止(&P)\tF5", true},
        {1, 0, nullptr, false},
        {1, ID_PREV_FRAME, L"コマ戻し(&B)\tCtrl+Left", true},
        {1, ID_NEXT_FRAME, L"コマ送り(&F)\tCtrl+Right", true},
        {1, 0, nullptr, false},
        {1, ID_FIRST_FRAME, L"先頭まで戻る(&I)", true},
        {1, ID_LAST_FRAME, L"最後まで送る(&E)", true},
        {2, ID_VIEW_FIT, L"枠に合わせる(&F)\tCtrl+F", true},
        {2, ID_PLAY_REPEAT, L"連続再生(&R)\tCtrl+R", true},
        {2, ID_VIEW_TRANSPARENT, L"透過(&T)\tCtrl+T", true},
        {3, ID_HELP_CONTENTS, L"目次(&H)", false},
        {3, 0, nullptr, false},
        {3, ID_APP_ABOUT, L"Pelmor Kinetrixについて(&A)...", false},
    };
    int position[4] = {};
    for (const Item& item : items) {
        HMENU popup = GetSubMenu(menu, item.popup);
        ASSERT_NE(nullptr, popup);
        int pos = position[item.popup]++;
        SCOPED_TRACE("popup " + std::to_string(item.popup) + " item " + std::to_string(pos));
        MENUITEMINFOW info{};
        wchar_t text[128] = L"";
        info.cbSize = sizeof(info);
        info.fMask = MIIM_FTYPE | MIIM_ID | MIIM_STATE | MIIM_STRING;
        info.dwTypeData = text;
        info.cch = 128;
        ASSERT_TRUE(GetMenuItemInfoW(popup, UINT(pos), TRUE, &info));
        if (item.id == 0) {
            EXPECT_EQ(UINT(MFT_SEPARATOR), info.fType & MFT_SEPARATOR);
            continue;
        }
        EXPECT_EQ(UINT(item.id), info.wID);
        EXPECT_EQ(std::wstring(item.text), text);
        EXPECT_EQ(item.grayed ? UINT(MF_GRAYED) : 0u, info.fState & MF_GRAYED);
    }
    for (int i = 0; i < 4; ++i) {
        EXPECT_EQ(position[i], GetMenuItemCount(GetSubMenu(menu, i))) << "popup " << i;
    }
    DestroyMenu(menu);
}

TEST(ResourceTables, AcceleratorsAreVirtualKeysWithoutInversion) {
    HACCEL table = LoadAcceleratorsW(Module(), MAKEINTRESOURCEW(IDR_MAIN_ACCELERATORS));
    ASSERT_NE(nullptr, table);
    ASSERT_EQ(8, CopyAcceleratorTableW(table, nullptr, 0));
    ACCEL got[8];
    ASSERT_EQ(8, CopyAcceleratorTableW(table, got, 8));
    struct Want {
        WORD key;
        BYTE modifiers;
        WORD command;
    };
    const Want want[] = {
        {'O', FCONTROL, ID_FILE_OPEN},       {'S', FCONTROL, ID_FILE_SAVE_AS},
        {VK_F5, 0, ID_PLAY_PAUSE},           {VK_LEFT, FCONTROL, ID_PREV_FRAME},
        {VK_RIGHT, FCONTROL, ID_NEXT_FRAME}, {'F', FCONTROL, ID_VIEW_FIT},
        {'R', FCONTROL, ID_PLAY_REPEAT},     {'T', FCONTROL, ID_VIEW_TRANSPARENT},
    };
    for (const Want& w : want) {
        bool found = false;
        for (const ACCEL& a : got) {
            if (a.cmd == w.command) {
                found = true;
                EXPECT_EQ(w.key, a.key) << "command " << w.command;
                EXPECT_EQ(int(FVIRTKEY | FNOINVERT | w.modifiers), int(a.fVirt & 0x7F))
                    << "command " << w.command;
            }
        }
        EXPECT_TRUE(found) << "command " << w.command;
    }
    DestroyAcceleratorTable(table);
}

std::wstring LoadResourceString(int id) {
    const wchar_t* text = nullptr;
    int length = LoadStringW(Module(), UINT(id), reinterpret_cast<LPWSTR>(&text), 0);
    return length > 0 ? std::wstring(text, size_t(length)) : std::wstring(L"<missing>");
}

TEST(ResourceTables, StringTable) {
    struct Entry {
        int id;
        const wchar_t* text;
    };
    const Entry entries[] = {
        {IDS_APP_TITLE, L"Kinetrix"},
        {IDS_COMPANY, L"Pelmor Soft. Lab."},
        {IDS_OPEN_TITLE, L"画像の読み込み"},
        {IDS_SAVE_TITLE, L"ファイルの保存"},
        {IDS_OPEN_FILTER,
         L"画像ファイル(*.bmp;*.avi)|*.bmp;*.avi|bmpファイル(*.bmp)|*.bmp|aviファイル(*.avi)|*.avi|"
         L"すべてのファイル(*.*)|*.*||"},
        {IDS_SAVE_FILTER,
         L"AVIファイル(*.avi)|*.avi|ビットマップファイル(*.bmp)|*.bmp|"
         L"圧縮ビットマップファイル(*.bmp)|*.bmp|すべてのファイル(*.*)|*.*||"},
        {IDS_READ_CAPTION, L"ファイルの読込"},
        {IDS_SAVE_CAPTION, L"ファイルの保存"},
        {IDS_COMPOSE_CAPTION, L"動画の構成"},
        {IDS_STATUS_READING, L"データを読み込んでいます..."},
        {IDS_STATUS_WRITING, L"データを書き込んでいます..."},
        {IDS_STATUS_DECODING, L"データを展開しています..."},
        {IDS_STATUS_ENCODING, L"データを圧縮しています..."},
        {IDS_STATUS_CONVERTING, L"256色に変換しています..."},
        {IDS_STATUS_COMPOSING, L"動画を構成しています..."},
        {IDS_STATUS_STOPPING, L"中断処理をしています..."},
        {IDS_READ_FAILED, L"読み込みに失敗しました"},
        {IDS_SAVE_FAILED, L"正常に保存できませんでした"},
        {IDS_COMPOSE_FAILED, L"AVIファイルの作成に失敗しました"},
        {IDS_READ_CANCELLED, L"ファイルの読込を中止しました"},
        {IDS_SAVE_CANCELLED, L"ファイルの保存を中止しました"},
        {IDS_COMPOSE_CANCELLED, L"AVIファイルの作成を中止しました"},
        {IDS_UNKNOWN_FILE_TYPE, L"AVIまたはBMPファイルを選んで下さい"},
        {IDS_DROP_LIMIT, L"一度に開けるのは8個までです。残りのファイルは開きませんでした"},
        {IDS_TIP_OPEN, L"ファイルを開く\tCtrl+O"},
        {IDS_TIP_SAVE_AS, L"名前を付けて保存\tCtrl+S"},
        {IDS_TIP_PLAY_PAUSE, L"再生/一時停止\tF5"},
        {IDS_TIP_PREV_FRAME, L"コマ戻し\tCtrl+Left"},
        {IDS_TIP_NEXT_FRAME, L"コマ送り\tCtrl+Right"},
        {IDS_TIP_FIRST_FRAME, L"先頭まで戻る"},
        {IDS_TIP_LAST_FRAME, L"最後まで送る"},
        {IDS_TIP_FIT, L"枠に合わせる\tCtrl+F"},
        {IDS_TIP_REPEAT, L"連続再生\tCtrl+R"},
        {IDS_TIP_TRANSPARENT, L"透過\tCtrl+T"},
        {IDS_TIP_CONTEXT_HELP, L"コンテキストへルプ\tCtrl+F1"},
        {IDS_PARSE_INT, L"整数を入力してください。"},
        {IDS_PARSE_INT_RANGE, L"%1 から %2 までの整数を入力してください。"},
    };
    for (const Entry& e : entries) {
        EXPECT_EQ(std::wstring(e.text), LoadResourceString(e.id)) << "string " << e.id;
    }
}

// The raw DIB of a bitmap resource: the 40-byte header and its colour table.
struct RawBitmap {
    BITMAPINFOHEADER header{};
    std::vector<RGBQUAD> colours;
    const BYTE* bits = nullptr;
};

bool LoadRawBitmap(int id, RawBitmap& out) {
    HRSRC found = FindResourceW(Module(), MAKEINTRESOURCEW(id), MAKEINTRESOURCEW(2));  // RT_BITMAP
    if (found == nullptr) {
        return false;
    }
    const BYTE* data = static_cast<const BYTE*>(LockResource(LoadResource(Module(), found)));
    DWORD size = SizeofResource(Module(), found);
    if (data == nullptr || size < sizeof(BITMAPINFOHEADER)) {
        return false;
    }
    std::memcpy(&out.header, data, sizeof(BITMAPINFOHEADER));
    DWORD entries = out.header.biClrUsed != 0 ? out.header.biClrUsed : 1u << out.header.biBitCount;
    if (size < sizeof(BITMAPINFOHEADER) + entries * sizeof(RGBQUAD)) {
        return false;
    }
    out.colours.resize(entries);
    std::memcpy(out.colours.data(), data + sizeof(BITMAPINFOHEADER), entries * sizeof(RGBQUAD));
    out.bits = data + sizeof(BITMAPINFOHEADER) + entries * sizeof(RGBQUAD);
    return true;
}

COLORREF ToColorRef(const RGBQUAD& q) {
    return RGB(q.rgbRed, q.rgbGreen, q.rgbBlue);
}

// Colour of pixel (x, y), y counted from the top, of a 4-bit bottom-up DIB.
COLORREF PixelAt(const RawBitmap& b, int x, int y) {
    LONG stride = ((b.header.biWidth * 4 + 31) / 32) * 4;
    const BYTE* row = b.bits + (b.header.biHeight - 1 - y) * stride;
    BYTE pair = row[x / 2];
    return ToColorRef(b.colours[x % 2 == 0 ? pair >> 4 : pair & 0x0F]);
}

TEST(ResourcePictures, LogoBitmapsHaveTheirSizesAndOnlyReferenceColours) {
    struct Logo {
        int id, width, height;
    };
    const Logo logos[] = {{IDB_LOGO_32X12, 32, 12},
                          {IDB_LOGO_42X16, 42, 16},
                          {IDB_LOGO_52X20, 52, 20},
                          {IDB_LOGO_66X24, 66, 24},
                          {IDB_LOGO_86X32, 86, 32}};
    const COLORREF reference[] = {RGB(192, 192, 192), RGB(255, 255, 255), RGB(128, 128, 128),
                                  RGB(255, 0, 255),   RGB(128, 0, 0),     RGB(0, 255, 255),
                                  RGB(0, 128, 0)};
    for (const Logo& logo : logos) {
        SCOPED_TRACE("bitmap " + std::to_string(logo.id));
        HBITMAP loaded = static_cast<HBITMAP>(
            LoadImageW(Module(), MAKEINTRESOURCEW(logo.id), IMAGE_BITMAP, 0, 0, 0));
        ASSERT_NE(nullptr, loaded);
        BITMAP info{};
        GetObjectW(loaded, sizeof(info), &info);
        EXPECT_EQ(logo.width, info.bmWidth);
        EXPECT_EQ(logo.height, info.bmHeight);
        DeleteObject(loaded);

        RawBitmap raw;
        ASSERT_TRUE(LoadRawBitmap(logo.id, raw));
        EXPECT_EQ(4, raw.header.biBitCount);
        EXPECT_EQ(DWORD(BI_RGB), raw.header.biCompression);
        for (const RGBQUAD& q : raw.colours) {
            COLORREF c = ToColorRef(q);
            EXPECT_NE(std::end(reference), std::find(std::begin(reference), std::end(reference), c))
                << std::hex << c;
        }
        // The picture sits on the button face: the corners are light grey.
        EXPECT_EQ(RGB(192, 192, 192), PixelAt(raw, 0, 0));
        EXPECT_EQ(RGB(192, 192, 192), PixelAt(raw, logo.width - 1, logo.height - 1));
    }
}

TEST(ResourcePictures, ToolStripBitmapsUseTheirTransparentAndGlyphColours) {
    struct Strip {
        int id, width;
        COLORREF transparent, glyph;
    };
    const Strip strips[] = {{IDB_VIEW_BAR, 64, RGB(192, 192, 192), RGB(0, 0, 128)},
                            {IDB_PLAY_BAR, 112, RGB(0, 255, 255), RGB(128, 0, 128)}};
    for (const Strip& s : strips) {
        SCOPED_TRACE("bitmap " + std::to_string(s.id));
        RawBitmap raw;
        ASSERT_TRUE(LoadRawBitmap(s.id, raw));
        EXPECT_EQ(s.width, raw.header.biWidth);
        EXPECT_EQ(16, raw.header.biHeight);
        EXPECT_EQ(4, raw.header.biBitCount);
        // Every 16 x 16 picture has a see-through corner and some outline in the glyph colour.
        for (int picture = 0; picture < s.width / 16; ++picture) {
            EXPECT_EQ(s.transparent, PixelAt(raw, picture * 16, 15)) << "picture " << picture;
            int glyphPixels = 0;
            for (int y = 0; y < 16; ++y) {
                for (int x = 0; x < 16; ++x) {
                    glyphPixels += PixelAt(raw, picture * 16 + x, y) == s.glyph;
                }
            }
            EXPECT_LT(10, glyphPixels) << "picture " << picture;
        }
    }
}

TEST(ResourcePictures, IconHasSmallAndLargeImages) {
    for (int side : {16, 32}) {
        HICON icon = static_cast<HICON>(
            LoadImageW(Module(), MAKEINTRESOURCEW(IDR_MAINFRAME), IMAGE_ICON, side, side, 0));
        ASSERT_NE(nullptr, icon) << side;
        ICONINFO info{};
        ASSERT_TRUE(GetIconInfo(icon, &info));
        BITMAP colour{};
        GetObjectW(info.hbmColor, sizeof(colour), &colour);
        EXPECT_EQ(side, colour.bmWidth);
        EXPECT_EQ(side, colour.bmHeight);
        DeleteObject(info.hbmColor);
        DeleteObject(info.hbmMask);
        DestroyIcon(icon);
    }
    HRSRC group = FindResourceW(Module(), MAKEINTRESOURCEW(IDR_MAINFRAME), MAKEINTRESOURCEW(14));
    ASSERT_NE(nullptr, group);  // RT_GROUP_ICON
    const BYTE* dir = static_cast<const BYTE*>(LockResource(LoadResource(Module(), group)));
    ASSERT_NE(nullptr, dir);
    EXPECT_EQ(3, dir[4] | dir[5] << 8);  // 16, 32 and 48 pixels
}

uint32_t Le32(const BYTE* p) {
    return p[0] | p[1] << 8 | p[2] << 16 | uint32_t(p[3]) << 24;
}

// Finds the chunk with the given id inside [begin, end), descending into LIST chunks.
const BYTE* FindChunk(const BYTE* begin, const BYTE* end, const char* id) {
    while (end - begin >= 8) {
        uint32_t size = Le32(begin + 4);
        if (std::memcmp(begin, id, 4) == 0) {
            return begin;
        }
        if (size > uint32_t(end - begin) - 8) {
            return nullptr;
        }
        if (std::memcmp(begin, "LIST", 4) == 0 && size >= 4) {
            if (const BYTE* inner = FindChunk(begin + 12, begin + 8 + size, id)) {
                return inner;
            }
        }
        begin += 8 + size + (size & 1);
    }
    return nullptr;
}

TEST(ResourceClip, AviResourceHoldsTheRunLengthEncodedClip) {
    HRSRC found = FindResourceW(Module(), MAKEINTRESOURCEW(IDR_CLIP), L"AVI");
    ASSERT_NE(nullptr, found);
    const BYTE* data = static_cast<const BYTE*>(LockResource(LoadResource(Module(), found)));
    const DWORD size = SizeofResource(Module(), found);
    ASSERT_NE(nullptr, data);
    ASSERT_LE(12u, size);
    EXPECT_EQ(0, std::memcmp(data, "RIFF", 4));
    EXPECT_EQ(0, std::memcmp(data + 8, "AVI ", 4));
    EXPECT_EQ(size, Le32(data + 4) + 8);
    const BYTE* end = data + size;
    const BYTE* avih = FindChunk(data + 12, end, "avih");
    ASSERT_NE(nullptr, avih);
    EXPECT_EQ(100000u, Le32(avih + 8));   // microseconds per frame
    EXPECT_EQ(35u, Le32(avih + 8 + 16));  // total frames
    EXPECT_EQ(56u, Le32(avih + 8 + 32));  // width
    EXPECT_EQ(53u, Le32(avih + 8 + 36));  // height
    const BYTE* strf = FindChunk(data + 12, end, "strf");
    ASSERT_NE(nullptr, strf);
    BITMAPINFOHEADER format;
    std::memcpy(&format, strf + 8, sizeof(format));
    EXPECT_EQ(56, format.biWidth);
    EXPECT_EQ(53, format.biHeight);
    EXPECT_EQ(8, format.biBitCount);
    EXPECT_EQ(DWORD(BI_RLE8), format.biCompression);
    EXPECT_EQ(13u, format.biClrUsed);
    const BYTE* idx1 = FindChunk(data + 12, end, "idx1");
    ASSERT_NE(nullptr, idx1);
    EXPECT_EQ(35u * 16u, Le32(idx1 + 4));
}

TEST_F(Resources, AnimationControlOpensTheClip) {
    HWND d = Create(IDD_ABOUTBOX);
    ASSERT_NE(nullptr, d);
    EXPECT_EQ(TRUE, SendDlgItemMessageW(d, IDC_ANIMATE, ACM_OPENW, 0, IDR_CLIP));
}

}  // namespace
