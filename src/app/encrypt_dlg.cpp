// CEncryptDlg: construction with its defaults, the event table and the data exchange.
#include "app/encrypt_dlg.h"

#include "platform/path.h"

namespace {

// The running program's full path, in the ANSI code page; empty when it cannot be read.
std::string ModulePath() {
    std::string path(270, '\0');
    for (;;) {
        const DWORD length = ::GetModuleFileNameA(nullptr, &path[0], static_cast<DWORD>(path.size()));
        if (length == 0) return std::string();
        // A result that fills the buffer may be cut: ask again with more room.
        if (length < path.size()) {
            path.resize(length);
            return path;
        }
        if (path.size() >= 32768) return std::string();
        path.resize(path.size() * 2);
    }
}

}  // namespace

CEncryptDlg::CEncryptDlg(CWnd* pParent)
    : CDialog(IDD, pParent), m_nBookCode(8950), m_hIcon(nullptr) {
    m_strExeDir = ModulePath();
    const std::string::size_type separator = hhx::FindLastSeparator(m_strExeDir);
    m_strExeDir.resize(separator == std::string::npos ? 0 : separator + 1);
    m_hIcon = ::LoadIconW(::GetModuleHandleW(nullptr), MAKEINTRESOURCEW(IDR_MAINFRAME));
}

BEGIN_MESSAGE_MAP(CEncryptDlg, CDialog)
    ON_WM_PAINT()
    ON_WM_QUERYDRAGICON()
    ON_BN_CLICKED(IDC_START_ENCRYPT, &CEncryptDlg::OnStartEncrypt)
    ON_BN_CLICKED(IDC_BROWSE_SOURCE_DIR, &CEncryptDlg::OnBrowseSourceDir)
    ON_BN_CLICKED(IDC_BROWSE_SOUND_DIR, &CEncryptDlg::OnBrowseSoundDir)
    ON_BN_CLICKED(IDC_BROWSE_QA_LIST_FILE, &CEncryptDlg::OnBrowseListFile)
    ON_BN_CLICKED(IDC_BROWSE_PROMPT_LIST_FILE, &CEncryptDlg::OnBrowseListFile)
END_MESSAGE_MAP()

void CEncryptDlg::DoDataExchange(CDataExchange* pDX) {
    CDialog::DoDataExchange(pDX);
    DDX_Control(pDX, IDC_START_ENCRYPT, m_btnStart);
    DDX_Text(pDX, IDC_QA_LIST_FILE, m_strQaListFile);
    DDX_Text(pDX, IDC_PROMPT_LIST_FILE, m_strPromptListFile);
    DDX_Text(pDX, IDC_SOUND_DIR, m_strSoundDir);
    DDX_Text(pDX, IDC_SOURCE_DIR, m_strSourceDirText);
    DDX_Text(pDX, IDC_BOOK_CODE, m_nBookCode);
    DDV_MinMaxDWord(pDX, m_nBookCode, 0, 65534);
    DDX_Text(pDX, IDC_STATUS, m_strStatus);
    // The status line takes paths of any length: it has no length rule.
}
