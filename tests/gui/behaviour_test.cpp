// The main dialog's behaviour, driven in-process from its own modal loop: start-up with and
// without a settings file, runs over a folder with the status line and the completion box,
// a disk that fills up mid-run, every way out saving the settings, the pickers, and the
// application's start-up routine.
#include <gtest/gtest.h>

#include <shlobj.h>

#include <algorithm>
#include <cstdlib>
#include <iostream>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include "app/encrypt_app.h"
#include "app/encrypt_dlg.h"
#include "app/minimised_icon.h"
#include "gui/gui_harness.h"
#include "platform/win32/wnd.h"
#include "resource.h"
#include "unit/test_util.h"

using namespace hhx::gui;

namespace {

const char kNoSettings[] = "\r\n\r\n\r\n";

HWND Item(const CWnd& dlg, int id) { return ::GetDlgItem(dlg.GetSafeHwnd(), id); }
bool Enabled(const CWnd& dlg, int id) { return ::IsWindowEnabled(Item(dlg, id)) != FALSE; }
// A control's text as ANSI bytes, the form the dialog's fields hold.
std::string AnsiText(HWND hWnd) { return Utf8ToAnsi(WindowText(hWnd)); }
void Click(const CWnd& dlg, int id) { ::SendMessageW(Item(dlg, id), BM_CLICK, 0, 0); }

std::string Completion(int count) {
    return "一共" + std::to_string(count) + "个文件处理结束。";
}

// Records what reaches the status line while a run goes on: each new text with the start
// button's state at that moment, and at each later read of the text (the save exchange that
// follows it) whether the control still waited to be painted.
class StatusSpy {
public:
    StatusSpy(HWND status, HWND startButton) : m_hStatus(status), m_hStart(startButton) {
        s_spy = this;
        m_previous = reinterpret_cast<WNDPROC>(
            ::SetWindowLongPtrW(status, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&Proc)));
    }
    ~StatusSpy() {
        if (::IsWindow(m_hStatus))
            ::SetWindowLongPtrW(m_hStatus, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(m_previous));
        s_spy = nullptr;
    }
    StatusSpy(const StatusSpy&) = delete;
    StatusSpy& operator=(const StatusSpy&) = delete;

    struct Shown {
        std::string text;  // ANSI
        bool startEnabled;
        int reads = 0;            // reads of the text while it was on show
        int readsUnpainted = 0;   // ... of which found the control waiting to be painted
    };
    std::vector<Shown> shown;

    std::vector<std::string> Texts() const {
        std::vector<std::string> texts;
        for (const Shown& s : shown) texts.push_back(s.text);
        return texts;
    }

private:
    static LRESULT CALLBACK Proc(HWND hWnd, UINT message, WPARAM wParam, LPARAM lParam) {
        StatusSpy* spy = s_spy;
        if (message == WM_SETTEXT) {
            const auto* text = reinterpret_cast<const wchar_t*>(lParam);
            spy->shown.push_back({Utf8ToAnsi(ToUtf8(text ? text : L"")),
                                  ::IsWindowEnabled(spy->m_hStart) != FALSE});
        } else if (message == WM_GETTEXT && !spy->shown.empty()) {
            spy->shown.back().reads++;
            if (::GetUpdateRect(hWnd, nullptr, FALSE)) spy->shown.back().readsUnpainted++;
        }
        return ::CallWindowProcW(spy->m_previous, hWnd, message, wParam, lParam);
    }

    static inline StatusSpy* s_spy = nullptr;
    HWND m_hStatus;
    HWND m_hStart;
    WNDPROC m_previous = nullptr;
};

// Chooses a folder in the shell's folder browser and presses OK. The first selection of a
// path in a process is often lost, so it is sent until the tree's caret item stays put.
void ChooseFolder(HWND browser, const std::string& ansiPath) {
    HWND tree = ::FindWindowExW(browser, nullptr, L"SysTreeView32", nullptr);
    HTREEITEM previous = nullptr;
    for (int attempt = 0; attempt < 50; ++attempt) {
        ::SendMessageA(browser, BFFM_SETSELECTIONA, TRUE, reinterpret_cast<LPARAM>(ansiPath.c_str()));
        PumpMessages();
        const auto caret = reinterpret_cast<HTREEITEM>(
            ::SendMessageW(tree, TVM_GETNEXTITEM, TVGN_CARET, 0));
        if (caret != nullptr && caret == previous) break;
        previous = caret;
        ::Sleep(20);
    }
    ::PostMessageW(browser, WM_COMMAND, IDOK, 0);
}

