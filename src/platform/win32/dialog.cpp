// CDialog: a modal dialog from a resource template, run by a modal loop of our own so that
// the virtual DestroyWindow runs however the dialog ends.
#include "platform/win32/wnd.h"

#include "platform/win32/wnd_internal.h"

namespace {

// True when the template asks the platform to place the dialog: position (0, 0) and none of
// the styles that place it otherwise.
bool TemplateWantsCentring(HINSTANCE instance, UINT templateId) {
    HRSRC found = ::FindResourceW(instance, MAKEINTRESOURCEW(templateId), MAKEINTRESOURCEW(5));
    if (found == nullptr) return false;
    HGLOBAL loaded = ::LoadResource(instance, found);
    const DWORD size = ::SizeofResource(instance, found);
    const auto* bytes = static_cast<const unsigned char*>(loaded ? ::LockResource(loaded) : nullptr);
    if (bytes == nullptr) return false;
    auto word = [bytes](std::size_t at) {
        return static_cast<unsigned>(bytes[at] | bytes[at + 1] << 8);
    };
    auto dword = [&word](std::size_t at) { return word(at) | word(at + 2) << 16; };
    DWORD style;
    std::size_t xAt;
    if (size >= 26 && word(0) == 1 && word(2) == 0xFFFF) {
        // DLGTEMPLATEEX: dlgVer, signature, helpID, exStyle, style, cDlgItems, x, y, ...
        style = dword(12);
        xAt = 18;
    } else if (size >= 18) {
        // DLGTEMPLATE: style, dwExtendedStyle, cdit, x, y, ...
        style = dword(0);
        xAt = 10;
    } else {
        return false;
    }
    if (style & (DS_CENTER | DS_CENTERMOUSE | DS_ABSALIGN)) return false;
    return word(xAt) == 0 && word(xAt + 2) == 0;
}

bool SameRect(const RECT& a, const RECT& b) {
    return a.left == b.left && a.top == b.top && a.right == b.right && a.bottom == b.bottom;
}

}  // namespace

CDialog::CDialog(UINT nIDTemplate, CWnd* pParentWnd)
    : m_nIDTemplate(nIDTemplate), m_pParentWnd(pParentWnd) {}

CDialog::~CDialog() {
    if (m_hWnd != nullptr && ::IsWindow(m_hWnd)) {
        // The derived parts are gone: no handler may run for the window's last messages.
        ::SetWindowLongPtrW(m_hWnd, DWLP_USER, 0);
        ::DestroyWindow(m_hWnd);
        CWnd::OnNcDestroy();
    }
}

BEGIN_MESSAGE_MAP(CDialog, CWnd)
    hhx::MakeEntry<ThisClass>(WM_INITDIALOG, 0, 0, &CDialog::HandleInitDialog),
    ON_COMMAND(IDOK, &CDialog::OnOK)
    ON_COMMAND(IDCANCEL, &CDialog::OnCancel)
END_MESSAGE_MAP()

