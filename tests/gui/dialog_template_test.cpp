// The main dialog from the real template 102: the template's words, icon 128, the controls as
// created, placement, the first load exchange, the exchange in both directions with its
// failures, the ways out of the modal loop, and the event table's report of exceptions.
#include <gtest/gtest.h>

#include <cstdint>
#include <functional>
#include <iterator>
#include <new>
#include <stdexcept>
#include <string>
#include <vector>

#include "app/encrypt_dlg.h"
#include "gui/gui_harness.h"
#include "platform/file_exception.h"
#include "platform/win32/wnd.h"
#include "resource.h"
#include "unit/test_util.h"

using namespace hhx::gui;

namespace {

// A UTF-8 text as a control shows it after a trip through the ANSI code page: itself on code
// page 936, question marks for the Chinese characters on code page 1252.
std::string ThroughAnsi(const std::string& utf8) { return AnsiToUtf8(Utf8ToAnsi(utf8)); }

const char kParseMessage[] = "“请填入一个正整数。”";
const char kRangeMessage[] = "“请填入一个在0和65534之间的整数。”";

// ---------------------------------------------------------------------------------------------
// A reader of the template's bytes, independent of the layer under test.
class TemplateReader {
public:
    TemplateReader(const unsigned char* bytes, std::size_t size) : m_bytes(bytes), m_size(size) {}
    std::uint16_t Word() {
        Need(2);
        const std::uint16_t value = static_cast<std::uint16_t>(m_bytes[m_at] | m_bytes[m_at + 1] << 8);
        m_at += 2;
        return value;
    }
    std::uint32_t Dword() {
        const std::uint32_t low = Word();
        return low | static_cast<std::uint32_t>(Word()) << 16;
    }
    std::uint8_t Byte() {
        Need(1);
        return m_bytes[m_at++];
    }
    std::int16_t Short() { return static_cast<std::int16_t>(Word()); }
    // A name or ordinal field: "#n" for an ordinal, else the UTF-8 string.
    std::string NameOrOrdinal() {
        std::wstring text;
        std::uint16_t first = Word();
        if (first == 0xFFFF) return "#" + std::to_string(Word());
        for (std::uint16_t c = first; c != 0; c = Word()) text += static_cast<wchar_t>(c);
        return ToUtf8(text);
    }
    void AlignDword() { m_at = (m_at + 3) & ~std::size_t{3}; }
    bool AtEnd() const { return m_at == m_size; }

private:
    void Need(std::size_t count) const {
        if (m_at + count > m_size) throw std::out_of_range("template ends early");
    }
    const unsigned char* m_bytes;
    std::size_t m_size;
    std::size_t m_at = 0;
};

struct ResourceBytes {
    const unsigned char* bytes = nullptr;
    std::size_t size = 0;
};

ResourceBytes FindResourceBytes(LPCWSTR type, LPCWSTR name, WORD language) {
    HMODULE module = ::GetModuleHandleW(nullptr);
    HRSRC found = ::FindResourceExW(module, type, name, language);
    if (found == nullptr) return {};
    HGLOBAL loaded = ::LoadResource(module, found);
    return {static_cast<const unsigned char*>(::LockResource(loaded)), ::SizeofResource(module, found)};
}

const WORD kChinese = MAKELANGID(LANG_CHINESE, SUBLANG_CHINESE_SIMPLIFIED);

struct ControlFacts {
    int id;
    const char* kind;  // "#128" button, "#129" edit, "#130" static in the template
    const char* text;
    short x, y, cx, cy;
    std::uint32_t style;
    std::uint32_t exStyle;
};

// Template 102's controls in template order.
const ControlFacts kControls[] = {
    {1000, "#128", "开始加密", 33, 36, 81, 26, 0x58010000, 0},
    {2, "#128", "退出", 149, 37, 72, 26, 0x50010000, 0},
    {-1, "#130", "待处理文件所在目录：", 7, 7, 100, 8, 0x50020000, 0},
    {1001, "#129", "", 7, 17, 230, 15, 0x50010880, 0x00020000},
    {-1, "#130", "游戏问答音列表文件：", 7, 29, 125, 8, 0x48020000, 0},
    {1002, "#129", "", 7, 37, 230, 14, 0x48010880, 0x00020000},
    {-1, "#130", "游戏提示音列表文件：", 7, 29, 125, 8, 0x48020000, 0},
    {1003, "#129", "", 7, 37, 230, 14, 0x48010880, 0x00020000},
    {1004, "#128", "浏览…", 244, 16, 50, 18, 0x50010000, 0},
    {1005, "#128", "浏览…", 244, 37, 50, 14, 0x48010000, 0},
    {1006, "#128", "浏览…", 244, 37, 50, 14, 0x48010000, 0},
    {-1, "#130", "声音文件所在目录：", 7, 29, 125, 8, 0x48020000, 0},
    {1007, "#129", "", 7, 37, 230, 14, 0x48010880, 0x00020000},
    {1008, "#128", "浏览…", 244, 37, 50, 14, 0x48010000, 0},
    {1009, "#129", "", 63, 32, 62, 12, 0x48012082, 0x00020000},
    {-1, "#130", "选书码：", 27, 35, 33, 8, 0x48020000, 0},
    {-1, "#130", "处理进程：", 7, 67, 42, 19, 0x50020200, 0},
    {1011, "#130", "", 47, 67, 247, 19, 0x50020200, 0},
};

TEST(Template, WordsAreExactlyAsDesigned) {
    const ResourceBytes res = FindResourceBytes(MAKEINTRESOURCEW(5), MAKEINTRESOURCEW(IDD_ENCRYPT_DIALOG), kChinese);
    ASSERT_NE(res.bytes, nullptr) << "no dialog 102 in language 2052";
    TemplateReader t(res.bytes, res.size);
    EXPECT_EQ(t.Word(), 1);           // extended template
    EXPECT_EQ(t.Word(), 0xFFFF);
    EXPECT_EQ(t.Dword(), 0u);         // help id
    EXPECT_EQ(t.Dword(), 0x00040000u);
    EXPECT_EQ(t.Dword(), 0x90CA00C0u);
    const std::uint16_t count = t.Word();
    EXPECT_EQ(count, 18);
    EXPECT_EQ(t.Short(), 0);
    EXPECT_EQ(t.Short(), 0);
    EXPECT_EQ(t.Short(), 301);
    EXPECT_EQ(t.Short(), 93);
    EXPECT_EQ(t.NameOrOrdinal(), "");  // no menu
    EXPECT_EQ(t.NameOrOrdinal(), "");  // the standard dialog class
    EXPECT_EQ(t.NameOrOrdinal(), "Lorvane数据加密工具2011-10-28v1.0.0");
    EXPECT_EQ(t.Word(), 9);  // points
    EXPECT_EQ(t.Word(), 0);  // weight
    EXPECT_EQ(t.Byte(), 0);  // not italic
    EXPECT_EQ(t.Byte(), 1);  // DEFAULT_CHARSET
    EXPECT_EQ(t.NameOrOrdinal(), "宋体");

    ASSERT_EQ(count, std::size(kControls));
    for (const ControlFacts& expected : kControls) {
        SCOPED_TRACE(std::to_string(expected.id) + " " + expected.text);
        t.AlignDword();
        EXPECT_EQ(t.Dword(), 0u);  // help id
        EXPECT_EQ(t.Dword(), expected.exStyle);
        EXPECT_EQ(t.Dword(), expected.style);
        EXPECT_EQ(t.Short(), expected.x);
        EXPECT_EQ(t.Short(), expected.y);
        EXPECT_EQ(t.Short(), expected.cx);
        EXPECT_EQ(t.Short(), expected.cy);
        EXPECT_EQ(static_cast<std::int32_t>(t.Dword()), expected.id);
        EXPECT_EQ(t.NameOrOrdinal(), expected.kind);
        EXPECT_EQ(t.NameOrOrdinal(), expected.text);
        EXPECT_EQ(t.Word(), 0);  // no creation data
    }
    t.AlignDword();
    EXPECT_TRUE(t.AtEnd());
}

TEST(Template, IconHasTwo16ColourImagesWithMask) {
    const ResourceBytes group = FindResourceBytes(MAKEINTRESOURCEW(14), MAKEINTRESOURCEW(IDR_MAINFRAME), kChinese);
    ASSERT_NE(group.bytes, nullptr) << "no icon group 128";
    TemplateReader t(group.bytes, group.size);
    EXPECT_EQ(t.Word(), 0);
    EXPECT_EQ(t.Word(), 1);
    ASSERT_EQ(t.Word(), 2);
    std::vector<int> sizes;
    for (int i = 0; i < 2; ++i) {
        const std::uint16_t widthHeight = t.Word();
        const std::uint16_t colours = t.Word();
        EXPECT_EQ(t.Word(), 1);  // planes
        EXPECT_EQ(t.Word(), 4);  // bits per pixel
        t.Dword();
        const std::uint16_t id = t.Word();
        const int size = widthHeight & 0xFF;
        sizes.push_back(size);
        EXPECT_EQ(widthHeight >> 8, size);
        EXPECT_EQ(colours & 0xFF, 16);
        const ResourceBytes image = FindResourceBytes(MAKEINTRESOURCEW(3), MAKEINTRESOURCEW(id), kChinese);
        ASSERT_NE(image.bytes, nullptr);
        const auto* header = reinterpret_cast<const BITMAPINFOHEADER*>(image.bytes);
        EXPECT_EQ(header->biWidth, size);
        EXPECT_EQ(header->biHeight, 2 * size) << "colour bits and mask";
        EXPECT_EQ(header->biBitCount, 4);
        const std::size_t colourRow = (size * 4 + 31) / 32 * 4, maskRow = (size + 31) / 32 * 4;
        EXPECT_EQ(image.size, sizeof(BITMAPINFOHEADER) + 16 * 4 + (colourRow + maskRow) * size);
    }
    EXPECT_EQ(sizes, (std::vector<int>{32, 16}));
}

TEST(Template, ManifestAsksForCommonControls6AndDpiAwareness) {
    const ResourceBytes manifest = FindResourceBytes(MAKEINTRESOURCEW(24), MAKEINTRESOURCEW(1), kChinese);
    ASSERT_NE(manifest.bytes, nullptr);
    const std::string text(reinterpret_cast<const char*>(manifest.bytes), manifest.size);
    EXPECT_NE(text.find("Microsoft.Windows.Common-Controls"), std::string::npos);
    EXPECT_NE(text.find("version=\"6.0.0.0\""), std::string::npos);
    EXPECT_NE(text.find("<dpiAware"), std::string::npos);
    EXPECT_NE(text.find("{8e0f7a12-bfb3-4fe8-b9a5-48fd50a15a9a}"), std::string::npos);  // Windows 10
    EXPECT_NE(FindResourceBytes(MAKEINTRESOURCEW(16), MAKEINTRESOURCEW(1), kChinese).bytes, nullptr);
}

// ---------------------------------------------------------------------------------------------
// The dialog as created from the template.

const char* KindClass(const char* kind) {
    const std::string k = kind;
    return k == "#128" ? "Button" : k == "#129" ? "Edit" : "Static";
}

// A CEncryptDlg whose settings file lives in a temporary folder of its own; the main window,
// as the application makes it, so that it owns the message boxes.
class DialogTest : public ::testing::Test {
protected:
    void SetUp() override {
        dlg.m_strExeDir = dir.path();
        app.m_pMainWnd = &dlg;
    }