// The browser's title: the static whose text it is.
bool ShowsText(HWND dialog, const std::string& utf8) {
    for (HWND child : Children(dialog))
        if (WindowText(child) == utf8) return true;
    return false;
}

// A temporary program folder for the dialog (the settings file lives there) and a data folder.
class MainDialog : public testing::Test {
protected:
    TempDir program;
    TempDir data;
    DialogWatcher watcher;

    std::string SettingsPath() const { return program.file("SysSet.ini"); }
    void WriteSettings(const std::string& bytes) { WriteBytes(SettingsPath(), bytes); }
    // A dialog whose program folder is the temporary one.
    void Prepare(CEncryptDlg& dlg) { dlg.m_strExeDir = program.path(); }
};

// ---------------------------------------------------------------------------------------------
// Start-up

TEST_F(MainDialog, WithoutSettingsFileOpensEmptyAndWritesTheFileOnClose) {
    CEncryptDlg dlg;
    Prepare(dlg);
    RunModal(dlg, [&](CDialog&) {
        EXPECT_EQ(AnsiText(Item(dlg, IDC_SOURCE_DIR)), "");
        EXPECT_EQ(AnsiText(Item(dlg, IDC_STATUS)), "");
        EXPECT_FALSE(Enabled(dlg, IDC_START_ENCRYPT));
        EXPECT_EQ(dlg.m_strWorkDir, "");
        // Icons for the window and the drag, and the book code's limit.
        const auto icon = reinterpret_cast<LRESULT>(dlg.m_hIcon);
        EXPECT_NE(dlg.m_hIcon, nullptr);
        EXPECT_EQ(::SendMessageW(dlg.m_hWnd, WM_GETICON, ICON_BIG, 0), icon);
        EXPECT_EQ(::SendMessageW(dlg.m_hWnd, WM_GETICON, ICON_SMALL, 0), icon);
        EXPECT_EQ(::SendMessageW(dlg.m_hWnd, WM_QUERYDRAGICON, 0, 0), icon);
        EXPECT_EQ(::SendMessageW(Item(dlg, IDC_BOOK_CODE), EM_GETLIMITTEXT, 0, 0), 10);
    });
    EXPECT_TRUE(watcher.boxes().empty());
    EXPECT_EQ(ReadBytes(SettingsPath()), kNoSettings);
}

TEST_F(MainDialog, WithSettingsFileShowsTheFolderAndEnablesStart) {
    WriteSettings(data.path() + "\r\nqa.txt\r\nprompt.txt\r\nsound\\");
    CEncryptDlg dlg;
    Prepare(dlg);
    RunModal(dlg, [&](CDialog&) {
        EXPECT_EQ(AnsiText(Item(dlg, IDC_SOURCE_DIR)), data.path());
        EXPECT_EQ(dlg.m_strWorkDir, data.path());
        EXPECT_TRUE(Enabled(dlg, IDC_START_ENCRYPT));
        EXPECT_EQ(AnsiText(Item(dlg, IDC_STATUS)), "");
        EXPECT_EQ(dlg.m_strStatus, "");
    });
    EXPECT_TRUE(watcher.boxes().empty());
    EXPECT_EQ(ReadBytes(SettingsPath()), data.path() + "\r\nqa.txt\r\nprompt.txt\r\nsound\\");
}

