// Win32-only behaviour of the file layer: share modes, error codes, the directory search's
// short-name matches and attributes, and double-byte names in code page 936.
#include <windows.h>  // before file_find.h

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "platform/file.h"
#include "platform/file_exception.h"
#include "platform/file_find.h"
#include "platform/path.h"
#include "unit/test_util.h"

namespace {

// A handle held by "another program" while the file layer tries to open the same file.
class RawHandle {
public:
    RawHandle(const std::string& path, DWORD access, DWORD share)
        : m_handle(CreateFileA(path.c_str(), access, share, nullptr, OPEN_EXISTING,
                               FILE_ATTRIBUTE_NORMAL, nullptr)) {}
    ~RawHandle() {
        if (m_handle != INVALID_HANDLE_VALUE) CloseHandle(m_handle);
    }
    RawHandle(const RawHandle&) = delete;
    RawHandle& operator=(const RawHandle&) = delete;
    bool valid() const { return m_handle != INVALID_HANDLE_VALUE; }

private:
    HANDLE m_handle;
};

bool CodePage936() { return GetACP() == 936; }

std::vector<std::string> FoundNames(const std::string& pattern) {
    std::vector<std::string> names;
    CFileFind finder;
    if (!finder.FindFile(pattern)) return names;
    bool more;
    do {
        more = finder.FindNextFile();
        names.push_back(finder.GetFileName());
    } while (more);
    std::sort(names.begin(), names.end());
    return names;
}

TEST(Win32FileShare, OpenRespectsOtherHolders) {
    TempDir dir;
    const std::string path = dir.file("held.mp3");
    WriteBytes(path, "abc");
    const unsigned source = CFile::modeRead | CFile::shareDenyWrite;
    const unsigned sourceReadWrite = CFile::modeReadWrite | CFile::shareDenyWrite;
    struct Case {
        const char* holder;
        DWORD access;
        DWORD share;
        unsigned flags;
        bool opens;
    } const cases[] = {
        {"writer sharing all", GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, source, false},
        {"writer sharing all", GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, sourceReadWrite, false},
        {"reader sharing all", GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, source, true},
        {"reader denying writes", GENERIC_READ, FILE_SHARE_READ, source, true},
        {"reader denying writes", GENERIC_READ, FILE_SHARE_READ, sourceReadWrite, false},
        {"exclusive reader", GENERIC_READ, 0, CFile::modeRead | CFile::shareDenyNone, false},
        {"reader sharing all", GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE,
         CFile::modeRead | CFile::shareExclusive, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.holder) + ", flags " + std::to_string(c.flags));
        RawHandle holder(path, c.access, c.share);
        ASSERT_TRUE(holder.valid());
        CFile file;
        CFileException error;
        EXPECT_EQ(file.Open(path, c.flags, &error), c.opens);
        if (!c.opens) {
            EXPECT_EQ(error.m_cause, CFileException::sharingViolation);
            EXPECT_EQ(error.m_lOsError, ERROR_SHARING_VIOLATION);
        }
    }
}

TEST(Win32FileShare, OpenFileShutsOutOtherWriters) {
    TempDir dir;
    const std::string path = dir.file("x.hhx");
    CFile output;
    ASSERT_TRUE(output.Open(path, CFile::modeCreate | CFile::modeReadWrite | CFile::shareDenyWrite));
    EXPECT_FALSE(RawHandle(path, GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE).valid());
    EXPECT_TRUE(RawHandle(path, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE).valid());
}

