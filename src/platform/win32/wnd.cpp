// CWnd: binding objects to windows, window services, event-table dispatch, data exchange.
#include "platform/win32/wnd.h"

#include <new>

#include "platform/win32/texts.h"
#include "platform/win32/wnd_internal.h"

namespace {

// Objects bound to windows (dialogs, controls bound by DDX_Control). One interface thread.
std::map<HWND, CWnd*>& PermanentMap() {
    static std::map<HWND, CWnd*> map;
    return map;
}

// Wrappers for windows no object is bound to (FromHandle). They only carry the handle, so a
// stale entry is harmless; there are as many as distinct windows asked for.
std::map<HWND, std::unique_ptr<CWnd>>& TemporaryMap() {
    static std::map<HWND, std::unique_ptr<CWnd>> map;
    return map;
}

thread_local const MSG* t_currentMessage = nullptr;

class CurrentMessageScope {
public:
    explicit CurrentMessageScope(const MSG* msg) : m_previous(t_currentMessage) {
        t_currentMessage = msg;
    }
    ~CurrentMessageScope() { t_currentMessage = m_previous; }
    CurrentMessageScope(const CurrentMessageScope&) = delete;
    CurrentMessageScope& operator=(const CurrentMessageScope&) = delete;

private:
    const MSG* m_previous;
};

bool IsDialogWindow(HWND hWnd) {
    // The standard dialog class is the atom 32770 ("#32770").
    return ::GetClassLongPtrW(hWnd, GCW_ATOM) == 32770;
}

}  // namespace

CWnd::CWnd() : m_hWnd(nullptr) {}

CWnd::~CWnd() {
    // A main window object that goes without its window ever having existed (or with it
    // still there) must not stay the application's main window.
    if (CWinApp* app = AfxGetApp()) {
        if (app->m_pMainWnd == this) app->m_pMainWnd = nullptr;
    }
    if (m_hWnd != nullptr) {
        auto& map = PermanentMap();
        auto it = map.find(m_hWnd);
        if (it != map.end() && it->second == this) map.erase(it);
    }
    // A control bound to this window's object must not point back at it any more, and a
    // control going before its window must leave the window's list.
    for (CWnd* control : m_boundControls) control->m_pBindingOwner = nullptr;
    if (m_pBindingOwner != nullptr) {
        auto& list = m_pBindingOwner->m_boundControls;
        for (auto it = list.begin(); it != list.end(); ++it) {
            if (*it == this) {
                list.erase(it);
                break;
            }
        }
    }
}

CWnd* CWnd::FromHandlePermanent(HWND hWnd) {
    auto& map = PermanentMap();
    auto it = map.find(hWnd);
    return it == map.end() ? nullptr : it->second;
}

CWnd* CWnd::FromHandle(HWND hWnd) {
    if (hWnd == nullptr) return nullptr;
    if (CWnd* bound = FromHandlePermanent(hWnd)) return bound;
    auto& wrapper = TemporaryMap()[hWnd];
    if (!wrapper) wrapper = std::make_unique<CWnd>();
    wrapper->m_hWnd = hWnd;
    return wrapper.get();
}

bool CWnd::Attach(HWND hWnd) {
    if (m_hWnd != nullptr || hWnd == nullptr) return false;
    m_hWnd = hWnd;
    PermanentMap()[hWnd] = this;
    return true;
}

HWND CWnd::Detach() {
    HWND hWnd = m_hWnd;
    if (hWnd != nullptr) {
        auto& map = PermanentMap();
        auto it = map.find(hWnd);
        if (it != map.end() && it->second == this) map.erase(it);
    }
    m_hWnd = nullptr;
    return hWnd;
}