// A settings file that opens but cannot be read: the error is reported, the dialog still
// runs, and it does not overwrite the file with its defaults when it closes. The "file" is a
// named pipe whose server hangs up on the first reader; a second pipe instance, listening
// while the dialog runs, would catch an attempt to save.
TEST_F(MainDialog, SettingsThatFailToLoadAreNotOverwritten) {
    const std::string folder = "\\\\.\\pipe\\hhx-" + std::to_string(::GetCurrentProcessId()) + "-";
    const std::string name = folder + "SysSet.ini";
    auto listen = [&name] {
        return ::CreateNamedPipeA(name.c_str(), PIPE_ACCESS_DUPLEX | FILE_FLAG_OVERLAPPED,
                                  PIPE_TYPE_BYTE | PIPE_WAIT, 2, 4096, 4096, 0, nullptr);
    };
    HANDLE first = listen();
    ASSERT_NE(first, INVALID_HANDLE_VALUE) << ::GetLastError();
    std::thread hangUp([first] {
        OVERLAPPED connected{};
        connected.hEvent = ::CreateEventW(nullptr, TRUE, FALSE, nullptr);
        if (!::ConnectNamedPipe(first, &connected) && ::GetLastError() == ERROR_IO_PENDING)
            ::WaitForSingleObject(connected.hEvent, 10000);
        ::CancelIo(first);
        ::DisconnectNamedPipe(first);
        ::CloseHandle(first);
        ::CloseHandle(connected.hEvent);
    });

    CEncryptDlg dlg;
    dlg.m_strExeDir = folder;
    HANDLE second = INVALID_HANDLE_VALUE;
    bool startEnabled = true;
    RunModal(dlg, [&](CDialog&) {
        startEnabled = Enabled(dlg, IDC_START_ENCRYPT);
        second = listen();
    });
    hangUp.join();
    ASSERT_NE(second, INVALID_HANDLE_VALUE);
    OVERLAPPED probe{};
    probe.hEvent = ::CreateEventW(nullptr, TRUE, FALSE, nullptr);
    const BOOL connectedNow = ::ConnectNamedPipe(second, &probe);
    const DWORD state = ::GetLastError();
    ::CancelIo(second);
    ::CloseHandle(second);
    ::CloseHandle(probe.hEvent);

    ASSERT_EQ(watcher.boxes().size(), 1u) << "the load error";
    EXPECT_EQ(watcher.boxes()[0].icon, BoxIcon::stop);
    EXPECT_FALSE(startEnabled);
    EXPECT_FALSE(connectedNow);
    EXPECT_EQ(state, static_cast<DWORD>(ERROR_IO_PENDING)) << "the dialog tried to save";
}

// ---------------------------------------------------------------------------------------------
// Runs

TEST_F(MainDialog, RunShowsEachSourceReportsTheCountAndCanRunAgain) {
    const std::string chinese = Utf8ToAnsi("歌曲.mp3");
    WriteBytes(data.file("a.mp3"), std::string(100, 'a'));
    WriteBytes(data.file(chinese), std::string(64, 'b'));
    WriteBytes(data.file("empty.mp3"), "");
    WriteBytes(data.file("notes.txt"), "not a source");
    WriteSettings(data.path() + "\r\n\r\n\r\n");
    const std::set<std::string> sources = {data.file("a.mp3"), data.file(chinese), data.file("empty.mp3")};

    CEncryptDlg dlg;
    Prepare(dlg);
    RunModal(dlg, [&](CDialog&) {
        StatusSpy spy(Item(dlg, IDC_STATUS), Item(dlg, IDC_START_ENCRYPT));
        ASSERT_TRUE(Enabled(dlg, IDC_START_ENCRYPT));
        Click(dlg, IDC_START_ENCRYPT);

        ASSERT_EQ(watcher.boxes().size(), 1u);
        const Box& box = watcher.boxes()[0];
        EXPECT_EQ(box.text, Completion(3));
        EXPECT_EQ(box.icon, BoxIcon::exclamation) << ToString(box.icon);
        EXPECT_EQ(box.caption, "hhx_gui_tests");
        EXPECT_EQ(box.owner, dlg.m_hWnd);

        // Each source's path, set while the start button was disabled, and painted before
        // the run went on (the save exchange after it reads it back).
        const std::vector<std::string> texts = spy.Texts();
        EXPECT_EQ(std::set<std::string>(texts.begin(), texts.end()), sources);
        EXPECT_EQ(texts.size(), sources.size());
        for (const StatusSpy::Shown& s : spy.shown) {
            SCOPED_TRACE(s.text);
            EXPECT_FALSE(s.startEnabled);
            EXPECT_GT(s.reads, 0);
            EXPECT_EQ(s.readsUnpainted, 0) << "the status line waited to be painted";
        }

        // After the run: the button is back, the last path stays on show.
        EXPECT_TRUE(Enabled(dlg, IDC_START_ENCRYPT));
        ASSERT_FALSE(texts.empty());
        EXPECT_EQ(AnsiText(Item(dlg, IDC_STATUS)), texts.back());
        EXPECT_EQ(dlg.m_strStatus, texts.back());

        // A second click runs over the same folder again.
        spy.shown.clear();
        Click(dlg, IDC_START_ENCRYPT);
        ASSERT_EQ(watcher.boxes().size(), 2u);
        EXPECT_EQ(watcher.boxes()[1].text, Completion(3));
        EXPECT_EQ(spy.Texts().size(), sources.size());
        EXPECT_TRUE(Enabled(dlg, IDC_START_ENCRYPT));
    });
    EXPECT_EQ(ReadBytes(data.file("a.hhx")).size(), 32u + 2 * 64);
    EXPECT_EQ(ReadBytes(data.file(Utf8ToAnsi("歌曲.hhx"))).size(), 32u + 64);
    EXPECT_EQ(ReadBytes(data.file("empty.hhx")).size(), 32u);
    EXPECT_FALSE(FileExists(data.file("notes.hhx")));
}

