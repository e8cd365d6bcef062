// The settings file as the main dialog uses it: loaded during initialisation into the fields,
// the controls, the working folder and the start button; saved when the window is destroyed.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <string>
#include <system_error>

#include "app/encrypt_dlg.h"
#include "gui/gui_harness.h"
#include "platform/file.h"
#include "resource.h"
#include "settings/settings_file.h"
#include "unit/test_util.h"

using namespace hhx::gui;

namespace {

// GBK bytes: "中文", and a character whose second byte is the backslash's code.
const std::string kChinese = "E:\\\xd6\xd0\xce\xc4\\\x81\x5c\\";

std::string ItemAnsiText(HWND dialog, int id) {
    HWND item = ::GetDlgItem(dialog, id);
    std::string text(static_cast<std::size_t>(::GetWindowTextLengthA(item)) + 1, '\0');
    text.resize(static_cast<std::size_t>(::GetWindowTextA(item, &text[0], static_cast<int>(text.size()))));
    return text;
}

bool StartEnabled(const CEncryptDlg& dlg) {
    return ::IsWindowEnabled(::GetDlgItem(dlg.m_hWnd, IDC_START_ENCRYPT)) != FALSE;
}

hhx::SettingsValues Fields(const CEncryptDlg& dlg) {
    return {dlg.m_strSourceDirText, dlg.m_strQaListFile, dlg.m_strPromptListFile, dlg.m_strSoundDir};
}

void MakeReadOnly(const std::string& path) {
    namespace fs = std::filesystem;
    std::error_code ec;
    fs::permissions(path, fs::perms::owner_write | fs::perms::group_write | fs::perms::others_write,
                    fs::perm_options::remove, ec);
    ASSERT_FALSE(ec) << ec.message();
}

}  // namespace

namespace hhx {
void PrintTo(const SettingsValues& v, std::ostream* os) {
    *os << testing::PrintToString(v.sourceDirText) << ", " << testing::PrintToString(v.qaListFile)
        << ", " << testing::PrintToString(v.promptListFile) << ", "
        << testing::PrintToString(v.soundDir);
}
}  // namespace hhx

