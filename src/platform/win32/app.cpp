// CWinApp: the process-wide application object, its title and the entry point's run.
#include "platform/win32/wnd.h"

#include <commctrl.h>

#include "platform/win32/wide.h"

namespace {
CWinApp* g_app = nullptr;
}

std::wstring AfxGetProgramTitle() {
    std::wstring path(MAX_PATH, L'\0');
    for (;;) {
        const DWORD length = ::GetModuleFileNameW(nullptr, &path[0], static_cast<DWORD>(path.size()));
        if (length == 0) return std::wstring();
        if (length < path.size()) {
            path.resize(length);
            break;
        }
        path.resize(path.size() * 2);
    }
    const std::size_t slash = path.find_last_of(L"\\/");
    std::wstring name = slash == std::wstring::npos ? path : path.substr(slash + 1);
    const std::size_t dot = name.rfind(L'.');
    if (dot != std::wstring::npos && dot > 0) name.resize(dot);
    return name;
}

CWinApp::CWinApp(const char* pszAppName) {
    g_app = this;
    if (pszAppName != nullptr) m_strAppTitle = hhx::AnsiToWide(pszAppName);
    if (m_strAppTitle.empty()) m_strAppTitle = AfxGetProgramTitle();
}

CWinApp::~CWinApp() {
    if (g_app == this) g_app = nullptr;
}

BOOL CWinApp::InitInstance() { return TRUE; }

int CWinApp::ExitInstance() { return 0; }

int CWinApp::Run() {
    MSG msg;
    BOOL got;
    while ((got = ::GetMessageW(&msg, nullptr, 0, 0)) != 0 && got != -1) {
        ::TranslateMessage(&msg);
        ::DispatchMessageW(&msg);
    }
    return ExitInstance();
}

LRESULT CWinApp::ProcessWndProcException(std::exception_ptr e, const MSG* pMsg) {
    return AfxProcessWndProcException(e, pMsg);
}

CWinApp* AfxGetApp() { return g_app; }

CWnd* AfxGetMainWnd() { return g_app != nullptr ? g_app->m_pMainWnd : nullptr; }

std::wstring AfxGetAppTitle() {
    return g_app != nullptr ? g_app->GetAppTitle() : AfxGetProgramTitle();
}

int AfxWinMain() {
    CWinApp* app = AfxGetApp();
    if (app == nullptr) return -1;

    // The manifest asks for common controls 6; registering the standard classes through
    // comctl32 makes sure that library is loaded.
    INITCOMMONCONTROLSEX controls{};
    controls.dwSize = sizeof controls;
    controls.dwICC = ICC_STANDARD_CLASSES | ICC_WIN95_CLASSES;
    ::InitCommonControlsEx(&controls);

    try {
        if (app->InitInstance()) return app->Run();
        if (app->m_pMainWnd != nullptr) app->m_pMainWnd->DestroyWindow();
        return app->ExitInstance();
    } catch (...) {
        // An exception outside any handler (start-up or end): report it and end.
        try {
            app->ProcessWndProcException(std::current_exception(), nullptr);
        } catch (...) {
        }
        return -1;
    }
}