// No file written: the count is 0 and the box still comes. A source that cannot be opened is
// skipped without a message, and its path stays on show as the last one the run reached.
TEST_F(MainDialog, RunThatWritesNothingReportsZero) {
    const std::string locked = data.file("locked.mp3");
    WriteBytes(locked, "x");
    const struct {
        const char* name;
        std::string folder;
        std::string status;  // after the run
    } cases[] = {
        {"missing folder", data.path() + "missing\\", ""},
        {"no source in the folder", data.path() + "empty\\", ""},
        {"only source cannot be opened", data.path(), locked},
    };
    MakeDir(data.path() + "empty");
    HANDLE holder = ::CreateFileA(locked.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(holder, INVALID_HANDLE_VALUE);
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        watcher.ClearBoxes();
        WriteSettings(c.folder + "\r\n\r\n\r\n");
        CEncryptDlg dlg;
        Prepare(dlg);
        RunModal(dlg, [&](CDialog&) {
            Click(dlg, IDC_START_ENCRYPT);
            EXPECT_TRUE(Enabled(dlg, IDC_START_ENCRYPT));
            EXPECT_EQ(AnsiText(Item(dlg, IDC_STATUS)), c.status);
        });
        ASSERT_EQ(watcher.boxes().size(), 1u);
        EXPECT_EQ(watcher.boxes()[0].text, Completion(0));
    }
    ::CloseHandle(holder);
    EXPECT_FALSE(FileExists(data.file("locked.hhx")));
}

// The small disk that tools/test mounts (HHX_SMALL_DISK, a Windows path or a Linux path seen
// through Wine's Z: drive); empty when there is none.
std::string SmallDisk() {
    const char* env = std::getenv("HHX_SMALL_DISK");
    if (env == nullptr || *env == '\0') return {};
    std::string path = env;
    if (path[0] == '/') {
        std::replace(path.begin(), path.end(), '/', '\\');
        path = "Z:" + path;
    }
    if (path.back() != '\\') path += '\\';
    return path;
}

