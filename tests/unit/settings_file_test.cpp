// The settings file: its byte format and reading rules, and how it is read and written on disk.
#include "settings/settings_file.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <string>
#include <system_error>

#include "platform/file.h"
#include "platform/path.h"
#include "unit/test_util.h"

using hhx::FormatSettings;
using hhx::LoadResult;
using hhx::ParseSettings;
using hhx::ReadSettingsFile;
using hhx::SettingsValues;
using hhx::WriteSettingsFile;

namespace hhx {
void PrintTo(const SettingsValues& v, std::ostream* os) {
    *os << testing::PrintToString(v.sourceDirText) << ", " << testing::PrintToString(v.qaListFile)
        << ", " << testing::PrintToString(v.promptListFile) << ", "
        << testing::PrintToString(v.soundDir);
}
}  // namespace hhx

namespace {

// Folder texts as the tool stores them: a drive root ends in two separators; GBK Chinese names
// ("中文", and a character whose second byte is 0x5C, the backslash's code).
const std::string kDriveRoot = "D:\\\\";
const std::string kChinese = "E:\\\xd6\xd0\xce\xc4\\\x81\x5c\\";

std::string SettingsPath(const TempDir& dir) { return dir.file(hhx::kSettingsFileName); }

// Clears every write permission; on Windows this sets the read-only attribute.
void MakeReadOnly(const std::string& path) {
    namespace fs = std::filesystem;
    std::error_code ec;
    fs::permissions(path, fs::perms::owner_write | fs::perms::group_write | fs::perms::others_write,
                    fs::perm_options::remove, ec);
    ASSERT_FALSE(ec) << "cannot make " << path << " read-only: " << ec.message();
}

bool CanOpenForWriting(const std::string& path) {
    CFile file;
    return file.Open(path, CFile::modeWrite | CFile::shareDenyNone);
}

}  // namespace