TEST(SettingsGlue, LoadFillsFieldsControlsWorkingFolderAndStartButton) {
    struct Case {
        const char* name;
        std::string bytes;
        hhx::SettingsValues want;
        bool startEnabled;
    };
    const Case cases[] = {
        {"empty file", "", {}, false},
        {"six-byte file", "\r\n\r\n\r\n", {}, false},
        {"one line without line end or final separator", "C:\\Music", {"C:\\Music", "", "", ""}, true},
        {"drive root with two separators", "D:\\\\\r\n\r\n\r\n", {"D:\\\\", "", "", ""}, true},
        {"Chinese folder names", kChinese + "\r\n" + kChinese + "qa.txt\r\n" + kChinese + "p.txt\r\n" + kChinese,
         {kChinese, kChinese + "qa.txt", kChinese + "p.txt", kChinese}, true},
        {"six lines, trailing spaces", "C:\\A\\ \r\nq\r\np\r\ns \r\n5\r\n6", {"C:\\A\\ ", "q", "p", "s "}, true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        TempDir dir;
        const std::string path = dir.file(hhx::kSettingsFileName);
        WriteBytes(path, c.bytes);
        DialogWatcher watcher;
        CEncryptDlg dlg;
        dlg.m_strExeDir = dir.path();
        RunModal(dlg, [&](CDialog&) {
            EXPECT_EQ(Fields(dlg), c.want);
            EXPECT_EQ(dlg.m_strWorkDir, c.want.sourceDirText);
            EXPECT_EQ(ItemAnsiText(dlg.m_hWnd, IDC_SOURCE_DIR), c.want.sourceDirText);
            EXPECT_EQ(ItemAnsiText(dlg.m_hWnd, IDC_QA_LIST_FILE), c.want.qaListFile);
            EXPECT_EQ(ItemAnsiText(dlg.m_hWnd, IDC_PROMPT_LIST_FILE), c.want.promptListFile);
            EXPECT_EQ(ItemAnsiText(dlg.m_hWnd, IDC_SOUND_DIR), c.want.soundDir);
            EXPECT_EQ(StartEnabled(dlg), c.startEnabled);
            // What the controls show comes back unchanged through a save exchange.
            EXPECT_TRUE(dlg.UpdateData(TRUE));
            EXPECT_EQ(Fields(dlg), c.want);
        });
        EXPECT_TRUE(watcher.boxes().empty());
        // Written back as loaded; lines after the fourth are gone.
        EXPECT_EQ(ReadBytes(path), hhx::FormatSettings(c.want));
    }
}

TEST(SettingsGlue, ChineseFolderShowsAsChineseUnderCodePage936) {
    if (::GetACP() != 936) GTEST_SKIP() << "the ANSI code page is " << ::GetACP() << ", not 936";
    TempDir dir;
    WriteBytes(dir.file(hhx::kSettingsFileName), kChinese);
    DialogWatcher watcher;
    CEncryptDlg dlg;
    dlg.m_strExeDir = dir.path();
    RunModal(dlg, [&](CDialog&) {
        EXPECT_EQ(WindowText(::GetDlgItem(dlg.m_hWnd, IDC_SOURCE_DIR)), "E:\\中文\\乗\\");
    });
}

TEST(SettingsGlue, FirstRunWithoutFileSavesTheFieldsAsTheyStand) {
    TempDir dir;
    const std::string path = dir.file(hhx::kSettingsFileName);
    DialogWatcher watcher;
    CEncryptDlg dlg;
    dlg.m_strExeDir = dir.path();
    RunModal(dlg, [&](CDialog&) {
        EXPECT_EQ(Fields(dlg), hhx::SettingsValues{});
        EXPECT_FALSE(StartEnabled(dlg));
    });
    EXPECT_TRUE(watcher.boxes().empty());
    EXPECT_EQ(ReadBytes(path), "\r\n\r\n\r\n");

    // The fields are saved, not what the controls show.
    CEncryptDlg again;
    again.m_strExeDir = dir.path();
    RunModal(again, [&](CDialog&) {
        ::SetDlgItemTextA(again.m_hWnd, IDC_SOURCE_DIR, "C:\\Shown\\");
        again.m_strSourceDirText = "C:\\Field\\";
    });
    EXPECT_TRUE(watcher.boxes().empty());
    EXPECT_EQ(ReadBytes(path), "C:\\Field\\\r\n\r\n\r\n");
}

TEST(SettingsGlue, LockedFileIsNeitherLoadedNorSavedAndNothingIsShown) {
    TempDir dir;
    const std::string path = dir.file(hhx::kSettingsFileName);
    const std::string stored = "C:\\Music\\\r\n\r\n\r\n";
    WriteBytes(path, stored);
    CFile holder;
    ASSERT_TRUE(holder.Open(path, CFile::modeReadWrite | CFile::shareExclusive));
    DialogWatcher watcher;
    CEncryptDlg dlg;
    dlg.m_strExeDir = dir.path();
    RunModal(dlg, [&](CDialog&) {
        EXPECT_EQ(Fields(dlg), hhx::SettingsValues{});
        EXPECT_EQ(dlg.m_strWorkDir, "");
        EXPECT_FALSE(StartEnabled(dlg));
    });
    holder.Close();
    EXPECT_TRUE(watcher.boxes().empty());
    EXPECT_EQ(ReadBytes(path), stored);
}

TEST(SettingsGlue, ReadOnlyFileLoadsAndIsLeftAsItWasSilently) {
    TempDir dir;
    const std::string path = dir.file(hhx::kSettingsFileName);
    const std::string stored = "C:\\Music\\\r\n\r\n\r\n";
    WriteBytes(path, stored);
    MakeReadOnly(path);
    {
        CFile probe;
        if (probe.Open(path, CFile::modeWrite | CFile::shareDenyNone))
            GTEST_SKIP() << "read-only files can be opened for writing here (Wine running as root)";
    }
    DialogWatcher watcher;
    CEncryptDlg dlg;
    dlg.m_strExeDir = dir.path();
    RunModal(dlg, [&](CDialog&) {
        EXPECT_EQ(dlg.m_strSourceDirText, "C:\\Music\\");
        EXPECT_TRUE(StartEnabled(dlg));
        dlg.m_strSourceDirText = "D:\\Other\\";
    });
    EXPECT_TRUE(watcher.boxes().empty());
    EXPECT_EQ(ReadBytes(path), stored);
}

// A full disk while saving: the previous file stays, one file-error box names the settings
// file, and the dialog still ends normally. Runs when HHX_SMALL_DISK names a folder on a small
// file system that may be filled.
TEST(SettingsGlue, SaveFailureIsReportedAndTheDialogStillEnds) {
    const char* env = std::getenv("HHX_SMALL_DISK");
    if (!env || !*env) GTEST_SKIP() << "set HHX_SMALL_DISK to a folder on a small file system to run this test";
    std::string folder = env;
    if (folder.front() == '/') folder = "Z:" + folder;  // Wine maps the Unix root to drive Z:
    for (char& c : folder)
        if (c == '/') c = '\\';
    if (folder.back() != '\\') folder += '\\';
    folder += "hhx_glue_full_disk\\";
    std::filesystem::remove_all(folder);
    MakeDir(folder.substr(0, folder.size() - 1));
    const std::string path = folder + hhx::kSettingsFileName;
    const std::string stored = "C:\\Music\\\r\n\r\n\r\n";
    WriteBytes(path, stored);
    {
        CFile filler;
        ASSERT_TRUE(filler.Open(folder + "filler", CFile::modeCreate | CFile::modeWrite));
        const std::string block(4096, 'x');
        try {
            for (int i = 0; i < 1 << 20; ++i) filler.Write(block.data(), unsigned(block.size()));
            FAIL() << folder << " is too big to be filled";
        } catch (const CFileException&) {
        }
    }

    DialogWatcher watcher;
    CEncryptDlg dlg;
    dlg.m_strExeDir = folder;
    const INT_PTR result = RunModal(dlg, [&](CDialog&) { dlg.m_strSoundDir.assign(1 << 20, 'a'); });
    EXPECT_EQ(result, IDCANCEL);
    ASSERT_EQ(watcher.boxes().size(), 1u);
    EXPECT_EQ(watcher.boxes()[0].icon, BoxIcon::stop);
    EXPECT_NE(watcher.boxes()[0].text.find(path), std::string::npos) << watcher.boxes()[0].text;
    EXPECT_EQ(ReadBytes(path), stored);
    std::filesystem::remove_all(folder);
}
