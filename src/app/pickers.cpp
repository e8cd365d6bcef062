// The pickers behind the browse buttons: the shell's folder browser for the folder to process
// (and the hidden sound folder), and the common file-open dialog for the hidden list files.
#include <windows.h>

#include <commdlg.h>
#include <shlobj.h>

#include <string>
#include <utility>

#include "app/encrypt_dlg.h"
#include "app/texts.h"
#include "platform/path.h"
#include "platform/win32/wide.h"

namespace {

// An item list that the shell's folder browser returned; freed with the shell's allocator.
class CShellItemList {
public:
    explicit CShellItemList(LPITEMIDLIST pidl) : m_pidl(pidl) {}
    CShellItemList(CShellItemList&& other) noexcept : m_pidl(std::exchange(other.m_pidl, nullptr)) {}
    CShellItemList& operator=(CShellItemList&&) = delete;
    CShellItemList(const CShellItemList&) = delete;
    CShellItemList& operator=(const CShellItemList&) = delete;
    ~CShellItemList() {
        if (m_pidl == nullptr) return;
        // Without the shell's allocator the list cannot be freed, and nothing is shown.
        IMalloc* allocator = nullptr;
        if (SUCCEEDED(::SHGetMalloc(&allocator)) && allocator != nullptr) {
            allocator->Free(m_pidl);
            allocator->Release();
        }
    }

    explicit operator bool() const { return m_pidl != nullptr; }

    // The item's file-system path (ANSI); false for an item that is not a file-system folder.
    bool GetPath(std::string& path) const {
        char buffer[MAX_PATH] = {};
        if (!::SHGetPathFromIDListA(m_pidl, buffer)) return false;
        path = buffer;
        return true;
    }

private:
    LPITEMIDLIST m_pidl;
};

// Shows the shell's folder browser, modal to owner, and waits until it closes. The request:
// the common title, file-system folders only, no domain level below, browsing from the root of
// the shell's namespace, no callback (so nothing is preselected). An empty result: cancelled.
CShellItemList ShowFolderBrowser(HWND owner) {
    // Texts go as UTF-16, so that they read right on any code page.
    const std::wstring title = hhx::Utf8ToWide(hhx::texts::kFolderBrowserTitle);
    wchar_t displayName[MAX_PATH] = {};
    BROWSEINFOW request{};
    request.hwndOwner = owner;
    request.pidlRoot = nullptr;
    request.pszDisplayName = displayName;
    request.lpszTitle = title.c_str();
    request.ulFlags = BIF_RETURNONLYFSDIRS | BIF_DONTGOBELOWDOMAIN;
    request.lpfn = nullptr;
    request.lParam = 0;
    request.iImage = 0;
    return CShellItemList(::SHBrowseForFolderW(&request));
}

// Shows the common file-open dialog, modal to owner, for an existing file; the filter's first
// entry (text files) is selected. True with the chosen file's full path (ANSI) on OK.
bool ShowOpenFileDialog(HWND owner, std::string& path) {
    // "|" separates the entries; the NUL-separated form ends with two NULs (the string's own).
    std::wstring filter = hhx::Utf8ToWide(hhx::texts::kListFileFilter);
    for (wchar_t& c : filter) {
        if (c == L'|') c = L'\0';
    }
    std::wstring file(32768, L'\0');

    OPENFILENAMEW request{};
    request.lStructSize = sizeof request;
    request.hwndOwner = owner;
    request.lpstrFilter = filter.c_str();
    request.nFilterIndex = 1;
    request.lpstrFile = &file[0];
    request.nMaxFile = static_cast<DWORD>(file.size());
    request.lpstrDefExt = L"";
    request.Flags = OFN_OVERWRITEPROMPT | OFN_HIDEREADONLY | OFN_PATHMUSTEXIST |
                    OFN_FILEMUSTEXIST | OFN_CREATEPROMPT | OFN_LONGNAMES |  // 0x203806
                    OFN_EXPLORER | OFN_ENABLESIZING;
    if (!::GetOpenFileNameW(&request)) return false;
    file.resize(file.find(L'\0'));
    path = hhx::WideToAnsi(file);  // paths go on as ANSI bytes, like every path of the system
    return true;
}

// The hidden second mode can start only with all four of its values.
bool SecondModeComplete(const CEncryptDlg& dlg) {
    return !dlg.m_strSoundDir.empty() && !dlg.m_strWorkDir.empty() &&
           !dlg.m_strQaListFile.empty() && !dlg.m_strPromptListFile.empty();
}

}  // namespace

void CEncryptDlg::OnBrowseSourceDir() {
    UpdateData(TRUE);
    if (CShellItemList item = ShowFolderBrowser(m_hWnd)) {
        std::string path;
        if (item.GetPath(path)) {
            // The folder text always gets one separator, so a drive root such as "Z:\" shows
            // as "Z:\\"; the working folder gets one only when it lacks it.
            m_strWorkDir = path;
            m_strSourceDirText = m_strWorkDir + hhx::PathSeparator();
            m_strWorkDir = hhx::WithTrailingSeparator(m_strWorkDir);
        }
        UpdateData(FALSE);
    }
    // Also after a cancel: a folder chosen or loaded before makes the button usable.
    if (!m_strWorkDir.empty()) m_btnStart.EnableWindow(TRUE);
}

void CEncryptDlg::OnBrowseSoundDir() {
    UpdateData(TRUE);
    if (CShellItemList item = ShowFolderBrowser(m_hWnd)) {
        std::string path;
        if (item.GetPath(path)) m_strSoundDir = hhx::WithTrailingSeparator(path);
        UpdateData(FALSE);
    }
    if (SecondModeComplete(*this)) m_btnStart.EnableWindow(TRUE);
}

void CEncryptDlg::OnBrowseListFile() {
    UpdateData(TRUE);
    // A push button takes the focus when it is clicked, so the focused control is the button
    // that was pressed. With no focus at all the path goes to the prompt list file.
    CWnd* pressed = CWnd::FromHandle(::GetFocus());
    if (pressed != nullptr) pressed->EnableWindow(FALSE);

    std::string path;
    if (ShowOpenFileDialog(m_hWnd, path)) {
        const CWnd* qaButton = GetDlgItem(IDC_BROWSE_QA_LIST_FILE);
        if (pressed != nullptr && qaButton != nullptr &&
            pressed->GetSafeHwnd() == qaButton->GetSafeHwnd()) {
            m_strQaListFile = path;
        } else {
            m_strPromptListFile = path;
        }
        UpdateData(FALSE);
    }

    if (pressed != nullptr) pressed->EnableWindow(TRUE);
    if (SecondModeComplete(*this)) m_btnStart.EnableWindow(TRUE);
}
