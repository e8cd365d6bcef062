// In-process window tests under Wine + Xvfb: run a dialog modally and drive it from inside its
// own modal loop, and catch the message boxes (and other dialogs) it opens with a thread-local
// CBT hook, reading and closing them.
//
//   DialogWatcher watcher;                      // catches boxes from now on
//   CEncryptDlg dlg;
//   RunModal(dlg, [&](CDialog&) {               // runs from a timer inside dlg's modal loop
//       EXPECT_FALSE(dlg.UpdateData(TRUE));     // the box it shows is caught and closed
//   });
//   ASSERT_EQ(watcher.boxes().size(), 1u);
//   EXPECT_EQ(watcher.boxes()[0].text, "...");
//
// Other dialogs (pickers) are handled by a queued handler, called once the dialog runs:
//   watcher.ExpectDialog([](HWND picker) {
//       ::SetDlgItemTextA(picker, 0x47C, path);
//       ::PostMessageW(picker, WM_COMMAND, IDOK, 0);
//   });
// Each test process needs a display (xvfb-run); everything runs on the one test thread.
#pragma once

#include <windows.h>

#include <functional>
#include <set>
#include <string>
#include <vector>

#include "platform/win32/wnd.h"

namespace hhx::gui {

enum class BoxIcon { none, stop, exclamation, information, question, other };
const char* ToString(BoxIcon icon);

// What a message box showed.
struct Box {
    std::string caption;  // UTF-8
    std::string text;     // UTF-8
    BoxIcon icon = BoxIcon::none;
    HWND owner = nullptr;
    bool topmost = false;  // WS_EX_TOPMOST: what MB_SYSTEMMODAL gives
};

// Reads a message box window: caption, text (the static 0xFFFF), icon (the SS_ICON static's
// STM_GETICON compared with the system icons), owner.
Box ReadBox(HWND box);

// While it lives, watches the calling thread for dialog windows (class #32770) being
// activated, except the windows of our own CDialog objects. Each one is either given to the
// next handler queued with ExpectDialog, or read as a message box, recorded and closed with
// IDOK. One watcher per thread at a time.
class DialogWatcher {
public:
    DialogWatcher();
    ~DialogWatcher();
    DialogWatcher(const DialogWatcher&) = delete;
    DialogWatcher& operator=(const DialogWatcher&) = delete;

    // The message boxes seen so far, in order.
    const std::vector<Box>& boxes() const { return m_boxes; }
    void ClearBoxes() { m_boxes.clear(); }

    // The next foreign dialog goes to handler, called from a timer on that dialog once its own
    // modal loop runs (so it has finished initialising). The handler must close the dialog.
    void ExpectDialog(std::function<void(HWND dialog)> handler);

private:
    static LRESULT CALLBACK CbtProc(int code, WPARAM wParam, LPARAM lParam);
    static void CALLBACK HandlerTimer(HWND hWnd, UINT, UINT_PTR id, DWORD);
    void OnActivate(HWND hWnd);

    HHOOK m_hook = nullptr;
    std::vector<Box> m_boxes;
    std::vector<std::function<void(HWND)>> m_handlers;
    std::set<HWND> m_seen;  // foreign dialogs already handled (activation can repeat)
};

// Runs the dialog with DoModal and calls script once from inside its modal loop (a thread
// timer, after the dialog has been created, initialised and shown). When the script leaves the
// dialog running, the harness ends it with IDCANCEL. A dialog still open after timeoutMs is a
// test failure and is cancelled. Returns DoModal's result.
INT_PTR RunModal(CDialog& dlg, const std::function<void(CDialog&)>& script,
                 DWORD timeoutMs = 30000);

// Handles every message already waiting in the thread's queue.
void PumpMessages();

// Window texts and class names as UTF-8.
std::string WindowText(HWND hWnd);
std::string ClassName(HWND hWnd);
std::string ToUtf8(const std::wstring& wide);
std::string AnsiToUtf8(const std::string& ansi);
std::string Utf8ToAnsi(const std::string& utf8);
std::wstring Utf8ToWide(const std::string& utf8);

// The child windows of a window in creation (template) order.
std::vector<HWND> Children(HWND parent);

}  // namespace hhx::gui
