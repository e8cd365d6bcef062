// CEncryptDlg's behaviour: initialisation, painting while minimised, the start button's run
// with its status line and completion box, and saving the settings when the window goes.
#include <string>

#include "app/encrypt_dlg.h"
#include "app/minimised_icon.h"
#include "crypt/encrypt_folder.h"
#include "settings/settings.h"

namespace {

// The painting of one WM_PAINT: BeginPaint in the constructor, EndPaint in the destructor.
class CPaintDC {
public:
    explicit CPaintDC(HWND hWnd) : m_hWnd(hWnd), m_hDC(::BeginPaint(hWnd, &m_ps)) {}
    ~CPaintDC() { ::EndPaint(m_hWnd, &m_ps); }
    CPaintDC(const CPaintDC&) = delete;
    CPaintDC& operator=(const CPaintDC&) = delete;

    HDC GetSafeHdc() const { return m_hDC; }

private:
    HWND m_hWnd;  // not owned
    PAINTSTRUCT m_ps{};
    HDC m_hDC;
};

}  // namespace

BOOL CEncryptDlg::OnInitDialog() {
    CDialog::OnInitDialog();

    SendMessage(WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(m_hIcon));
    SendMessage(WM_SETICON, ICON_SMALL, reinterpret_cast<LPARAM>(m_hIcon));
    if (CWnd* bookCode = GetDlgItem(IDC_BOOK_CODE)) bookCode->SendMessage(EM_LIMITTEXT, 10);

    // A file error here leaves this handler: the dialog still opens, but it has not loaded
    // the settings and so will not write them back.
    LoadSettings(*this);
    m_bSettingsLoaded = true;

    m_strStatus.clear();
    return TRUE;
}

void CEncryptDlg::OnPaint() {
    if (!IsIconic()) {
        Default();
        return;
    }
    CPaintDC dc(m_hWnd);
    SendMessage(WM_ICONERASEBKGND, reinterpret_cast<WPARAM>(dc.GetSafeHdc()), 0);
    const int cxIcon = ::GetSystemMetrics(SM_CXICON);
    const int cyIcon = ::GetSystemMetrics(SM_CYICON);
    RECT rect;
    GetClientRect(&rect);
    const int x = hhx::CentredIconOffset(rect.right - rect.left, cxIcon);
    const int y = hhx::CentredIconOffset(rect.bottom - rect.top, cyIcon);
    ::DrawIcon(dc.GetSafeHdc(), x, y, m_hIcon);
}

HCURSOR CEncryptDlg::OnQueryDragIcon() { return static_cast<HCURSOR>(m_hIcon); }

void CEncryptDlg::OnStartEncrypt() {
    m_btnStart.EnableWindow(FALSE);
    UpdateData(TRUE);

    // A file error ends the handler here: no completion box, and the button stays disabled
    // until the folder picker enables it again.
    const int count =
        EncryptFolder(m_strWorkDir, [this](const std::string& path) { ShowProgress(path); });

    AfxMessageBox(hhx::CompletionText(count), MB_OK, 0);
    m_btnStart.EnableWindow(TRUE);
    UpdateData(TRUE);
}

void CEncryptDlg::ShowProgress(const std::string& path) {
    m_strStatus = path;
    if (CWnd* status = GetDlgItem(IDC_STATUS)) {
        status->SetWindowText(m_strStatus);
        // The run gives the message loop no turn until it ends: paint the new text now.
        ::UpdateWindow(status->GetSafeHwnd());
    }
    UpdateData(TRUE);
}

BOOL CEncryptDlg::DestroyWindow() {
    if (m_bSettingsLoaded) SaveSettings(*this);
    return CDialog::DestroyWindow();
}