TEST(SettingsFormat, ParsesByLineRules) {
    struct Case {
        const char* name;
        std::string bytes;
        SettingsValues want;
    };
    const Case cases[] = {
        {"empty file", "", {}},
        {"six-byte file", "\r\n\r\n\r\n", {}},
        {"one line without line end", "C:\\Music\\", {"C:\\Music\\", "", "", ""}},
        {"first line without trailing separator", "C:\\Music\r\n", {"C:\\Music", "", "", ""}},
        {"CR LF line ends", "a\r\nb\r\nc\r\nd", {"a", "b", "c", "d"}},
        {"LF line ends", "a\nb\nc\nd", {"a", "b", "c", "d"}},
        {"CR CR LF leaves one CR", "a\r\r\nb", {"a\r", "b", "", ""}},
        {"lone CR is data", "a\rb\r\n\r", {"a\rb", "\r", "", ""}},
        {"CR at the end of line 4 stays", "a\r\nb\r\nc\r\nd\r", {"a", "b", "c", "d\r"}},
        {"Ctrl-Z inside line 2", "C:\\A\\\r\nxy\x1Az\r\nthird\r\nfourth",
         {"C:\\A\\", "xy", "", ""}},
        {"Ctrl-Z right after a CR", "a\r\x1A\nb", {"a\r", "", "", ""}},
        {"six lines: the last two ignored", "1\r\n2\r\n3\r\n4\r\n5\r\n6", {"1", "2", "3", "4"}},
        {"line end after line 4", "1\r\n2\r\n3\r\n4\r\n", {"1", "2", "3", "4"}},
        {"spaces and tabs kept", " a \t\r\n\t\r\n  \r\n ", {" a \t", "\t", "  ", " "}},
        {"NUL bytes are data", std::string("a\0b\r\n", 5), {std::string("a\0b", 3), "", "", ""}},
        {"drive root and Chinese names", kDriveRoot + "\r\n" + kChinese + "\r\n\r\n" + kChinese,
         {kDriveRoot, kChinese, "", kChinese}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(ParseSettings(c.bytes), c.want);
    }
}

TEST(SettingsFormat, FormatsFourLines) {
    struct Case {
        const char* name;
        SettingsValues values;
        std::string want;
    };
    const Case cases[] = {
        {"all empty: six bytes", {}, "\r\n\r\n\r\n"},
        {"folder only", {"C:\\Music\\", "", "", ""}, "C:\\Music\\\r\n\r\n\r\n"},
        {"all four", {"a", "b", "c", "d"}, "a\r\nb\r\nc\r\nd"},
        {"trailing spaces and CR kept", {"a ", "b\r", "", "d "}, "a \r\nb\r\r\n\r\nd "},
        {"text mode: LF inside a value written as CR LF", {"a\nb", "", "", "x\n"},
         "a\r\nb\r\n\r\n\r\nx\r\n"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(FormatSettings(c.values), c.want);
    }
}

TEST(SettingsFile, RoundTripsByteForByte) {
    std::string longLine = "C:\\";
    while (longLine.size() < 6000) longLine += "\xc9\xf9\xd2\xf4\\folder ";  // "声音"
    const SettingsValues cases[] = {
        {},
        {"C:\\Music\\", "", "", ""},
        {kDriveRoot, "", "", ""},
        {kChinese, kChinese + "list.txt", kChinese + "\xcc\xe1\xca\xbe.txt", kChinese},
        {"C:\\Music\\  ", " \t", "x\r", "D:\\Sounds\\ "},
        {longLine, longLine + "2", "", longLine + "4"},
    };
    for (const SettingsValues& values : cases) {
        SCOPED_TRACE(testing::PrintToString(values.sourceDirText.substr(0, 40)));
        TempDir dir;
        const std::string path = SettingsPath(dir);
        ASSERT_TRUE(WriteSettingsFile(path, values));
        EXPECT_EQ(ReadBytes(path), FormatSettings(values));
        SettingsValues loaded;
        ASSERT_EQ(ReadSettingsFile(path, loaded), LoadResult::loaded);
        EXPECT_EQ(loaded, values);
    }
}

TEST(SettingsFile, MissingFileIsNotOpenedAndLeavesValues) {
    TempDir dir;
    SettingsValues values{"keep", "keep", "keep", "keep"};
    EXPECT_EQ(ReadSettingsFile(SettingsPath(dir), values), LoadResult::notOpened);
    EXPECT_EQ(values, (SettingsValues{"keep", "keep", "keep", "keep"}));
}

TEST(SettingsFile, LoadsEmptyAndSixByteFiles) {
    for (const char* bytes : {"", "\r\n\r\n\r\n"}) {
        SCOPED_TRACE(testing::PrintToString(std::string(bytes)));
        TempDir dir;
        WriteBytes(SettingsPath(dir), bytes);
        SettingsValues values{"old", "old", "old", "old"};
        ASSERT_EQ(ReadSettingsFile(SettingsPath(dir), values), LoadResult::loaded);
        EXPECT_EQ(values, SettingsValues{});
    }
}

TEST(SettingsFile, SaveReplacesWholeFileAndLeavesNoTemporaryFile) {
    TempDir dir;
    const std::string path = SettingsPath(dir);
    WriteBytes(path, "1\r\n2\r\n3\r\n4\r\n5 is a much longer line than the new content\r\n6");
    SettingsValues values;
    ASSERT_EQ(ReadSettingsFile(path, values), LoadResult::loaded);
    ASSERT_TRUE(WriteSettingsFile(path, values));
    EXPECT_EQ(ReadBytes(path), "1\r\n2\r\n3\r\n4");
    EXPECT_FALSE(FileExists(path + ".tmp"));

    ASSERT_TRUE(WriteSettingsFile(dir.file("new.ini"), {}));
    EXPECT_EQ(ReadBytes(dir.file("new.ini")), "\r\n\r\n\r\n");
}

TEST(SettingsFile, SaveUsesAnotherTemporaryNameWhenTheFirstIsTaken) {
    TempDir dir;
    const std::string path = SettingsPath(dir);
    MakeDir(path + ".tmp");  // no file can be created under that name
    ASSERT_TRUE(WriteSettingsFile(path, {"a", "b", "c", "d"}));
    EXPECT_EQ(ReadBytes(path), "a\r\nb\r\nc\r\nd");
}

TEST(SettingsFile, DirectoryOfThatNameIsNeitherReadNorWritten) {
    TempDir dir;
    const std::string path = SettingsPath(dir);
    MakeDir(path);
    SettingsValues values;
    EXPECT_EQ(ReadSettingsFile(path, values), LoadResult::notOpened);
    EXPECT_FALSE(WriteSettingsFile(path, {"C:\\", "", "", ""}));
    EXPECT_FALSE(FileExists(path + ".tmp"));
}

TEST(SettingsFile, MissingFolderWritesNothing) {
    TempDir dir;
    const std::string path = dir.file("missing") + dir.path().back() + hhx::kSettingsFileName;
    EXPECT_FALSE(WriteSettingsFile(path, {}));
    EXPECT_FALSE(FileExists(dir.file("missing")));
}

TEST(SettingsFile, ReadOnlyFileLoadsButIsNotWritten) {
    TempDir dir;
    const std::string path = SettingsPath(dir);
    const std::string stored = "C:\\Music\\\r\n\r\n\r\n";
    WriteBytes(path, stored);
    MakeReadOnly(path);
    SettingsValues values;
    ASSERT_EQ(ReadSettingsFile(path, values), LoadResult::loaded);
    EXPECT_EQ(values.sourceDirText, "C:\\Music\\");
    if (CanOpenForWriting(path))
        GTEST_SKIP() << "this system lets a read-only file be opened for writing (running as root?)";
    EXPECT_FALSE(WriteSettingsFile(path, {"D:\\Other\\", "", "", ""}));
    EXPECT_EQ(ReadBytes(path), stored);
    EXPECT_FALSE(FileExists(path + ".tmp"));
}

TEST(SettingsFile, WritableFileInReadOnlyFolderIsNotWritten) {
    TempDir dir;
    const std::string folder = dir.file("ro");
    MakeDir(folder);
    const std::string path = folder + dir.path().back() + hhx::kSettingsFileName;
    const std::string stored = "C:\\Music\\\r\n\r\n\r\n";
    WriteBytes(path, stored);
    MakeReadOnly(folder);
    CFile probe;
    if (probe.Open(folder + dir.path().back() + "probe", CFile::modeCreate | CFile::modeWrite))
        GTEST_SKIP() << "this system lets files be created in a folder without write permission "
                        "(running as root, or Windows)";
    EXPECT_FALSE(WriteSettingsFile(path, {"D:\\Other\\", "", "", ""}));
    EXPECT_EQ(ReadBytes(path), stored);
}

TEST(SettingsFile, FileLockedByAnotherOpenIsNeitherReadNorWritten) {
    TempDir dir;
    const std::string path = SettingsPath(dir);
    const std::string stored = "C:\\Music\\\r\n\r\n\r\n";
    WriteBytes(path, stored);
    CFile holder;
    ASSERT_TRUE(holder.Open(path, CFile::modeReadWrite | CFile::shareExclusive));
    if (CanOpenForWriting(path)) GTEST_SKIP() << "this system does not enforce share modes";
    SettingsValues values;
    EXPECT_EQ(ReadSettingsFile(path, values), LoadResult::notOpened);
    EXPECT_FALSE(WriteSettingsFile(path, {"D:\\Other\\", "", "", ""}));
    holder.Close();
    EXPECT_EQ(ReadBytes(path), stored);
}

// Both opens share everything: a second copy of the tool holding the file does not block.
TEST(SettingsFile, OtherOpenThatSharesDoesNotBlock) {
    TempDir dir;
    const std::string path = SettingsPath(dir);
    WriteBytes(path, "C:\\Music\\\r\n\r\n\r\n");
    CFile holder;
    ASSERT_TRUE(holder.Open(path, CFile::modeRead | CFile::shareDenyNone));
    SettingsValues values;
    EXPECT_EQ(ReadSettingsFile(path, values), LoadResult::loaded);
    EXPECT_EQ(values.sourceDirText, "C:\\Music\\");
    // The holder lets others write but not delete or rename its file: saved in place then.
    ASSERT_TRUE(WriteSettingsFile(path, {"D:\\Other\\", "", "", ""}));
    holder.Close();
    EXPECT_EQ(ReadBytes(path), "D:\\Other\\\r\n\r\n\r\n");
    EXPECT_FALSE(FileExists(path + ".tmp"));
}

TEST(SettingsFile, ReadErrorRaisesGenericNamingTheFile) {
    // Reading the process's own memory at address 0 fails with an I/O error.
    const std::string path = "/proc/self/mem";
    if (!FileExists(path)) GTEST_SKIP() << path << " is not available here";
    SettingsValues values{"keep", "", "", ""};
    try {
        ReadSettingsFile(path, values);
        FAIL() << "no file error raised";
    } catch (const CFileException& e) {
        EXPECT_EQ(e.m_cause, CFileException::generic);
        EXPECT_EQ(e.m_strFileName, path);
    }
    EXPECT_EQ(values.sourceDirText, "keep");
}

// A full disk while the new content is written leaves the previous file as it was. Needs a
// small file system of our own: HHX_SMALL_DISK names a folder on one (for example a 64 KiB
// tmpfs); everything the test creates there is removed again.
TEST(SettingsFile, FullDiskLeavesPreviousFile) {
    const char* env = std::getenv("HHX_SMALL_DISK");
    if (!env || !*env)
        GTEST_SKIP() << "set HHX_SMALL_DISK to a folder on a small file system that may be "
                        "filled (e.g. mount -t tmpfs -o size=64k tmpfs DIR) to run this test";
    std::string base = env;
#ifdef _WIN32
    if (base.front() == '/') base = "Z:" + base;  // Wine maps the Unix root to drive Z:
    for (char& c : base)
        if (c == '/') c = '\\';
#endif
    const char sep = hhx::PathSeparator();
    if (base.back() != sep) base += sep;
    const std::string folder = base + "hhx_full_disk_test";
    std::filesystem::remove_all(folder);
    MakeDir(folder);
    const std::string path = folder + sep + hhx::kSettingsFileName;

    const std::string filler = folder + sep + "filler";
    const std::string stored = "C:\\Music\\\r\n\r\n\r\n";
    const SettingsValues big{std::string(1 << 20, 'a'), "", "", ""};
    for (bool previous : {true, false}) {
        SCOPED_TRACE(previous ? "previous file" : "no previous file");
        if (previous) WriteBytes(path, stored);
        // Fill the disk; what is left is far less than the new content.
        {
            CFile file;
            ASSERT_TRUE(file.Open(filler, CFile::modeCreate | CFile::modeWrite));
            const std::string block(4096, 'x');
            try {
                for (int i = 0; i < 1 << 20; ++i) file.Write(block.data(), unsigned(block.size()));
                FAIL() << base << " is too big to be filled";
            } catch (const CFileException& e) {
                EXPECT_EQ(e.m_cause, CFileException::diskFull);
            }
        }
        try {
            WriteSettingsFile(path, big);
            ADD_FAILURE() << "no file error raised";
        } catch (const CFileException& e) {
            EXPECT_EQ(e.m_cause, CFileException::diskFull);
            EXPECT_EQ(e.m_strFileName, path);
        }
        if (previous)
            EXPECT_EQ(ReadBytes(path), stored);
        else
            EXPECT_FALSE(FileExists(path));
        EXPECT_FALSE(FileExists(path + ".tmp"));
        CFile::TryRemove(path);
        CFile::TryRemove(filler);
    }
    std::filesystem::remove_all(folder);
}
