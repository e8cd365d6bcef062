// The main dialog: template 102, its fields and data exchange, and its handlers.
#pragma once

#include <cstdint>
#include <string>

#include "platform/win32/wnd.h"
#include "resource.h"

class CEncryptDlg : public CDialog {
public:
    enum { IDD = IDD_ENCRYPT_DIALOG };

    // Defaults: the program folder with its trailing separator, book code 8950, icon 128.
    // Creates no window.
    explicit CEncryptDlg(CWnd* pParent = nullptr);

    // Fields, in the order of the template's data exchange and the settings file's users.
    std::string m_strExeDir;          // program folder, ends in a separator (or empty)
    CButton m_btnStart;               // button 1000, bound by the first exchange
    std::string m_strQaListFile;      // edit 1002 (hidden)
    std::string m_strPromptListFile;  // edit 1003 (hidden)
    std::string m_strWorkDir;         // working folder, bound to no control
    std::string m_strSoundDir;        // edit 1007 (hidden)
    std::string m_strSourceDirText;   // edit 1001, the folder text
    std::uint32_t m_nBookCode;        // edit 1009 (hidden), 0..65534
    std::string m_strStatus;          // static 1011, the status line
    HICON m_hIcon;                    // icon 128

    // SaveSettings, then the base's DestroyWindow; returns the base's result.
    BOOL DestroyWindow() override;

    // Handlers (event table in encrypt_dlg.cpp); public so that the window tests can reach them.
    BOOL OnInitDialog() override;
    void OnPaint();
    HCURSOR OnQueryDragIcon();
    void OnStartEncrypt();
    void OnBrowseSourceDir();
    void OnBrowseSoundDir();
    void OnBrowseListFile();
    // The batch run's progress hook: shows the source's path in the status line.
    void ShowProgress(const std::string& path);

protected:
    void DoDataExchange(CDataExchange* pDX) override;

    DECLARE_MESSAGE_MAP()

private:
    // Set once OnInitDialog has loaded the settings: a dialog that never got that far must not
    // overwrite the settings file with its defaults when its window goes.
    bool m_bSettingsLoaded = false;
};