    HWND Item(int id) const { return ::GetDlgItem(dlg.m_hWnd, id); }
    std::string ItemText(int id) const { return WindowText(Item(id)); }
    void SetItemText(int id, const std::string& utf8) {
        ::SetWindowTextW(Item(id), hhx::gui::Utf8ToWide(utf8).c_str());
    }

    TempDir dir;
    CWinApp app;
    CEncryptDlg dlg;
    DialogWatcher watcher;
};

TEST(EncryptDlgConstruction, Defaults) {
    CEncryptDlg dlg;
    char path[1024];
    const DWORD length = ::GetModuleFileNameA(nullptr, path, sizeof path);
    ASSERT_GT(length, 0u);
    const std::string exe(path, length);
    EXPECT_EQ(dlg.m_strExeDir, exe.substr(0, exe.rfind('\\') + 1));
    EXPECT_EQ(dlg.m_nBookCode, 8950u);
    EXPECT_EQ(dlg.m_hIcon, ::LoadIconW(::GetModuleHandleW(nullptr), MAKEINTRESOURCEW(IDR_MAINFRAME)));
    EXPECT_NE(dlg.m_hIcon, nullptr);
    for (const std::string* field : {&dlg.m_strQaListFile, &dlg.m_strPromptListFile, &dlg.m_strWorkDir,
                                     &dlg.m_strSoundDir, &dlg.m_strSourceDirText, &dlg.m_strStatus}) {
        EXPECT_EQ(*field, "");
    }
    EXPECT_EQ(dlg.m_btnStart.m_hWnd, nullptr);
    EXPECT_EQ(dlg.m_hWnd, nullptr);
}

TEST_F(DialogTest, ControlsAsCreatedFromTheTemplate) {
    RunModal(dlg, [&](CDialog&) {
        EXPECT_EQ(WindowText(dlg.m_hWnd), "Lorvane数据加密工具2011-10-28v1.0.0");
        const LONG style = ::GetWindowLongW(dlg.m_hWnd, GWL_STYLE);
        EXPECT_EQ(style & (WS_MINIMIZEBOX | WS_MAXIMIZEBOX | WS_THICKFRAME | WS_SYSMENU),
                  WS_MINIMIZEBOX | WS_SYSMENU);
        EXPECT_TRUE(::GetWindowLongW(dlg.m_hWnd, GWL_EXSTYLE) & WS_EX_APPWINDOW);
        EXPECT_EQ(::GetWindow(dlg.m_hWnd, GW_OWNER), nullptr);

        const std::vector<HWND> children = Children(dlg.m_hWnd);
        ASSERT_EQ(children.size(), std::size(kControls));
        for (std::size_t i = 0; i < children.size(); ++i) {
            const ControlFacts& expected = kControls[i];
            HWND control = children[i];
            SCOPED_TRACE(std::to_string(i + 1) + ": " + std::to_string(expected.id) + " " + expected.text);
            EXPECT_EQ(static_cast<short>(::GetDlgCtrlID(control)), expected.id);
            EXPECT_EQ(ClassName(control), KindClass(expected.kind));
            const bool visible = (expected.style & WS_VISIBLE) != 0;
            const bool enabled = (expected.style & WS_DISABLED) == 0;
            EXPECT_EQ(::IsWindowVisible(control) != FALSE, visible);
            EXPECT_EQ(::IsWindowEnabled(control) != FALSE, enabled);
            if (expected.id != IDC_BOOK_CODE) {
                EXPECT_EQ(WindowText(control), expected.text);
            }
        }
        // The start button is bound and disabled; the hidden book-code field shows the default,
        // right-aligned.
        EXPECT_EQ(dlg.m_btnStart.m_hWnd, Item(IDC_START_ENCRYPT));
        EXPECT_FALSE(dlg.m_btnStart.IsWindowEnabled());
        EXPECT_EQ(ItemText(IDC_BOOK_CODE), "8950");
        EXPECT_TRUE(::GetWindowLongW(Item(IDC_BOOK_CODE), GWL_STYLE) & ES_RIGHT);
        // Tab order through the visible, enabled tab stops (the start button is disabled).
        HWND exitButton = Item(IDCANCEL);
        HWND next = ::GetNextDlgTabItem(dlg.m_hWnd, exitButton, FALSE);
        EXPECT_EQ(next, Item(IDC_SOURCE_DIR));
        next = ::GetNextDlgTabItem(dlg.m_hWnd, next, FALSE);
        EXPECT_EQ(next, Item(IDC_BROWSE_SOURCE_DIR));
        EXPECT_EQ(::GetNextDlgTabItem(dlg.m_hWnd, next, FALSE), exitButton);
    });
    EXPECT_TRUE(watcher.boxes().empty());
}

TEST_F(DialogTest, CentredOnTheScreenWhenItHasNoOwner) {
    RunModal(dlg, [&](CDialog&) {
        RECT window, area;
        ::GetWindowRect(dlg.m_hWnd, &window);
        ::SystemParametersInfoW(SPI_GETWORKAREA, 0, &area, 0);
        EXPECT_NEAR((window.left + window.right) / 2, (area.left + area.right) / 2, 1);
        EXPECT_NEAR((window.top + window.bottom) / 2, (area.top + area.bottom) / 2, 1);
        EXPECT_GT(window.left, area.left);
    });
}

TEST_F(DialogTest, FirstLoadExchangeShowsTheFieldsBeforeInitialisationGoesOn) {
    dlg.m_strSourceDirText = hhx::gui::Utf8ToAnsi("D:\\歌曲\\");
    dlg.m_strQaListFile = "qa.lst";
    dlg.m_strPromptListFile = "prompt.lst";
    dlg.m_strSoundDir = "E:\\sound\\";
    dlg.m_strStatus = "ready";
    dlg.m_nBookCode = 77;
    RunModal(dlg, [&](CDialog&) {
        EXPECT_EQ(ItemText(IDC_SOURCE_DIR), ThroughAnsi("D:\\歌曲\\"));
        EXPECT_EQ(ItemText(IDC_QA_LIST_FILE), "qa.lst");
        EXPECT_EQ(ItemText(IDC_PROMPT_LIST_FILE), "prompt.lst");
        EXPECT_EQ(ItemText(IDC_SOUND_DIR), "E:\\sound\\");
        EXPECT_EQ(ItemText(IDC_STATUS), "ready");  // shown, even when the field is emptied later
        EXPECT_EQ(ItemText(IDC_BOOK_CODE), "77");
    });
}

TEST_F(DialogTest, ExchangeInBothDirections) {
    RunModal(dlg, [&](CDialog&) {
        const std::string exeDir = dlg.m_strExeDir;
        const HICON icon = dlg.m_hIcon;
        dlg.m_strWorkDir = "C:\\work\\";
        // A status text far beyond 256 bytes: the status line has no length rule.
        const std::string longStatus = "C:\\" + std::string(600, 'x') + "\\a.mp3";
        SetItemText(IDC_SOURCE_DIR, "C:\\音乐\\");
        SetItemText(IDC_QA_LIST_FILE, "  q a  ");
        SetItemText(IDC_PROMPT_LIST_FILE, "p");
        SetItemText(IDC_SOUND_DIR, "S:\\");
        SetItemText(IDC_BOOK_CODE, "65534");
        SetItemText(IDC_STATUS, longStatus);

        EXPECT_TRUE(dlg.UpdateData(TRUE));
        EXPECT_EQ(dlg.m_strSourceDirText, hhx::gui::Utf8ToAnsi("C:\\音乐\\"));
        EXPECT_EQ(dlg.m_strQaListFile, "  q a  ");  // the whole text, untrimmed
        EXPECT_EQ(dlg.m_strPromptListFile, "p");
        EXPECT_EQ(dlg.m_strSoundDir, "S:\\");
        EXPECT_EQ(dlg.m_nBookCode, 65534u);
        EXPECT_EQ(dlg.m_strStatus, longStatus);

        dlg.m_strSourceDirText = "F:\\";
        dlg.m_strQaListFile.clear();
        dlg.m_nBookCode = 0;
        dlg.m_strStatus = hhx::gui::Utf8ToAnsi("处理中");
        EXPECT_TRUE(dlg.UpdateData(FALSE));
        EXPECT_EQ(ItemText(IDC_SOURCE_DIR), "F:\\");
        EXPECT_EQ(ItemText(IDC_QA_LIST_FILE), "");
        EXPECT_EQ(ItemText(IDC_BOOK_CODE), "0");
        EXPECT_EQ(ItemText(IDC_STATUS), ThroughAnsi("处理中"));

        // Fields bound to no control stay as they were.
        EXPECT_EQ(dlg.m_strExeDir, exeDir);
        EXPECT_EQ(dlg.m_strWorkDir, "C:\\work\\");
        EXPECT_EQ(dlg.m_hIcon, icon);
    });
    EXPECT_TRUE(watcher.boxes().empty());
}

struct BookCodeCase {
    const char* text;       // UTF-8
    bool ok;
    std::uint32_t value;    // the field afterwards
    const char* message;    // the box, when not ok
};

TEST_F(DialogTest, BookCodeParseAndRangeFailures) {
    const BookCodeCase cases[] = {
        {"8950", true, 8950, nullptr},
        {"0", true, 0, nullptr},
        {"65534", true, 65534, nullptr},
        {" \t123\t ", true, 123, nullptr},
        {"007", true, 7, nullptr},
        {"65535", false, 65535, kRangeMessage},                // parsed, then out of range
        {"4294967295", false, 4294967295u, kRangeMessage},
        {"99999999999", false, 4294967295u, kRangeMessage},    // beyond 32 bits: out of range too
        {"", false, 1, kParseMessage},                         // the field keeps its value
        {"   ", false, 1, kParseMessage},
        {"-1", false, 1, kParseMessage},
        {"+5", false, 1, kParseMessage},
        {"12a", false, 1, kParseMessage},
        {"1 2", false, 1, kParseMessage},
        {"0x10", false, 1, kParseMessage},
    };
    std::vector<BookCodeCase> all(std::begin(cases), std::end(cases));
    // Full-width digits are double-byte characters on code page 936; code page 1252 turns
    // them into ASCII digits on their way to the ANSI text.
    if (::GetACP() == 936) all.push_back({"１２", false, 1, kParseMessage});
    RunModal(dlg, [&](CDialog&) {
        for (const BookCodeCase& c : all) {
            SCOPED_TRACE(std::string("text \"") + c.text + "\"");
            watcher.ClearBoxes();
            dlg.m_nBookCode = 1;
            dlg.m_strStatus = "old";
            SetItemText(IDC_SOURCE_DIR, "C:\\before\\");
            SetItemText(IDC_STATUS, "new");
            SetItemText(IDC_BOOK_CODE, c.text);

            EXPECT_EQ(dlg.UpdateData(TRUE) != FALSE, c.ok);
            EXPECT_EQ(dlg.m_nBookCode, c.value);
            EXPECT_EQ(dlg.m_strSourceDirText, "C:\\before\\");  // the steps before ran
            if (c.ok) {
                EXPECT_TRUE(watcher.boxes().empty());
                EXPECT_EQ(dlg.m_strStatus, "new");
                continue;
            }
            EXPECT_EQ(dlg.m_strStatus, "old");  // the steps after did not run
            ASSERT_EQ(watcher.boxes().size(), 1u);
            const Box& box = watcher.boxes()[0];
            EXPECT_EQ(box.text, c.message);
            EXPECT_EQ(box.icon, BoxIcon::exclamation) << ToString(box.icon);
            EXPECT_EQ(box.caption, ToUtf8(AfxGetProgramTitle()));
            EXPECT_EQ(box.caption, "hhx_gui_tests");
            EXPECT_EQ(box.owner, dlg.m_hWnd);
        }
    });
}

TEST_F(DialogTest, FailureFocusesTheFieldAndSelectsItsText) {
    RunModal(dlg, [&](CDialog&) {
        // The book-code field is hidden and disabled, and a disabled window takes no focus:
        // show it as a field the operator could type into.
        HWND field = Item(IDC_BOOK_CODE);
        ::EnableWindow(field, TRUE);
        ::ShowWindow(field, SW_SHOW);
        for (const char* text : {"12ab", "70000"}) {
            SCOPED_TRACE(text);
            ::SetFocus(Item(IDCANCEL));
            SetItemText(IDC_BOOK_CODE, text);
            EXPECT_FALSE(dlg.UpdateData(TRUE));
            EXPECT_EQ(::GetFocus(), field);
            DWORD start = 1, end = 0;
            ::SendMessageW(field, EM_GETSEL, reinterpret_cast<WPARAM>(&start), reinterpret_cast<LPARAM>(&end));
            EXPECT_EQ(start, 0u);
            EXPECT_EQ(end, std::string(text).size());
        }
    });
    EXPECT_EQ(watcher.boxes().size(), 2u);
}

// ---------------------------------------------------------------------------------------------
// The modal loop's ways out: each ends DoModal with its code and runs the virtual
// DestroyWindow exactly once.

class CountingDlg : public CEncryptDlg {
public:
    BOOL DestroyWindow() override {
        ++destroyCalls;
        windowAtDestroy = m_hWnd;
        visibleAtDestroy = ::IsWindowVisible(m_hWnd) != FALSE;
        return CEncryptDlg::DestroyWindow();
    }
    int destroyCalls = 0;
    HWND windowAtDestroy = nullptr;
    bool visibleAtDestroy = true;
};

struct WayOut {
    const char* name;
    std::function<void(CountingDlg&)> act;
    INT_PTR result;
};

TEST(DialogModalLoop, EveryWayOutEndsTheLoopAndDestroysTheWindowOnce) {
    const WayOut ways[] = {
        {"exit button", [](CountingDlg& d) { ::SendMessageW(::GetDlgItem(d.m_hWnd, IDCANCEL), BM_CLICK, 0, 0); }, IDCANCEL},
        {"close box", [](CountingDlg& d) { ::PostMessageW(d.m_hWnd, WM_CLOSE, 0, 0); }, IDCANCEL},
        {"system menu close", [](CountingDlg& d) { ::PostMessageW(d.m_hWnd, WM_SYSCOMMAND, SC_CLOSE, 0); }, IDCANCEL},
        {"Escape", [](CountingDlg& d) {
             HWND field = ::GetDlgItem(d.m_hWnd, IDC_SOURCE_DIR);
             ::SetFocus(field);
             ::PostMessageW(field, WM_KEYDOWN, VK_ESCAPE, 0);
         }, IDCANCEL},
        {"Enter in the folder field", [](CountingDlg& d) {
             HWND field = ::GetDlgItem(d.m_hWnd, IDC_SOURCE_DIR);
             ::SetFocus(field);
             ::PostMessageW(field, WM_KEYDOWN, VK_RETURN, 0);
         }, IDOK},
        {"IDOK command", [](CountingDlg& d) { ::PostMessageW(d.m_hWnd, WM_COMMAND, IDOK, 0); }, IDOK},
    };
    for (const WayOut& way : ways) {
        SCOPED_TRACE(way.name);
        TempDir dir;
        DialogWatcher watcher;
        CWinApp app;
        CountingDlg dlg;
        dlg.m_strExeDir = dir.path();
        app.m_pMainWnd = &dlg;
        HWND hWnd = nullptr;
        const INT_PTR result = RunModal(dlg, [&](CDialog&) {
            hWnd = dlg.m_hWnd;
            way.act(dlg);
            // Whatever the way, handling it is left to the modal loop.
        });
        EXPECT_EQ(result, way.result);
        EXPECT_EQ(dlg.destroyCalls, 1);
        EXPECT_EQ(dlg.windowAtDestroy, hWnd);
        EXPECT_FALSE(dlg.visibleAtDestroy) << "hidden before it is destroyed";
        EXPECT_FALSE(::IsWindow(hWnd));
        EXPECT_EQ(dlg.m_hWnd, nullptr);
        EXPECT_EQ(dlg.m_btnStart.m_hWnd, nullptr) << "the binding ends with the window";
        EXPECT_EQ(app.m_pMainWnd, nullptr) << "the main window pointer is cleared";
        EXPECT_TRUE(watcher.boxes().empty());
    }
}

TEST(DialogModalLoop, AFailingDefaultOkKeepsTheDialogOpen) {
    TempDir dir;
    DialogWatcher watcher;
    CountingDlg dlg;
    dlg.m_strExeDir = dir.path();
    int step = 0;
    const INT_PTR result = RunModal(dlg, [&](CDialog&) {
        ::SetWindowTextW(::GetDlgItem(dlg.m_hWnd, IDC_BOOK_CODE), L"x");
        ::SendMessageW(dlg.m_hWnd, WM_COMMAND, IDOK, 0);
        step = 1;
        EXPECT_TRUE(::IsWindowVisible(dlg.m_hWnd));
        EXPECT_EQ(dlg.destroyCalls, 0);
        ::SetWindowTextW(::GetDlgItem(dlg.m_hWnd, IDC_BOOK_CODE), L"12");
        ::SendMessageW(dlg.m_hWnd, WM_COMMAND, IDOK, 0);
        step = 2;
    });
    EXPECT_EQ(step, 2);
    EXPECT_EQ(result, IDOK);
    EXPECT_EQ(dlg.m_nBookCode, 12u);
    ASSERT_EQ(watcher.boxes().size(), 1u);
    EXPECT_EQ(watcher.boxes()[0].text, kParseMessage);
    EXPECT_EQ(dlg.destroyCalls, 1);
}

// ---------------------------------------------------------------------------------------------
// The event table: dispatch by message, code and id; handlers with results; the report of
// exceptions that leave a handler, after which the dialog goes on.

class EventDlg : public CDialog {
public:
    EventDlg() : CDialog(IDD_ENCRYPT_DIALOG) {}

