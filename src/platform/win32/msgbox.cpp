// Message boxes and the report of exceptions that leave an event handler or an exchange.
#include <new>

#include "platform/file_exception.h"
#include "platform/win32/texts.h"
#include "platform/win32/wide.h"
#include "platform/win32/wnd.h"
#include "platform/win32/wnd_internal.h"

namespace hhx::wnd {

std::wstring Utf8ToWide(const std::string& utf8) {
    return IsValidUtf8(utf8) ? hhx::Utf8ToWide(utf8) : AnsiToWide(utf8);
}

void ReportException(std::exception_ptr e, UINT memoryType, UINT otherType) {
    try {
        std::rethrow_exception(e);
    } catch (const CUserException&) {
        // Already shown by whoever raised it.
    } catch (const std::bad_alloc&) {
        AfxMessageBox(texts::kOutOfMemory, memoryType);
    } catch (const CFileException& error) {
        AfxMessageBox(error.GetErrorMessage(), otherType);
    } catch (const std::exception& error) {
        const char* what = error.what();
        AfxMessageBox(what != nullptr && *what != '\0' ? what : texts::kInternalFailure, otherType);
    } catch (...) {
        AfxMessageBox(texts::kInternalFailure, otherType);
    }
}

}  // namespace hhx::wnd

LRESULT AfxProcessWndProcException(std::exception_ptr e, const MSG* pMsg) {
    hhx::wnd::ReportException(e, MB_ICONEXCLAMATION | MB_SYSTEMMODAL, MB_ICONSTOP);
    if (pMsg != nullptr) {
        if (pMsg->message == WM_CREATE) return -1;  // the window is not created
        // A paint handler that failed must not be called again at once for the same area.
        if (pMsg->message == WM_PAINT) ::ValidateRect(pMsg->hwnd, nullptr);
    }
    return 0;
}

int AfxMessageBox(const std::string& utf8Text, UINT nType, UINT /*nIDHelp*/) {
    if ((nType & MB_ICONMASK) == 0) {
        switch (nType & MB_TYPEMASK) {
        case MB_OK:
        case MB_OKCANCEL:
            nType |= MB_ICONEXCLAMATION;
            break;
        case MB_YESNO:
        case MB_YESNOCANCEL:
            nType |= MB_ICONQUESTION;
            break;
        default:
            break;
        }
    }
    // Owned by the main window, or by the window this thread is working in; then by the
    // last popup that window has activated, so that a box shown over a box stays on top.
    HWND owner = nullptr;
    if (CWnd* main = AfxGetMainWnd()) owner = main->GetSafeHwnd();
    if (owner == nullptr) owner = ::GetActiveWindow();
    if (owner != nullptr) {
        owner = ::GetAncestor(owner, GA_ROOT);
        owner = ::GetLastActivePopup(owner);
    }
    const std::wstring text = hhx::wnd::Utf8ToWide(utf8Text);
    const std::wstring caption = AfxGetAppTitle();
    return ::MessageBoxW(owner, text.c_str(), caption.c_str(), nType);
}