TEST(Win32FileException, SystemCodesMapToCauses) {
    using E = CFileException;
    struct Case {
        long code;
        E::Cause cause;
    } const cases[] = {
        {0, E::none},
        {2, E::fileNotFound},  {6, E::fileNotFound},  {18, E::fileNotFound}, {107, E::fileNotFound},
        {3, E::badPath},       {15, E::badPath},      {17, E::badPath},      {123, E::badPath},
        {4, E::tooManyOpenFiles},
        {5, E::accessDenied},  {12, E::accessDenied}, {19, E::accessDenied}, {29, E::accessDenied},
        {65, E::accessDenied},
        {11, E::invalidFile},  {26, E::invalidFile},  {66, E::invalidFile},
        {16, E::removeCurrentDir}, {145, E::removeCurrentDir},
        {62, E::directoryFull},
        {24, E::badSeek},      {25, E::badSeek},      {27, E::badSeek},      {30, E::badSeek},
        {20, E::hardIO},       {21, E::hardIO},       {22, E::hardIO},       {23, E::hardIO},
        {57, E::hardIO},       {995, E::hardIO},
        {32, E::sharingViolation},
        {33, E::lockViolation}, {108, E::lockViolation}, {167, E::lockViolation},
        {39, E::diskFull},     {112, E::diskFull},
        {38, E::endOfFile},
        {1, E::generic},       {87, E::generic},      {183, E::generic},     {1450, E::generic},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.code);
        EXPECT_EQ(E::OsErrorToCause(c.code), c.cause);
    }
}

TEST(Win32FileFind, ShortNameMatchesHiddenAndSystemFilesAreReturned) {
    TempDir dir;
    for (const char* name : {"longname.mp3x", "hidden.mp3", "system.mp3", "plain.mp3", "b.txt"})
        WriteBytes(dir.file(name), "");
    ASSERT_TRUE(SetFileAttributesA(dir.file("hidden.mp3").c_str(), FILE_ATTRIBUTE_HIDDEN));
    ASSERT_TRUE(SetFileAttributesA(dir.file("system.mp3").c_str(), FILE_ATTRIBUTE_SYSTEM));
    // The long name is reported even when only the 8.3 alias (LONGNA~1.MP3) matched.
    EXPECT_EQ(FoundNames(dir.file("*.mp3")),
              (std::vector<std::string>{"hidden.mp3", "longname.mp3x", "plain.mp3", "system.mp3"}));
}

TEST(Win32FileFind, RelativePatternGivesFullPaths) {
    TempDir dir;
    MakeDir(dir.file("sub"));
    WriteBytes(dir.file("sub\\a.mp3"), "");
    char saved[MAX_PATH];
    ASSERT_NE(GetCurrentDirectoryA(MAX_PATH, saved), 0u);
    ASSERT_TRUE(SetCurrentDirectoryA(dir.path().c_str()));
    for (const char* pattern : {"sub\\*.mp3", "sub\\\\*.mp3", ".\\sub\\*.mp3"}) {
        SCOPED_TRACE(pattern);
        CFileFind finder;
        ASSERT_TRUE(finder.FindFile(pattern));
        EXPECT_FALSE(finder.FindNextFile());
        EXPECT_EQ(finder.GetFilePath(), dir.file("sub\\a.mp3"));
    }
    SetCurrentDirectoryA(saved);
}

// Chinese names live in code page 936; the tests run with it (LC_ALL=zh_CN.UTF-8).
TEST(Win32FileNames, ChineseNameFoundAndOpenedByItsAnsiName) {
    if (!CodePage936()) GTEST_SKIP() << "ANSI code page is " << GetACP() << ", not 936";
    TempDir dir;
    const std::wstring wideFolder(dir.path().begin(), dir.path().end());  // ASCII temp path
    HANDLE created = CreateFileW((wideFolder + L"\u97f3\u4e50.mp3").c_str(), GENERIC_WRITE, 0,
                                 nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr);
    ASSERT_NE(created, INVALID_HANDLE_VALUE);
    DWORD put = 0;
    ASSERT_TRUE(WriteFile(created, "music", 5, &put, nullptr));
    CloseHandle(created);

    const std::string ansiName = hhx::Utf8ToAnsi("音乐.mp3");
    EXPECT_EQ(ansiName, "\xD2\xF4\xC0\xD6.mp3");
    CFileFind finder;
    ASSERT_TRUE(finder.FindFile(dir.file("*.mp3")));
    EXPECT_FALSE(finder.FindNextFile());
    EXPECT_EQ(finder.GetFileName(), ansiName);
    ASSERT_EQ(finder.GetFilePath(), dir.file(ansiName));

    CFile file;
    ASSERT_TRUE(file.Open(finder.GetFilePath(), CFile::modeRead | CFile::shareDenyWrite));
    char bytes[8];
    EXPECT_EQ(file.Read(bytes, sizeof bytes), 5u);
    EXPECT_EQ(FormatFileMessage("没有找到 %1。", file.GetFilePath()),
              "没有找到 " + hhx::AnsiToUtf8(dir.path()) + "音乐.mp3。");
}