TEST_F(MainDialog, DiskFullMidRunReportsTheOutputAndLeavesStartDisabled) {
    const std::string disk = SmallDisk();
    if (disk.empty()) GTEST_SKIP() << "no small disk: set HHX_SMALL_DISK to a small tmpfs (tools/test mounts one)";
    const std::string folder = disk + "diskfull-" + std::to_string(::GetCurrentProcessId()) + "\\";
    ASSERT_TRUE(::CreateDirectoryA(folder.c_str(), nullptr)) << ::GetLastError();
    // A source that takes more than half of the free space cannot be written out beside itself.
    ULARGE_INTEGER freeBytes{};
    ASSERT_TRUE(::GetDiskFreeSpaceExA(folder.c_str(), &freeBytes, nullptr, nullptr));
    const std::string source = folder + "big.mp3";
    WriteBytes(source, std::string(static_cast<std::size_t>(freeBytes.QuadPart * 2 / 3), 'x'));
    WriteSettings(folder + "\r\n\r\n\r\n");

    CEncryptDlg dlg;
    Prepare(dlg);
    RunModal(dlg, [&](CDialog&) {
        Click(dlg, IDC_START_ENCRYPT);
        ASSERT_EQ(watcher.boxes().size(), 1u) << "only the file error, no completion box";
        const Box& box = watcher.boxes()[0];
        EXPECT_EQ(box.icon, BoxIcon::stop) << ToString(box.icon);
        EXPECT_EQ(box.text, "在存取 " + AnsiToUtf8(folder + "big.hhx") + " 时磁盘已满。");
        EXPECT_FALSE(Enabled(dlg, IDC_START_ENCRYPT));
        EXPECT_EQ(AnsiText(Item(dlg, IDC_STATUS)), source);
        EXPECT_FALSE(FileExists(folder + "big.hhx")) << "the incomplete output is removed";

        // The folder picker, even cancelled, makes the button usable again; a new run starts.
        watcher.ExpectDialog([](HWND browser) { ::PostMessageW(browser, WM_COMMAND, IDCANCEL, 0); });
        Click(dlg, IDC_BROWSE_SOURCE_DIR);
        EXPECT_TRUE(Enabled(dlg, IDC_START_ENCRYPT));
        ::DeleteFileA(source.c_str());
        Click(dlg, IDC_START_ENCRYPT);
        ASSERT_EQ(watcher.boxes().size(), 2u);
        EXPECT_EQ(watcher.boxes()[1].text, Completion(0));
    });
    ::DeleteFileA(source.c_str());
    ::DeleteFileA((folder + "big.hhx").c_str());
    ::RemoveDirectoryA(folder.c_str());
}

// ---------------------------------------------------------------------------------------------
// Ways out: each one ends the dialog and writes the settings file.

// Runs the dialog, performs the action once from inside its modal loop and returns DoModal's
// result once the dialog has ended through its own loop; a dialog the action did not end is
// ended after a few seconds with kNotEnded.
constexpr INT_PTR kNotEnded = 99;
struct ActionRun {
    CEncryptDlg* dlg;
    void (*act)(CEncryptDlg&);
    UINT_PTR actTimer, giveUpTimer;
};
ActionRun* g_actionRun = nullptr;

void CALLBACK ActOnce(HWND, UINT, UINT_PTR id, DWORD) {
    ActionRun* run = g_actionRun;
    if (run->dlg->GetSafeHwnd() == nullptr || !::IsWindowVisible(run->dlg->GetSafeHwnd())) return;
    ::KillTimer(nullptr, id);
    run->actTimer = 0;
    run->act(*run->dlg);
}

void CALLBACK GiveUp(HWND, UINT, UINT_PTR, DWORD) {
    g_actionRun->dlg->EndDialog(static_cast<int>(kNotEnded));
}

INT_PTR RunUntilItEnds(CEncryptDlg& dlg, void (*act)(CEncryptDlg&)) {
    ActionRun run{&dlg, act, 0, 0};
    g_actionRun = &run;
    run.actTimer = ::SetTimer(nullptr, 0, 0, &ActOnce);
    run.giveUpTimer = ::SetTimer(nullptr, 0, 5000, &GiveUp);
    const INT_PTR result = dlg.DoModal();
    if (run.actTimer != 0) ::KillTimer(nullptr, run.actTimer);
    ::KillTimer(nullptr, run.giveUpTimer);
    g_actionRun = nullptr;
    return result;
}

void PressEnterInTheFolderField(CEncryptDlg& dlg) {
    ::SetFocus(Item(dlg, IDC_SOURCE_DIR));
    ::PostMessageW(Item(dlg, IDC_SOURCE_DIR), WM_KEYDOWN, VK_RETURN, 0x001C0001);
}