BOOL CWnd::EnableWindow(BOOL enable) { return ::EnableWindow(m_hWnd, enable); }
BOOL CWnd::IsWindowEnabled() const { return ::IsWindowEnabled(m_hWnd); }
BOOL CWnd::IsWindowVisible() const { return ::IsWindowVisible(m_hWnd); }
BOOL CWnd::ShowWindow(int nCmdShow) { return ::ShowWindow(m_hWnd, nCmdShow); }
BOOL CWnd::IsIconic() const { return ::IsIconic(m_hWnd); }
void CWnd::GetClientRect(LPRECT rect) const { ::GetClientRect(m_hWnd, rect); }
void CWnd::GetWindowRect(LPRECT rect) const { ::GetWindowRect(m_hWnd, rect); }
int CWnd::GetDlgCtrlID() const { return ::GetDlgCtrlID(m_hWnd); }
CWnd* CWnd::SetFocus() { return FromHandle(::SetFocus(m_hWnd)); }

void CWnd::CenterWindow() {
    HWND owner = ::GetWindow(m_hWnd, GW_OWNER);
    if (owner != nullptr && (!::IsWindowVisible(owner) || ::IsIconic(owner))) owner = nullptr;

    MONITORINFO monitor{};
    monitor.cbSize = sizeof monitor;
    HMONITOR hMonitor = ::MonitorFromWindow(owner != nullptr ? owner : m_hWnd,
                                            MONITOR_DEFAULTTOPRIMARY);
    RECT area;
    if (::GetMonitorInfoW(hMonitor, &monitor)) {
        area = monitor.rcWork;
    } else {
        ::SystemParametersInfoW(SPI_GETWORKAREA, 0, &area, 0);
    }
    RECT centre = area;
    if (owner != nullptr) ::GetWindowRect(owner, &centre);

    RECT rect;
    ::GetWindowRect(m_hWnd, &rect);
    const int width = rect.right - rect.left;
    const int height = rect.bottom - rect.top;
    int x = (centre.left + centre.right) / 2 - width / 2;
    int y = (centre.top + centre.bottom) / 2 - height / 2;
    // Keep the window on the work area, its top left corner first.
    if (x + width > area.right) x = area.right - width;
    if (x < area.left) x = area.left;
    if (y + height > area.bottom) y = area.bottom - height;
    if (y < area.top) y = area.top;
    ::SetWindowPos(m_hWnd, nullptr, x, y, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
}

void CWnd::SetWindowText(const std::string& text) { ::SetWindowTextA(m_hWnd, text.c_str()); }

void CWnd::GetWindowText(std::string& text) const {
    // The length in bytes can be larger than the text (double-byte conversion), never smaller.
    const int length = ::GetWindowTextLengthA(m_hWnd);
    if (length <= 0) {
        text.clear();
        return;
    }
    std::string buffer(static_cast<std::size_t>(length) + 1, '\0');
    const int copied = ::GetWindowTextA(m_hWnd, &buffer[0], length + 1);
    buffer.resize(copied > 0 ? static_cast<std::size_t>(copied) : 0);
    text.swap(buffer);
}

std::string CWnd::GetWindowText() const {
    std::string text;
    GetWindowText(text);
    return text;
}

CWnd* CWnd::GetDlgItem(int id) const {
    HWND hControl = ::GetDlgItem(m_hWnd, id);
    if (hControl == nullptr) return nullptr;
    if (CWnd* bound = FromHandlePermanent(hControl)) return bound;
    auto& wrapper = m_tempChildren[id];
    if (!wrapper) wrapper = std::make_unique<CWnd>();
    wrapper->m_hWnd = hControl;
    return wrapper.get();
}

LRESULT CWnd::SendMessage(UINT message, WPARAM wParam, LPARAM lParam) const {
    return ::SendMessageA(m_hWnd, message, wParam, lParam);
}

BOOL CWnd::PostMessage(UINT message, WPARAM wParam, LPARAM lParam) const {
    return ::PostMessageA(m_hWnd, message, wParam, lParam);
}

BOOL CWnd::UpdateData(BOOL bSaveAndValidate) {
    CDataExchange dx(this, bSaveAndValidate);
    try {
        DoDataExchange(&dx);
        return TRUE;
    } catch (const CUserException&) {
        // The failing step has shown its message and set the focus.
    } catch (...) {
        hhx::wnd::ReportException(std::current_exception(), MB_ICONEXCLAMATION,
                                  MB_ICONEXCLAMATION);
    }
    return FALSE;
}

void CWnd::DoDataExchange(CDataExchange*) {}

BOOL CWnd::DestroyWindow() {
    if (m_hWnd == nullptr) return FALSE;
    // WM_NCDESTROY unbinds this object (see OnNcDestroy) when the window proc is ours;
    // otherwise unbind here.
    HWND hWnd = m_hWnd;
    const BOOL destroyed = ::DestroyWindow(hWnd);
    if (m_hWnd == hWnd && !::IsWindow(hWnd)) OnNcDestroy();
    return destroyed;
}

LRESULT CWnd::Default() {
    const MSG* msg = t_currentMessage;
    if (msg == nullptr || msg->hwnd != m_hWnd) return 0;
    if (!IsDialogWindow(m_hWnd)) return ::DefWindowProcW(msg->hwnd, msg->message, msg->wParam, msg->lParam);
    // The dialog manager first calls our dialog procedure again; it passes this one message
    // straight back (see CDialog::DialogProc) so that the manager's own processing runs.
    const MSG* previous = m_pDefaultMsg;
    m_pDefaultMsg = msg;
    const LRESULT result = ::DefDlgProcW(msg->hwnd, msg->message, msg->wParam, msg->lParam);
    m_pDefaultMsg = previous;
    return result;
}

const MSG* CWnd::GetCurrentMessage() { return t_currentMessage; }

void CWnd::OnNcDestroy() {
    for (CWnd* control : m_boundControls) {
        control->Detach();
        control->m_pBindingOwner = nullptr;
    }
    m_boundControls.clear();
    m_tempChildren.clear();
    if (CWinApp* app = AfxGetApp()) {
        if (app->m_pMainWnd == this) app->m_pMainWnd = nullptr;
    }
    Detach();
}

const MessageMap* CWnd::GetThisMessageMap() {
    static const MessageMapEntry entries[] = {{0, 0, 0, AfxSig::end, nullptr}};
    static const MessageMap map = {nullptr, entries};
    return &map;
}

const MessageMap* CWnd::GetMessageMap() const { return GetThisMessageMap(); }

namespace {

const MessageMapEntry* FindEntry(const MessageMap* map, UINT message, WPARAM wParam) {
    for (; map != nullptr; map = map->pfnGetBaseMap ? map->pfnGetBaseMap() : nullptr) {
        for (const MessageMapEntry* entry = map->entries; entry->sig != AfxSig::end; ++entry) {
            if (entry->message != message) continue;
            if (message == WM_COMMAND &&
                (entry->code != HIWORD(wParam) || entry->id != LOWORD(wParam))) {
                continue;
            }
            return entry;
        }
    }
    return nullptr;
}

}  // namespace

bool CWnd::DispatchToTable(UINT message, WPARAM wParam, LPARAM lParam, INT_PTR* result) {
    const MessageMapEntry* entry = FindEntry(GetMessageMap(), message, wParam);
    if (entry == nullptr) return false;

    MSG msg{};
    msg.hwnd = m_hWnd;
    msg.message = message;
    msg.wParam = wParam;
    msg.lParam = lParam;
    CurrentMessageScope scope(&msg);
    *result = TRUE;
#if defined(__GNUC__)
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wcast-function-type"
#endif
    try {
        switch (entry->sig) {
        case AfxSig::v_v:
            (this->*entry->pfn)();
            break;
        case AfxSig::b_v:
            *result = (this->*reinterpret_cast<BOOL (CWnd::*)()>(entry->pfn))();
            break;
        case AfxSig::hcur_v:
            *result = reinterpret_cast<INT_PTR>(
                (this->*reinterpret_cast<HCURSOR (CWnd::*)()>(entry->pfn))());
            break;
        case AfxSig::end:
            break;
        }
#if defined(__GNUC__)
#pragma GCC diagnostic pop
#endif
    } catch (...) {
        // Nothing may unwind through the system's window procedure: report and go on.
        try {
            std::exception_ptr e = std::current_exception();
            CWinApp* app = AfxGetApp();
            *result = app != nullptr ? app->ProcessWndProcException(e, &msg)
                                     : AfxProcessWndProcException(e, &msg);
        } catch (...) {
            *result = 0;
        }
    }
    return true;
}
