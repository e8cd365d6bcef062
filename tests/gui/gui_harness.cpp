#include "gui/gui_harness.h"

#include <gtest/gtest.h>

#include <map>
#include <memory>

namespace hhx::gui {

namespace {

thread_local DialogWatcher* t_watcher = nullptr;

bool IsForeignDialog(HWND hWnd) {
    return ClassName(hWnd) == "#32770" && CWnd::FromHandlePermanent(hWnd) == nullptr;
}

}  // namespace

const char* ToString(BoxIcon icon) {
    switch (icon) {
    case BoxIcon::none: return "none";
    case BoxIcon::stop: return "stop";
    case BoxIcon::exclamation: return "exclamation";
    case BoxIcon::information: return "information";
    case BoxIcon::question: return "question";
    case BoxIcon::other: return "other";
    }
    return "?";
}

std::string ToUtf8(const std::wstring& wide) {
    if (wide.empty()) return std::string();
    const int size = ::WideCharToMultiByte(CP_UTF8, 0, wide.data(), static_cast<int>(wide.size()),
                                           nullptr, 0, nullptr, nullptr);
    std::string utf8(static_cast<std::size_t>(size), '\0');
    ::WideCharToMultiByte(CP_UTF8, 0, wide.data(), static_cast<int>(wide.size()), &utf8[0], size,
                          nullptr, nullptr);
    return utf8;
}

namespace {
std::wstring ToWide(UINT codePage, const std::string& text) {
    if (text.empty()) return std::wstring();
    const int size =
        ::MultiByteToWideChar(codePage, 0, text.data(), static_cast<int>(text.size()), nullptr, 0);
    std::wstring wide(static_cast<std::size_t>(size), L'\0');
    ::MultiByteToWideChar(codePage, 0, text.data(), static_cast<int>(text.size()), &wide[0], size);
    return wide;
}
}  // namespace

std::wstring Utf8ToWide(const std::string& utf8) { return ToWide(CP_UTF8, utf8); }

std::string AnsiToUtf8(const std::string& ansi) { return ToUtf8(ToWide(CP_ACP, ansi)); }

std::string Utf8ToAnsi(const std::string& utf8) {
    const std::wstring wide = ToWide(CP_UTF8, utf8);
    if (wide.empty()) return std::string();
    const int size = ::WideCharToMultiByte(CP_ACP, 0, wide.data(), static_cast<int>(wide.size()),
                                           nullptr, 0, nullptr, nullptr);
    std::string ansi(static_cast<std::size_t>(size), '\0');
    ::WideCharToMultiByte(CP_ACP, 0, wide.data(), static_cast<int>(wide.size()), &ansi[0], size,
                          nullptr, nullptr);
    return ansi;
}

std::string WindowText(HWND hWnd) {
    const int length = ::GetWindowTextLengthW(hWnd);
    std::wstring text(static_cast<std::size_t>(length) + 1, L'\0');
    const int copied = ::GetWindowTextW(hWnd, &text[0], length + 1);
    text.resize(copied > 0 ? static_cast<std::size_t>(copied) : 0);
    return ToUtf8(text);
}

std::string ClassName(HWND hWnd) {
    wchar_t name[256];
    const int length = ::GetClassNameW(hWnd, name, 256);
    return ToUtf8(std::wstring(name, length > 0 ? static_cast<std::size_t>(length) : 0));
}

std::vector<HWND> Children(HWND parent) {
    std::vector<HWND> children;
    for (HWND child = ::GetWindow(parent, GW_CHILD); child != nullptr;
         child = ::GetWindow(child, GW_HWNDNEXT)) {
        children.push_back(child);
    }
    return children;
}

Box ReadBox(HWND box) {
    Box seen;
    seen.caption = WindowText(box);
    if (HWND text = ::GetDlgItem(box, 0xFFFF)) seen.text = WindowText(text);
    seen.owner = ::GetWindow(box, GW_OWNER);
    seen.topmost = (::GetWindowLongW(box, GWL_EXSTYLE) & WS_EX_TOPMOST) != 0;
    for (HWND child : Children(box)) {
        if (ClassName(child) != "Static" ||
            (::GetWindowLongW(child, GWL_STYLE) & SS_TYPEMASK) != SS_ICON) {
            continue;
        }
        const auto icon = reinterpret_cast<HICON>(::SendMessageW(child, STM_GETICON, 0, 0));
        if (icon == nullptr) break;
        const struct {
            LPCSTR id;
            BoxIcon kind;
        } known[] = {{IDI_HAND, BoxIcon::stop},
                     {IDI_EXCLAMATION, BoxIcon::exclamation},
                     {IDI_ASTERISK, BoxIcon::information},
                     {IDI_QUESTION, BoxIcon::question}};
        seen.icon = BoxIcon::other;
        for (const auto& entry : known) {
            if (icon == ::LoadIconA(nullptr, entry.id)) seen.icon = entry.kind;
        }
        break;
    }
    return seen;
}

DialogWatcher::DialogWatcher() {
    EXPECT_EQ(t_watcher, nullptr) << "one DialogWatcher per thread";
    t_watcher = this;
    m_hook = ::SetWindowsHookExW(WH_CBT, &DialogWatcher::CbtProc, nullptr, ::GetCurrentThreadId());
    EXPECT_NE(m_hook, nullptr) << "SetWindowsHookEx failed: " << ::GetLastError();
}

namespace {
// Handlers waiting for their dialog's timer, by dialog window.
std::map<HWND, std::function<void(HWND)>>& PendingHandlers() {
    static std::map<HWND, std::function<void(HWND)>> pending;
    return pending;
}
}  // namespace

DialogWatcher::~DialogWatcher() {
    if (m_hook != nullptr) ::UnhookWindowsHookEx(m_hook);
    PendingHandlers().clear();
    t_watcher = nullptr;
    EXPECT_TRUE(m_handlers.empty()) << m_handlers.size() << " expected dialog(s) never came";
}

void DialogWatcher::ExpectDialog(std::function<void(HWND)> handler) {
    m_handlers.push_back(std::move(handler));
}

void CALLBACK DialogWatcher::HandlerTimer(HWND hWnd, UINT, UINT_PTR id, DWORD) {
    ::KillTimer(hWnd, id);
    auto& pending = PendingHandlers();
    auto it = pending.find(hWnd);
    if (it == pending.end()) return;
    std::function<void(HWND)> handler = std::move(it->second);
    pending.erase(it);
    try {
        handler(hWnd);
    } catch (const std::exception& e) {
        ADD_FAILURE() << "dialog handler threw: " << e.what();
        ::PostMessageW(hWnd, WM_COMMAND, IDCANCEL, 0);
    }
}

void DialogWatcher::OnActivate(HWND hWnd) {
    if (!IsForeignDialog(hWnd) || !m_seen.insert(hWnd).second) return;
    // The dialog can be activated before its initialisation has finished (a system-modal box
    // is, when it moves itself to the top): act from a timer, which only its own modal loop
    // runs.
    if (!m_handlers.empty()) {
        PendingHandlers()[hWnd] = std::move(m_handlers.front());
        m_handlers.erase(m_handlers.begin());
    } else {
        PendingHandlers()[hWnd] = [this](HWND box) {
            m_boxes.push_back(ReadBox(box));
            ::PostMessageW(box, WM_COMMAND, IDOK, 0);
        };
    }
    ::SetTimer(hWnd, 1, 10, &DialogWatcher::HandlerTimer);
}

LRESULT CALLBACK DialogWatcher::CbtProc(int code, WPARAM wParam, LPARAM lParam) {
    DialogWatcher* watcher = t_watcher;
    if (watcher != nullptr && code == HCBT_ACTIVATE) {
        watcher->OnActivate(reinterpret_cast<HWND>(wParam));
    } else if (watcher != nullptr && code == HCBT_DESTROYWND) {
        watcher->m_seen.erase(reinterpret_cast<HWND>(wParam));
        PendingHandlers().erase(reinterpret_cast<HWND>(wParam));
    }
    return ::CallNextHookEx(watcher != nullptr ? watcher->m_hook : nullptr, code, wParam, lParam);
}

namespace {

struct ModalRun {
    CDialog* dlg;
    const std::function<void(CDialog&)>* script;
    UINT_PTR scriptTimer = 0;
    UINT_PTR watchdog = 0;
    DWORD timeoutMs;
};
thread_local ModalRun* t_run = nullptr;

void CALLBACK ScriptTimer(HWND, UINT, UINT_PTR id, DWORD) {
    ::KillTimer(nullptr, id);
    ModalRun* run = t_run;
    if (run == nullptr || run->scriptTimer != id) return;
    run->scriptTimer = 0;
    HWND hDlg = run->dlg->GetSafeHwnd();
    if (hDlg == nullptr || !::IsWindowVisible(hDlg)) {
        // A nested loop (a box during initialisation) ran the timer early: wait for the dialog.
        run->scriptTimer = ::SetTimer(nullptr, 0, 10, &ScriptTimer);
        return;
    }
    try {
        (*run->script)(*run->dlg);
    } catch (const std::exception& e) {
        ADD_FAILURE() << "dialog script threw: " << e.what();
    }
    if (::IsWindow(hDlg)) ::PostMessageW(hDlg, WM_COMMAND, IDCANCEL, 0);
}

BOOL CALLBACK CancelForeignDialog(HWND hWnd, LPARAM) {
    if (IsForeignDialog(hWnd)) ::PostMessageW(hWnd, WM_COMMAND, IDCANCEL, 0);
    return TRUE;
}

void CALLBACK WatchdogTimer(HWND, UINT, UINT_PTR id, DWORD) {
    ::KillTimer(nullptr, id);
    ModalRun* run = t_run;
    if (run == nullptr || run->watchdog != id) return;
    run->watchdog = 0;
    ADD_FAILURE() << "dialog still open after " << run->timeoutMs << " ms; cancelling it";
    ::EnumThreadWindows(::GetCurrentThreadId(), &CancelForeignDialog, 0);
    run->dlg->EndDialog(IDCANCEL);
}

}  // namespace

INT_PTR RunModal(CDialog& dlg, const std::function<void(CDialog&)>& script, DWORD timeoutMs) {
    ModalRun run{&dlg, &script, 0, 0, timeoutMs};
    ModalRun* outer = t_run;
    t_run = &run;
    run.scriptTimer = ::SetTimer(nullptr, 0, 0, &ScriptTimer);
    run.watchdog = ::SetTimer(nullptr, 0, timeoutMs, &WatchdogTimer);
    const INT_PTR result = dlg.DoModal();
    if (run.scriptTimer != 0) {
        ::KillTimer(nullptr, run.scriptTimer);
        ADD_FAILURE() << "the dialog ended before its script ran";
    }
    if (run.watchdog != 0) ::KillTimer(nullptr, run.watchdog);
    t_run = outer;
    return result;
}

void PumpMessages() {
    MSG msg;
    while (::PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
        if (msg.message == WM_QUIT) {
            ::PostQuitMessage(static_cast<int>(msg.wParam));
            break;
        }
        ::TranslateMessage(&msg);
        ::DispatchMessageW(&msg);
    }
}

}  // namespace hhx::gui