// U+4E57 is 0x81 0x5C in code page 936: its second byte is the backslash's value.
TEST(Win32PathHelpers, TrailByte5CIsNoSeparator) {
    if (!CodePage936()) GTEST_SKIP() << "ANSI code page is " << GetACP() << ", not 936";
    const std::string ch = hhx::Utf8ToAnsi("乗");
    ASSERT_EQ(ch, "\x81\x5C");
    struct Case {
        std::string path;
        std::string::size_type lastSeparator;
        bool endsWithSeparator;
    } const cases[] = {
        {"C:\\music\\" + ch, 8, false},
        {"C:\\" + ch + "\\", 5, true},
        {ch, std::string::npos, false},
        {ch + ch + "\\" + ch, 4, false},
        {"\x81", std::string::npos, false},  // a lone lead byte at the end
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.path);
        EXPECT_EQ(hhx::FindLastSeparator(c.path), c.lastSeparator);
        EXPECT_EQ(hhx::EndsWithSeparator(c.path), c.endsWithSeparator);
        EXPECT_EQ(hhx::WithTrailingSeparator(c.path), c.endsWithSeparator ? c.path : c.path + "\\");
    }
}

TEST(Win32FileNames, FolderEndingInTrailByte5CIsSearched) {
    if (!CodePage936()) GTEST_SKIP() << "ANSI code page is " << GetACP() << ", not 936";
    TempDir dir;
    const std::string folder = dir.file(hhx::Utf8ToAnsi("乗"));
    MakeDir(folder);
    WriteBytes(folder + "\\a.mp3", "");
    for (const std::string& pattern : {folder + "\\*.mp3", folder + "\\\\*.mp3"}) {
        SCOPED_TRACE(pattern);
        CFileFind finder;
        ASSERT_TRUE(finder.FindFile(pattern));
        EXPECT_FALSE(finder.FindNextFile());
        EXPECT_EQ(finder.GetFilePath(), folder + "\\a.mp3");
    }
}

// As root, Wine lets anyone write a read-only file; the case is checked only where the
// system refuses the write.
TEST(Win32FileAttributes, ReadOnlyFileRefusesWriteOpen) {
    TempDir dir;
    const std::string path = dir.file("locked.hhx");
    WriteBytes(path, "keep");
    ASSERT_TRUE(SetFileAttributesA(path.c_str(), FILE_ATTRIBUTE_READONLY));
    CFile file;
    CFileException error;
    const bool opened =
        file.Open(path, CFile::modeCreate | CFile::modeReadWrite | CFile::shareDenyWrite, &error);
    file.Abort();
    if (opened) {
        SetFileAttributesA(path.c_str(), FILE_ATTRIBUTE_NORMAL);
        GTEST_SKIP() << "the system does not enforce the read-only attribute here (Wine as root)";
    }
    EXPECT_EQ(error.m_cause, CFileException::accessDenied);
    EXPECT_EQ(ReadBytes(path), "keep");
    EXPECT_TRUE(file.Open(path, CFile::modeRead | CFile::shareDenyWrite));
    SetFileAttributesA(path.c_str(), FILE_ATTRIBUTE_NORMAL);
}

}  // namespace
