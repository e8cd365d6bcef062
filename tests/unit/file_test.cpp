// The file layer as the rest of the system uses it: opening, moving bytes, errors and their
// texts, and the folder search. Runs natively and under Wine against the Win32 backend.
#include <gtest/gtest.h>

#include <algorithm>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "platform/clock.h"
#include "platform/file.h"
#include "platform/file_exception.h"
#include "platform/file_find.h"
#include "platform/path.h"
#include "unit/test_util.h"

namespace {

const unsigned kReadWriteDenyWrite = CFile::modeReadWrite | CFile::shareDenyWrite;
const unsigned kCreateReadWrite = CFile::modeCreate | kReadWriteDenyWrite;

std::string AllByteValues() {
    std::string bytes;
    for (int i = 0; i < 256; ++i) bytes += static_cast<char>(i);
    return bytes;
}

// Runs the action and returns the file error it raised; fails the test if it raised none.
template <typename Action>
CFileException CaughtFileError(Action action) {
    try {
        action();
    } catch (const CFileException& e) {
        return e;
    }
    ADD_FAILURE() << "no file error raised";
    return CFileException();
}

// ---- CFile ----------------------------------------------------------------------------------

TEST(FileOpen, FailureIsFalseWithTheCauseAndNoException) {
    TempDir dir;
    MakeDir(dir.file("folder"));
    struct Case {
        const char* name;
        unsigned flags;
        CFileException::Cause cause;
    } const cases[] = {
        {"missing.mp3", kReadWriteDenyWrite, CFileException::fileNotFound},
        {"missing.mp3", CFile::modeRead, CFileException::fileNotFound},
        {"folder", kReadWriteDenyWrite, CFileException::accessDenied},
        {"folder", kCreateReadWrite, CFileException::accessDenied},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.name) + " flags " + std::to_string(c.flags));
        CFile file;
        CFileException error;
        bool opened = true;
        EXPECT_NO_THROW(opened = file.Open(dir.file(c.name), c.flags, &error));
        EXPECT_FALSE(opened);
        EXPECT_FALSE(file.IsOpen());
        EXPECT_EQ(error.m_cause, c.cause);
        EXPECT_EQ(error.m_strFileName, dir.file(c.name));
        EXPECT_FALSE(file.Open(dir.file(c.name), c.flags));  // no error object: still just false
    }
    EXPECT_FALSE(FileExists(dir.file("missing.mp3")));
}

TEST(FileReadWrite, RoundTripWithSeekAndLength) {
    TempDir dir;
    const std::string path = dir.file("data.bin");
    const std::string bytes = AllByteValues() + AllByteValues().substr(0, 44);  // 300 bytes
    {
        CFile file;
        ASSERT_TRUE(file.Open(path, kCreateReadWrite));
        EXPECT_EQ(file.GetFilePath(), path);
        file.Write(bytes.data(), 256);
        file.Write(bytes.data() + 256, 44);
        file.Write(bytes.data(), 0);
        EXPECT_EQ(file.GetLength(), 300u);
        file.Close();
        EXPECT_FALSE(file.IsOpen());
    }
    EXPECT_EQ(ReadBytes(path), bytes);

    CFile file;
    ASSERT_TRUE(file.Open(path, kReadWriteDenyWrite));
    EXPECT_EQ(file.Seek(70, CFile::begin), 70u);
    EXPECT_EQ(file.GetLength(), 300u);  // measuring leaves the position alone
    char block[64];
    ASSERT_EQ(file.Read(block, 64), 64u);
    EXPECT_EQ(std::string(block, 64), bytes.substr(70, 64));
    EXPECT_EQ(file.Seek(-4, CFile::end), 296u);
    EXPECT_EQ(file.Read(block, 64), 4u);
    EXPECT_EQ(std::string(block, 4), bytes.substr(296));
    EXPECT_EQ(file.Read(block, 64), 0u);
    file.SeekToBegin();
    EXPECT_EQ(file.Seek(10, CFile::current), 10u);
    ASSERT_EQ(file.Read(block, 1), 1u);
    EXPECT_EQ(block[0], bytes[10]);
}

TEST(FileReadWrite, EmptyFileHasLengthZeroAndReadsNothing) {
    TempDir dir;
    CFile file;
    ASSERT_TRUE(file.Open(dir.file("empty.mp3"), kCreateReadWrite));
    EXPECT_EQ(file.GetLength(), 0u);
    char block[64];
    EXPECT_EQ(file.Read(block, 64), 0u);
}