TEST_F(MainDialog, EveryWayOutSavesTheSettings) {
    const struct {
        const char* name;
        INT_PTR result;
        void (*act)(CEncryptDlg& dlg);
    } cases[] = {
        {"exit button", IDCANCEL, [](CEncryptDlg& dlg) { Click(dlg, IDCANCEL); }},
        {"Escape", IDCANCEL,
         [](CEncryptDlg& dlg) {
             ::PostMessageW(Item(dlg, IDC_SOURCE_DIR), WM_KEYDOWN, VK_ESCAPE, 0x00010001);
         }},
        {"close box (WM_CLOSE)", IDCANCEL,
         [](CEncryptDlg& dlg) { ::PostMessageW(dlg.m_hWnd, WM_CLOSE, 0, 0); }},
        {"Close on the system menu", IDCANCEL,
         [](CEncryptDlg& dlg) { ::PostMessageW(dlg.m_hWnd, WM_SYSCOMMAND, SC_CLOSE, 0); }},
        {"Alt+F4", IDCANCEL,
         [](CEncryptDlg& dlg) {
             ::PostMessageW(Item(dlg, IDC_SOURCE_DIR), WM_SYSKEYDOWN, VK_F4, 0x203E0001);
         }},
        {"Enter in the folder field", IDOK, &PressEnterInTheFolderField},
        // The status line has no length rule: a long path does not keep the dialog open.
        {"Enter with a long status text", IDOK,
         [](CEncryptDlg& dlg) {
             ::SetWindowTextA(Item(dlg, IDC_STATUS), std::string(300, 's').c_str());
             PressEnterInTheFolderField(dlg);
         }},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        watcher.ClearBoxes();
        // LF line ends come back as CR LF: the file was written again.
        WriteSettings(data.path() + "\nqa\nprompt\nsound");
        CEncryptDlg dlg;
        Prepare(dlg);
        EXPECT_EQ(RunUntilItEnds(dlg, c.act), c.result);
        EXPECT_TRUE(watcher.boxes().empty());
        EXPECT_EQ(ReadBytes(SettingsPath()), data.path() + "\r\nqa\r\nprompt\r\nsound");
    }
}

// ---------------------------------------------------------------------------------------------
// The folder picker

TEST_F(MainDialog, FolderPickerSetsTheFolderTextAndTheWorkingFolder) {
    // A folder name ending in a double-byte character whose second byte is 0x5C ("\").
    const std::string trail5c = Utf8ToAnsi("乗");  // 0x81 0x5C in code page 936
    const bool cp936 = trail5c == "\x81\x5C";
    const std::string chinese = data.file(Utf8ToAnsi("音乐"));
    const std::string dbcsEnd = data.file("a" + trail5c);
    MakeDir(chinese);
    if (cp936)
        MakeDir(dbcsEnd);
    else
        std::cout << "code page " << ::GetACP() << ": the trail-byte case needs code page 936\n";

    const struct {
        const char* name;
        std::string loaded;  // line 1 of the settings file
        std::string choice;  // "" cancels the browser
        std::string workDir;
        std::string text;
        bool startEnabled;
    } cases[] = {
        {"ordinary folder", "", chinese, chinese + "\\", chinese + "\\", true},
        {"drive root", "", "Z:\\", "Z:\\", "Z:\\\\", true},
        {"second choice replaces the first", data.path(), chinese, chinese + "\\", chinese + "\\", true},
        {"cancel on a fresh start", "", "", "", "", false},
        {"cancel keeps the loaded folder", data.path(), "", data.path(), data.path(), true},
        {"name ending in a trail byte 0x5C", "", dbcsEnd, dbcsEnd + "\\", dbcsEnd + "\\", true},
    };
    for (const auto& c : cases) {
        if (!cp936 && c.choice == dbcsEnd) continue;
        SCOPED_TRACE(c.name);
        watcher.ClearBoxes();
        if (c.loaded.empty())
            ::DeleteFileA(SettingsPath().c_str());
        else
            WriteSettings(c.loaded + "\r\n\r\n\r\n");
        CEncryptDlg dlg;
        Prepare(dlg);
        bool titled = false;
        RunModal(dlg, [&](CDialog&) {
            watcher.ExpectDialog([&](HWND browser) {
                titled = ShowsText(browser, "选择声音文件所在的目录路径：");
                if (c.choice.empty())
                    ::PostMessageW(browser, WM_COMMAND, IDCANCEL, 0);
                else
                    ChooseFolder(browser, c.choice);
            });
            Click(dlg, IDC_BROWSE_SOURCE_DIR);
            EXPECT_EQ(dlg.m_strWorkDir, c.workDir);
            EXPECT_EQ(dlg.m_strSourceDirText, c.text);
            EXPECT_EQ(AnsiText(Item(dlg, IDC_SOURCE_DIR)), c.text);
            EXPECT_EQ(Enabled(dlg, IDC_START_ENCRYPT), c.startEnabled);
        });
        EXPECT_TRUE(titled);
        EXPECT_TRUE(watcher.boxes().empty());
        EXPECT_EQ(ReadBytes(SettingsPath()), c.text + "\r\n\r\n\r\n");
    }
}