    void OnBrowse() {
        ++clicks;
        if (toThrow) toThrow();
    }
    void OnPaint() {
        ++paints;
        Default();
    }
    HCURSOR OnQueryDragIcon() { return dragIcon; }

    std::function<void()> toThrow;
    int clicks = 0;
    int paints = 0;
    HICON dragIcon = ::LoadIconA(nullptr, IDI_APPLICATION);

    DECLARE_MESSAGE_MAP()
};

BEGIN_MESSAGE_MAP(EventDlg, CDialog)
    ON_WM_PAINT()
    ON_WM_QUERYDRAGICON()
    ON_BN_CLICKED(IDC_BROWSE_SOURCE_DIR, &EventDlg::OnBrowse)
END_MESSAGE_MAP()

TEST(DialogEventTable, MatchesMessageCodeAndId) {
    DialogWatcher watcher;
    EventDlg dlg;
    RunModal(dlg, [&](CDialog&) {
        HWND browse = ::GetDlgItem(dlg.m_hWnd, IDC_BROWSE_SOURCE_DIR);
        ::SendMessageW(browse, BM_CLICK, 0, 0);
        EXPECT_EQ(dlg.clicks, 1);
        // Another notification from the same button, and a click from another id: no handler.
        ::SendMessageW(dlg.m_hWnd, WM_COMMAND, MAKEWPARAM(IDC_BROWSE_SOURCE_DIR, BN_DOUBLECLICKED),
                       reinterpret_cast<LPARAM>(browse));
        ::SendMessageW(dlg.m_hWnd, WM_COMMAND, MAKEWPARAM(IDC_BROWSE_SOUND_DIR, BN_CLICKED), 0);
        EXPECT_EQ(dlg.clicks, 1);

        // A handler's result is the message's result.
        EXPECT_EQ(::SendMessageW(dlg.m_hWnd, WM_QUERYDRAGICON, 0, 0),
                  reinterpret_cast<LRESULT>(dlg.dragIcon));

        // Painting through the default processing validates the window.
        ::InvalidateRect(dlg.m_hWnd, nullptr, TRUE);
        ::UpdateWindow(dlg.m_hWnd);
        EXPECT_GE(dlg.paints, 1);
        EXPECT_FALSE(::GetUpdateRect(dlg.m_hWnd, nullptr, FALSE));
    });
    EXPECT_TRUE(watcher.boxes().empty());
}

struct ThrowCase {
    const char* name;
    std::function<void()> raise;
    const char* text;  // nullptr: no box
    BoxIcon icon;
    bool topmost;
};

TEST(DialogEventTable, ExceptionsLeavingAHandlerAreReportedAndTheDialogGoesOn) {
    const CFileException diskFull(CFileException::diskFull, 112, "C:\\out\\a.hhx");
    const ThrowCase cases[] = {
        {"file error", [&] { throw diskFull; }, nullptr, BoxIcon::stop, false},
        {"out of memory", [] { throw std::bad_alloc(); }, "内存不足。", BoxIcon::exclamation, true},
        {"other exception", [] { throw std::runtime_error("坏了"); }, "坏了", BoxIcon::stop, false},
        {"exception without text", [] { throw std::runtime_error(""); }, "内部应用程序出错。", BoxIcon::stop, false},
        {"not a std::exception", [] { throw 42; }, "内部应用程序出错。", BoxIcon::stop, false},
        {"user exception", [] { throw CUserException(); }, nullptr, BoxIcon::none, false},
    };
    for (const ThrowCase& c : cases) {
        SCOPED_TRACE(c.name);
        DialogWatcher watcher;
        CWinApp app;
        EventDlg dlg;
        app.m_pMainWnd = &dlg;
        dlg.toThrow = c.raise;
        RunModal(dlg, [&](CDialog&) {
            HWND browse = ::GetDlgItem(dlg.m_hWnd, IDC_BROWSE_SOURCE_DIR);
            ::SendMessageW(browse, BM_CLICK, 0, 0);
            dlg.toThrow = nullptr;
            ::SendMessageW(browse, BM_CLICK, 0, 0);  // the dialog goes on
            EXPECT_EQ(dlg.clicks, 2);
            EXPECT_TRUE(::IsWindowVisible(dlg.m_hWnd));
        });
        const bool isFileError = std::string(c.name) == "file error";
        if (c.text == nullptr && !isFileError) {
            EXPECT_TRUE(watcher.boxes().empty());
            continue;
        }
        ASSERT_EQ(watcher.boxes().size(), 1u);
        const Box& box = watcher.boxes()[0];
        EXPECT_EQ(box.text, isFileError ? diskFull.GetErrorMessage() : std::string(c.text));
        EXPECT_EQ(box.icon, c.icon) << ToString(box.icon);
        EXPECT_EQ(box.topmost, c.topmost);
        EXPECT_EQ(box.caption, "hhx_gui_tests");
    }
}

// Errors other than a failed validation inside an exchange: shown in a box, and the exchange
// returns false.
class ExchangeErrorDlg : public CDialog {
public:
    ExchangeErrorDlg() : CDialog(IDD_ENCRYPT_DIALOG) {}
    std::function<void()> raise;

protected:
    void DoDataExchange(CDataExchange* pDX) override {
        if (raise && pDX->m_bSaveAndValidate) raise();
    }
};

TEST(DialogExchange, OutOfMemoryIsShownAndTheExchangeReturnsFalse) {
    DialogWatcher watcher;
    ExchangeErrorDlg dlg;
    RunModal(dlg, [&](CDialog&) {
        dlg.raise = [] { throw std::bad_alloc(); };
        EXPECT_FALSE(dlg.UpdateData(TRUE));
        dlg.raise = [] { throw CUserException(); };  // already shown by whoever raised it
        EXPECT_FALSE(dlg.UpdateData(TRUE));
        dlg.raise = nullptr;
        EXPECT_TRUE(dlg.UpdateData(TRUE));
    });
    ASSERT_EQ(watcher.boxes().size(), 1u);
    EXPECT_EQ(watcher.boxes()[0].text, "内存不足。");
    EXPECT_EQ(watcher.boxes()[0].icon, BoxIcon::exclamation);
}

// ---------------------------------------------------------------------------------------------
// Message boxes.

TEST(AfxMessageBoxTest, OwnedByTheMainWindowCaptionedWithTheTitleExclamationByDefault) {
    DialogWatcher watcher;
    CWinApp app;
    EventDlg dlg;
    app.m_pMainWnd = &dlg;
    HWND hWnd = nullptr;
    RunModal(dlg, [&](CDialog&) {
        hWnd = dlg.m_hWnd;
        EXPECT_EQ(AfxMessageBox("一共3个文件处理结束。", MB_OK), IDOK);
        AfxMessageBox("停止", MB_OK | MB_ICONSTOP);
    });
    ASSERT_EQ(watcher.boxes().size(), 2u);
    EXPECT_EQ(watcher.boxes()[0].text, "一共3个文件处理结束。");
    EXPECT_EQ(watcher.boxes()[0].icon, BoxIcon::exclamation);
    EXPECT_EQ(watcher.boxes()[0].caption, "hhx_gui_tests");
    EXPECT_EQ(watcher.boxes()[0].owner, hWnd);
    EXPECT_EQ(watcher.boxes()[1].icon, BoxIcon::stop);
}

}  // namespace
