#include "app/encrypt_app.h"

#include "app/encrypt_dlg.h"

BOOL CEncryptApp::InitInstance() {
    Enable3dControlsStatic();
    CEncryptDlg dlg;
    m_pMainWnd = &dlg;
    dlg.DoModal();
    return FALSE;
}