// ---------------------------------------------------------------------------------------------
// The hidden second mode's pickers, called as their buttons would call them.

TEST_F(MainDialog, SoundFolderPickerSetsOnlyTheSoundFolder) {
    WriteSettings(data.path() + "\r\nqa.txt\r\nprompt.txt\r\n");
    CEncryptDlg dlg;
    Prepare(dlg);
    RunModal(dlg, [&](CDialog&) {
        ::EnableWindow(Item(dlg, IDC_START_ENCRYPT), FALSE);
        watcher.ExpectDialog([&](HWND browser) { ChooseFolder(browser, "Z:\\"); });
        dlg.OnBrowseSoundDir();
        EXPECT_EQ(dlg.m_strSoundDir, "Z:\\");
        EXPECT_EQ(AnsiText(Item(dlg, IDC_SOUND_DIR)), "Z:\\");
        EXPECT_EQ(dlg.m_strWorkDir, data.path());
        EXPECT_EQ(dlg.m_strSourceDirText, data.path());
        EXPECT_TRUE(Enabled(dlg, IDC_START_ENCRYPT)) << "all four values are there";
    });
}

TEST_F(MainDialog, ListFilePickerFillsTheFieldOfTheFocusedButton) {
    const std::string list = data.file(Utf8ToAnsi("列表.txt"));
    WriteBytes(list, "1\r\n");
    const struct {
        const char* name;
        int focused;          // the button holding the focus when the picker opens
        bool choose;          // false cancels the picker
        const char* soundDir;  // the fourth value of the second mode
        std::string qa, prompt;
        bool startEnabled;
    } cases[] = {
        {"question-and-answer button", IDC_BROWSE_QA_LIST_FILE, true, "s\\", list, "p.txt", true},
        {"prompt button", IDC_BROWSE_PROMPT_LIST_FILE, true, "s\\", "q.txt", list, true},
        {"cancelled", IDC_BROWSE_QA_LIST_FILE, false, "s\\", "q.txt", "p.txt", true},
        {"sound folder missing", IDC_BROWSE_QA_LIST_FILE, true, "", list, "p.txt", false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        WriteSettings(data.path() + "\r\nq.txt\r\np.txt\r\n" + c.soundDir);
        CEncryptDlg dlg;
        Prepare(dlg);
        RunModal(dlg, [&](CDialog&) {
            ::EnableWindow(Item(dlg, IDC_START_ENCRYPT), FALSE);
            HWND button = Item(dlg, c.focused);
            ::EnableWindow(button, TRUE);  // hidden and disabled in the template
            ::SetFocus(button);
            ASSERT_EQ(::GetFocus(), button);
            bool disabledMeanwhile = false;
            std::vector<std::string> filter;
            watcher.ExpectDialog([&](HWND picker) {
                disabledMeanwhile = !::IsWindowEnabled(button);
                HWND types = ::GetDlgItem(picker, 0x470);  // cmb1, the file types
                const int count = static_cast<int>(::SendMessageW(types, CB_GETCOUNT, 0, 0));
                for (int i = 0; i < count; ++i) {
                    wchar_t text[256] = {};
                    ::SendMessageW(types, CB_GETLBTEXT, i, reinterpret_cast<LPARAM>(text));
                    filter.push_back(ToUtf8(text));
                }
                EXPECT_EQ(::SendMessageW(types, CB_GETCURSEL, 0, 0), 0);
                if (c.choose) {
                    ::SetDlgItemTextA(picker, 0x47C, list.c_str());  // Wine's file name box
                    ::PostMessageW(picker, WM_COMMAND, IDOK, 0);
                } else {
                    ::PostMessageW(picker, WM_COMMAND, IDCANCEL, 0);
                }
            });
            dlg.OnBrowseListFile();
            EXPECT_TRUE(disabledMeanwhile);
            EXPECT_TRUE(::IsWindowEnabled(button));
            EXPECT_EQ(filter, (std::vector<std::string>{"文本文件(*.txt)", "所有文件(*.*)"}));
            EXPECT_EQ(dlg.m_strQaListFile, c.qa);
            EXPECT_EQ(dlg.m_strPromptListFile, c.prompt);
            EXPECT_EQ(AnsiText(Item(dlg, IDC_QA_LIST_FILE)), c.qa);
            EXPECT_EQ(AnsiText(Item(dlg, IDC_PROMPT_LIST_FILE)), c.prompt);
            EXPECT_EQ(Enabled(dlg, IDC_START_ENCRYPT), c.startEnabled);
        });
    }
}

// ---------------------------------------------------------------------------------------------
// The minimised dialog's icon: centred, the quotient truncated toward zero.

TEST(MinimisedIcon, CentringTruncatesTowardZero) {
    const struct {
        int extent, icon, offset;
    } cases[] = {{36, 32, 2}, {31, 32, 0}, {30, 32, 0}, {29, 32, -1}, {32, 32, 0}, {160, 32, 64}};
    for (const auto& c : cases) {
        SCOPED_TRACE(std::to_string(c.extent) + " " + std::to_string(c.icon));
        EXPECT_EQ(hhx::CentredIconOffset(c.extent, c.icon), c.offset);
    }
}

// ---------------------------------------------------------------------------------------------
// The application's start-up routine: the dialog is the main window while it runs modally,
// and the routine returns false. The dialog reads and writes the settings file beside this
// test program, so that file is kept and put back.

class SettingsBesideTheProgram {
public:
    SettingsBesideTheProgram() : m_path(CEncryptDlg().m_strExeDir + "SysSet.ini") {
        m_existed = FileExists(m_path);
        if (m_existed) m_bytes = ReadBytes(m_path);
    }
    ~SettingsBesideTheProgram() {
        if (m_existed)
            WriteBytes(m_path, m_bytes);
        else
            ::DeleteFileA(m_path.c_str());
    }
    const std::string& path() const { return m_path; }

private:
    std::string m_path;
    bool m_existed = false;
    std::string m_bytes;
};

struct StartUp {
    CWinApp* app = nullptr;
    HWND mainWindow = nullptr;
    bool isMainDialog = false;
};
StartUp g_startUp;

void CALLBACK WatchStartUp(HWND, UINT, UINT_PTR id, DWORD) {
    CWnd* main = g_startUp.app->m_pMainWnd;
    if (main == nullptr || main->GetSafeHwnd() == nullptr || !::IsWindowVisible(main->GetSafeHwnd()))
        return;  // not shown yet
    ::KillTimer(nullptr, id);
    g_startUp.mainWindow = main->GetSafeHwnd();
    g_startUp.isMainDialog = dynamic_cast<CEncryptDlg*>(main) != nullptr;
    ::PostMessageW(g_startUp.mainWindow, WM_COMMAND, IDCANCEL, 0);
}

TEST(EncryptApp, InitInstanceRunsTheDialogAsMainWindowAndReturnsFalse) {
    SettingsBesideTheProgram settings;
    WriteBytes(settings.path(), "Z:\\\r\n\r\n\r\n");
    CEncryptApp app;
    g_startUp = {&app};
    const UINT_PTR timer = ::SetTimer(nullptr, 0, 10, &WatchStartUp);
    EXPECT_FALSE(app.InitInstance());
    ::KillTimer(nullptr, timer);
    EXPECT_NE(g_startUp.mainWindow, nullptr);
    EXPECT_TRUE(g_startUp.isMainDialog);
    EXPECT_FALSE(::IsWindow(g_startUp.mainWindow));
    EXPECT_EQ(app.m_pMainWnd, nullptr);
    EXPECT_EQ(ReadBytes(settings.path()), "Z:\\\r\n\r\n\r\n");
}

}  // namespace
