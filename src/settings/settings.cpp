#include "settings/settings.h"

#include <exception>

#include "app/encrypt_dlg.h"
#include "settings/settings_file.h"

namespace {

std::string SettingsPath(const CEncryptDlg& dlg) { return dlg.m_strExeDir + hhx::kSettingsFileName; }

}  // namespace

void LoadSettings(CEncryptDlg& dlg) {
    hhx::SettingsValues values;
    if (hhx::ReadSettingsFile(SettingsPath(dlg), values) == hhx::LoadResult::notOpened) return;
    dlg.m_strSourceDirText = values.sourceDirText;
    dlg.m_strQaListFile = values.qaListFile;
    dlg.m_strPromptListFile = values.promptListFile;
    dlg.m_strSoundDir = values.soundDir;

    dlg.UpdateData(FALSE);
    dlg.m_strWorkDir = dlg.m_strSourceDirText;  // used as it is: no test of the folder
    if (!dlg.m_strWorkDir.empty()) dlg.m_btnStart.EnableWindow(TRUE);
}

void SaveSettings(CEncryptDlg& dlg) {
    const hhx::SettingsValues values{dlg.m_strSourceDirText, dlg.m_strQaListFile,
                                     dlg.m_strPromptListFile, dlg.m_strSoundDir};
    // This runs while the window is destroyed, outside any event handler: a failure is
    // reported here, in the same box a handler's file error gets, and goes no further.
    try {
        hhx::WriteSettingsFile(SettingsPath(dlg), values);
    } catch (...) {
        try {
            AfxProcessWndProcException(std::current_exception(), nullptr);
        } catch (...) {  // not even the report could be shown: the window must still go
        }
    }
}