TEST(FileOpen, CreateTruncatesUnlessNoTruncate) {
    TempDir dir;
    const std::string path = dir.file("x.hhx");
    struct Case {
        unsigned flags;
        std::uint64_t length;
    } const cases[] = {
        {kCreateReadWrite, 0},
        {kCreateReadWrite | CFile::modeNoTruncate, 5},
        {kReadWriteDenyWrite, 5},
        {CFile::modeRead | CFile::shareDenyNone, 5},
        {CFile::modeWrite | CFile::shareExclusive, 5},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE("flags " + std::to_string(c.flags));
        WriteBytes(path, "12345");
        CFile file;
        ASSERT_TRUE(file.Open(path, c.flags));
        EXPECT_EQ(file.GetLength(), c.length);
        file.Close();
        EXPECT_EQ(ReadBytes(path), std::string("12345").substr(0, c.length));
    }
}

TEST(FileSetLength, CutsAndExtendsWithZeros) {
    TempDir dir;
    const std::string path = dir.file("len.bin");
    CFile file;
    ASSERT_TRUE(file.Open(path, kCreateReadWrite));
    file.Write("abcdefghij", 10);
    file.SetLength(4);
    EXPECT_EQ(file.GetLength(), 4u);
    file.SetLength(8);
    file.Flush();
    file.Close();
    EXPECT_EQ(ReadBytes(path), std::string("abcd\0\0\0\0", 8));
}

// Read, length and seek errors carry no file name; write errors name the file.
TEST(FileErrors, NameOnlyOnWriteSideErrors) {
    TempDir dir;
    const std::string path = dir.file("named.bin");
    WriteBytes(path, "abc");

    CFile writeOnly;
    ASSERT_TRUE(writeOnly.Open(path, CFile::modeWrite | CFile::shareDenyNone));
    char block[4];
    CFileException readError = CaughtFileError([&] { writeOnly.Read(block, sizeof block); });
    EXPECT_NE(readError.m_cause, CFileException::none);
    EXPECT_EQ(readError.m_strFileName, "");
    EXPECT_NE(readError.m_lOsError, 0);

    CFileException seekError = CaughtFileError([&] { writeOnly.Seek(-1, CFile::begin); });
    EXPECT_NE(seekError.m_cause, CFileException::none);
    EXPECT_EQ(seekError.m_strFileName, "");

    CFile readOnly;
    ASSERT_TRUE(readOnly.Open(path, CFile::modeRead | CFile::shareDenyNone));
    CFileException writeError = CaughtFileError([&] { readOnly.Write("x", 1); });
    EXPECT_NE(writeError.m_cause, CFileException::none);
    EXPECT_EQ(writeError.m_strFileName, path);
    EXPECT_NE(writeError.GetErrorMessage().find(hhx::AnsiToUtf8(path)), std::string::npos);
}

TEST(FileRemoveReplace, ReplaceOverwritesAndRemoveReportsFailure) {
    TempDir dir;
    WriteBytes(dir.file("new.tmp"), "new");
    WriteBytes(dir.file("SysSet.ini"), "old");
    long osError = -1;
    EXPECT_TRUE(CFile::TryReplace(dir.file("new.tmp"), dir.file("SysSet.ini"), &osError));
    EXPECT_EQ(ReadBytes(dir.file("SysSet.ini")), "new");
    EXPECT_FALSE(FileExists(dir.file("new.tmp")));

    EXPECT_FALSE(CFile::TryReplace(dir.file("gone.tmp"), dir.file("SysSet.ini"), &osError));
    EXPECT_EQ(CFileException::OsErrorToCause(osError), CFileException::fileNotFound);

    EXPECT_TRUE(CFile::TryRemove(dir.file("SysSet.ini")));
    EXPECT_FALSE(FileExists(dir.file("SysSet.ini")));
    EXPECT_FALSE(CFile::TryRemove(dir.file("SysSet.ini")));
}

TEST(FileClose, DestructorAndAbortReleaseTheFile) {
    TempDir dir;
    const std::string path = dir.file("held.mp3");
    {
        CFile file;
        ASSERT_TRUE(file.Open(path, kCreateReadWrite));
        file.Write("z", 1);
    }
    CFile file;
    ASSERT_TRUE(file.Open(path, kReadWriteDenyWrite));  // a leaked writer would block this on Win32
    file.Abort();
    EXPECT_FALSE(file.IsOpen());
    file.Abort();
    EXPECT_TRUE(CFile::TryRemove(path));
}

// ---- CFileException -------------------------------------------------------------------------