INT_PTR CDialog::DoModal() {
    HWND owner = m_pParentWnd != nullptr ? m_pParentWnd->GetSafeHwnd() : nullptr;
    if (owner == nullptr) {
        CWnd* main = AfxGetMainWnd();
        if (main != nullptr && main != this) owner = main->GetSafeHwnd();
    }
    if (owner != nullptr) owner = ::GetAncestor(owner, GA_ROOT);
    const bool ownerDisabled = owner != nullptr && ::IsWindowEnabled(owner);
    if (ownerDisabled) ::EnableWindow(owner, FALSE);

    m_bEndDialog = false;
    m_nModalResult = -1;
    HWND hWnd = ::CreateDialogParamW(::GetModuleHandleW(nullptr), MAKEINTRESOURCEW(m_nIDTemplate),
                                     owner, &CDialog::DialogProc, reinterpret_cast<LPARAM>(this));
    if (hWnd == nullptr) {
        if (ownerDisabled) ::EnableWindow(owner, TRUE);
        return -1;
    }

    MSG msg;
    while (!m_bEndDialog && ::IsWindow(hWnd)) {
        const BOOL got = ::GetMessageW(&msg, nullptr, 0, 0);
        if (got == 0) {
            // Leave WM_QUIT for the loop outside this one.
            ::PostQuitMessage(static_cast<int>(msg.wParam));
            m_nModalResult = -1;
            break;
        }
        if (got == -1) break;
        if (!::IsDialogMessageW(hWnd, &msg)) {
            ::TranslateMessage(&msg);
            ::DispatchMessageW(&msg);
        }
    }

    if (::IsWindow(hWnd)) {
        ::SetWindowPos(hWnd, nullptr, 0, 0, 0, 0,
                       SWP_HIDEWINDOW | SWP_NOSIZE | SWP_NOMOVE | SWP_NOACTIVATE | SWP_NOZORDER);
    }
    // The owner comes back before the dialog goes, so that it gets the activation.
    if (ownerDisabled) ::EnableWindow(owner, TRUE);
    if (owner != nullptr && ::GetActiveWindow() == hWnd) ::SetActiveWindow(owner);
    DestroyWindow();
    return m_nModalResult;
}

void CDialog::EndDialog(int nResult) {
    m_nModalResult = nResult;
    m_bEndDialog = true;
    // Wakes the modal loop when this was called from outside its own dispatch.
    if (m_hWnd != nullptr) ::PostMessageW(m_hWnd, WM_NULL, 0, 0);
}

BOOL CDialog::OnInitDialog() {
    if (!UpdateData(FALSE)) {
        EndDialog(-1);
        return FALSE;
    }
    return TRUE;
}

void CDialog::OnOK() {
    if (!UpdateData(TRUE)) return;
    EndDialog(IDOK);
}

void CDialog::OnCancel() { EndDialog(IDCANCEL); }

BOOL CDialog::HandleInitDialog() { return OnInitDialog(); }

INT_PTR CALLBACK CDialog::DialogProc(HWND hWnd, UINT message, WPARAM wParam, LPARAM lParam) {
    try {
        if (message == WM_INITDIALOG) {
            auto* dialog = reinterpret_cast<CDialog*>(lParam);
            ::SetWindowLongPtrW(hWnd, DWLP_USER, reinterpret_cast<LONG_PTR>(dialog));
            dialog->Attach(hWnd);
            RECT before;
            ::GetWindowRect(hWnd, &before);
            INT_PTR result = TRUE;
            dialog->DispatchToTable(message, wParam, lParam, &result);
            // Centre the dialog unless its initialisation showed or moved it, or an enabled
            // owner keeps it modeless.
            if (::IsWindow(hWnd) && !::IsWindowVisible(hWnd)) {
                RECT after;
                ::GetWindowRect(hWnd, &after);
                HWND owner = ::GetWindow(hWnd, GW_OWNER);
                if (SameRect(before, after) && (owner == nullptr || !::IsWindowEnabled(owner)) &&
                    TemplateWantsCentring(::GetModuleHandleW(nullptr), dialog->m_nIDTemplate)) {
                    dialog->CenterWindow();
                }
            }
            return result;
        }

        auto* dialog = reinterpret_cast<CDialog*>(::GetWindowLongPtrW(hWnd, DWLP_USER));
        if (dialog == nullptr) return FALSE;
        if (const MSG* pending = dialog->m_pDefaultMsg) {
            if (pending->message == message && pending->wParam == wParam &&
                pending->lParam == lParam) {
                dialog->m_pDefaultMsg = nullptr;
                return FALSE;
            }
        }
        if (message == WM_NCDESTROY) {
            ::SetWindowLongPtrW(hWnd, DWLP_USER, 0);
            dialog->OnNcDestroy();
            return FALSE;
        }
        INT_PTR result = FALSE;
        if (dialog->DispatchToTable(message, wParam, lParam, &result)) return result;
        return FALSE;
    } catch (...) {
        // Nothing may unwind through the system's dialog manager.
        return FALSE;
    }
}