TEST(FileExceptionText, EveryCauseHasItsText) {
    const std::pair<CFileException::Cause, const char*> table[] = {
        {CFileException::generic, "在对 %1 进行访问时发生了一个不明错误。"},
        {CFileException::fileNotFound, "没有找到 %1。"},
        {CFileException::badPath, "%1 中包含无效的路径。"},
        {CFileException::tooManyOpenFiles, "无法打开 %1 因为太多文件已被打开。"},
        {CFileException::accessDenied, "对 %1 的存取被拒绝。"},
        {CFileException::invalidFile, "一个无效的文件柄与 %1 相关联。"},
        {CFileException::removeCurrentDir, "无法删除 %1 因为它是当前目录。"},
        {CFileException::directoryFull, "该目录已满，无法创建 %1。"},
        {CFileException::badSeek, "对 %1 进行查找失败。"},
        {CFileException::hardIO, "在存取 %1 时一个硬件输入/输出错误被报告。"},
        {CFileException::sharingViolation, "在存取 %1 时发生共享违例。"},
        {CFileException::lockViolation, "在存取 %1 时发生锁违例。"},
        {CFileException::diskFull, "在存取 %1 时磁盘已满。"},
        {CFileException::endOfFile, "试图越过其尾端对 %1 进行读写。"},
    };
    for (const auto& [cause, text] : table) {
        SCOPED_TRACE(text);
        EXPECT_STREQ(CFileException::CauseText(cause), text);
    }
}

TEST(FileExceptionText, FileNameOrUnnamedFileReplacesPlaceholder) {
    struct Case {
        const char* fileName;  // UTF-8
        const char* message;
    } const cases[] = {
        {"", "在存取 一未命名文件 时磁盘已满。"},
        {"music/x.hhx", "在存取 music/x.hhx 时磁盘已满。"},
        {"表%1.hhx", "在存取 表%1.hhx 时磁盘已满。"},  // a name holding %1 is not expanded again
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.fileName);
        const std::string ansiName = hhx::Utf8ToAnsi(c.fileName);
        EXPECT_EQ(FormatFileMessage(CFileException::CauseText(CFileException::diskFull), ansiName),
                  c.message);
        CFileException error(CFileException::diskFull, 112, ansiName);
        EXPECT_EQ(error.GetErrorMessage(), c.message);
        EXPECT_STREQ(error.what(), c.message);
    }
    EXPECT_EQ(FormatFileMessage("没有找到 %1。", ""), "没有找到 一未命名文件。");
}

TEST(FileExceptionText, ThrowOsErrorCarriesCodeCauseAndName) {
    const long notFound = 2;  // ENOENT and ERROR_FILE_NOT_FOUND alike
    CFileException error = CaughtFileError([&] { CFileException::ThrowOsError(notFound, "a.mp3"); });
    EXPECT_EQ(error.m_lOsError, notFound);
    EXPECT_EQ(error.m_cause, CFileException::fileNotFound);
    EXPECT_EQ(error.m_strFileName, "a.mp3");
    EXPECT_EQ(CFileException::OsErrorToCause(0), CFileException::none);
}

// ---- CFileFind ------------------------------------------------------------------------------

struct Found {
    std::string name;
    bool isDirectory;
    bool operator<(const Found& o) const { return name < o.name; }
    bool operator==(const Found& o) const { return name == o.name && isDirectory == o.isDirectory; }
};

std::ostream& operator<<(std::ostream& out, const Found& f) {
    return out << f.name << (f.isDirectory ? "/" : "");
}

// Every entry of a search, in the loop shape the batch run uses; checks the full paths.
std::vector<Found> FindAll(const std::string& pattern, const std::string& folder) {
    std::vector<Found> found;
    CFileFind finder;
    if (!finder.FindFile(pattern)) return found;
    bool more;
    do {
        more = finder.FindNextFile();
        found.push_back({finder.GetFileName(), finder.IsDirectory()});
        EXPECT_EQ(finder.GetFilePath(), folder + finder.GetFileName());
        EXPECT_EQ(finder.IsDots(), finder.GetFileName() == "." || finder.GetFileName() == "..");
    } while (more);
    finder.Close();
    std::sort(found.begin(), found.end());
    return found;
}

class FileFindTest : public ::testing::Test {
protected:
    void SetUp() override {
        for (const char* name : {"a.mp3", "B.MP3", "c.Mp3", "x.mp3x", "a.mp3.txt", "song.wav",
                                 ".h.mp3", "live.mp3 version.mp3", "[x].mp3"})
            WriteBytes(dir.file(name), "");
        MakeDir(dir.file("sub.mp3"));
        WriteBytes(dir.file("sub.mp3") + hhx::PathSeparator() + "inner.mp3", "");
    }

    // The long-name matches of "*.mp3" in the fixture folder.
    std::vector<Found> ExpectedMp3s() const {
        std::vector<Found> expected = {{"a.mp3", false},    {"B.MP3", false},
                                       {"c.Mp3", false},    {".h.mp3", false},
                                       {"[x].mp3", false},  {"live.mp3 version.mp3", false},
                                       {"sub.mp3", true}};
#ifdef _WIN32
        expected.push_back({"x.mp3x", false});  // its 8.3 alias X~1.MP3 matches
#endif
        std::sort(expected.begin(), expected.end());
        return expected;
    }

    TempDir dir;
};

TEST_F(FileFindTest, MatchesWithoutRegardToCaseIncludingHiddenAndFolders) {
    EXPECT_EQ(FindAll(dir.file("*.mp3"), dir.path()), ExpectedMp3s());
    EXPECT_EQ(FindAll(dir.file("*.MP3"), dir.path()), ExpectedMp3s());
}

TEST_F(FileFindTest, DoubledSeparatorActsAsOne) {
    EXPECT_EQ(FindAll(dir.path() + hhx::PathSeparator() + "*.mp3", dir.path()), ExpectedMp3s());
}

TEST_F(FileFindTest, StarReturnsDotsAsDirectories) {
    std::vector<Found> all = FindAll(dir.file("*"), dir.path());
    EXPECT_EQ(all.size(), 12u);
    EXPECT_TRUE(std::count(all.begin(), all.end(), Found{".", true}));
    EXPECT_TRUE(std::count(all.begin(), all.end(), Found{"..", true}));
}

TEST(FileFind, MissingFolderOrNoMatchIsFalse) {
    TempDir dir;
    WriteBytes(dir.file("song.wav"), "");
    CFileFind finder;
    EXPECT_FALSE(finder.FindFile(dir.file("missing") + hhx::PathSeparator() + "*.mp3"));
    EXPECT_FALSE(finder.FindFile(dir.file("*.mp3")));
    EXPECT_FALSE(finder.FindFile(dir.file("song.wav") + hhx::PathSeparator() + "*.mp3"));
}

// FindNextFile returns false when it makes the last entry current; that entry is still valid.
TEST(FileFind, ExactNameLookupTellsCaseApart) {
    TempDir dir;
    WriteBytes(dir.file("Song.mp3"), "x");
    EXPECT_TRUE(hhx::EntryExistsExactly(dir.path(), "Song.mp3"));
    // Also where the file system ignores case: "song.mp3" opens the same file there.
    EXPECT_FALSE(hhx::EntryExistsExactly(dir.path(), "song.mp3"));
    EXPECT_FALSE(hhx::EntryExistsExactly(dir.path(), "Song.MP3"));
    EXPECT_FALSE(hhx::EntryExistsExactly(dir.path(), "other.mp3"));
}

TEST(FileFind, LastEntryStaysCurrentAfterFalse) {
    TempDir dir;
    WriteBytes(dir.file("only.mp3"), "");
    CFileFind finder;
    ASSERT_TRUE(finder.FindFile(dir.file("*.mp3")));
    EXPECT_FALSE(finder.FindNextFile());
    EXPECT_EQ(finder.GetFileName(), "only.mp3");
    EXPECT_EQ(finder.GetFilePath(), dir.file("only.mp3"));
    EXPECT_FALSE(finder.IsDirectory());
    EXPECT_FALSE(finder.IsDots());

    WriteBytes(dir.file("two.mp3"), "");
    ASSERT_TRUE(finder.FindFile(dir.file("*.mp3")));  // a new search restarts
    EXPECT_TRUE(finder.FindNextFile());
    std::string first = finder.GetFileName();
    EXPECT_FALSE(finder.FindNextFile());
    std::set<std::string> names = {first, finder.GetFileName()};
    EXPECT_EQ(names, (std::set<std::string>{"only.mp3", "two.mp3"}));
}

// ---- path and clock helpers -----------------------------------------------------------------

TEST(PathHelpers, SeparatorsAtTheEnd) {
    const std::string sep(1, hhx::PathSeparator());
    const std::string folder = "music" + sep + "new";
    EXPECT_EQ(hhx::FindLastSeparator(folder), 5u);
    EXPECT_EQ(hhx::FindLastSeparator("music"), std::string::npos);
    EXPECT_FALSE(hhx::EndsWithSeparator(folder));
    EXPECT_FALSE(hhx::EndsWithSeparator(""));
    EXPECT_TRUE(hhx::EndsWithSeparator(folder + sep));
    EXPECT_EQ(hhx::WithTrailingSeparator(folder), folder + sep);
    EXPECT_EQ(hhx::WithTrailingSeparator(folder + sep), folder + sep);
    EXPECT_EQ(hhx::WithTrailingSeparator(""), sep);
}

TEST(PathHelpers, AnsiUtf8RoundTrip) {
    const std::string chinese = "表格 音乐.mp3";
    EXPECT_EQ(hhx::AnsiToUtf8(hhx::Utf8ToAnsi(chinese)), chinese);
    EXPECT_EQ(hhx::AnsiToUtf8("plain"), "plain");
    EXPECT_EQ(hhx::AnsiToUtf8(""), "");
}

TEST(Clock, MillisecondFieldIsBelowOneThousand) {
    for (int i = 0; i < 100; ++i) EXPECT_LT(hhx::CurrentUtcMilliseconds(), 1000u);
}

}  // namespace
