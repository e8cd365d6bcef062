// The folder batch run: which entries are sources, how outputs are named, what the progress
// hook sees, and what a file error leaves behind. Every run is checked with the reference
// decoder, and every source is compared byte for byte afterwards.

#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <string>
#include <vector>

#include "crypt/encrypt_folder.h"
#include "platform/file.h"
#include "platform/path.h"
#include "unit/hhx_reference.h"
#include "unit/test_util.h"

#ifdef _WIN32
#include <windows.h>
#else
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace {

using hhx::test::DecodeHhx;
using hhx::test::FolderFiles;

std::string Sep() { return std::string(1, hhx::PathSeparator()); }

void SetReadOnly(const std::string& path) {
#ifdef _WIN32
    SetFileAttributesA(path.c_str(), FILE_ATTRIBUTE_READONLY);
#else
    chmod(path.c_str(), 0444);
#endif
}

// True when this process can still open a read-only file for writing (root, or Wine as root).
bool ReadOnlyIsIgnored(const TempDir& dir) {
    const std::string probe = dir.file("read-only-probe");
    WriteBytes(probe, "x");
    SetReadOnly(probe);
    CFile file;
    const bool ignored = file.Open(probe, CFile::modeReadWrite | CFile::shareDenyNone);
    file.Close();
#ifdef _WIN32
    SetFileAttributesA(probe.c_str(), FILE_ATTRIBUTE_NORMAL);
#endif
    CFile::TryRemove(probe);
    return ignored;
}

std::string Content(std::size_t length, unsigned seed) {
    std::string bytes;
    for (std::size_t i = 0; i < length; ++i) bytes += static_cast<char>((i * 131 + seed * 17 + i / 7) % 256);
    return bytes;
}

struct RunResult {
    int count = 0;
    std::vector<std::string> reported;
};

// The sources of a folder with their bytes.
std::map<std::string, std::string> Sources(const std::string& folder) {
    auto files = FolderFiles(folder);
    for (auto it = files.begin(); it != files.end();) it = hhx::IsSourceName(it->first) ? std::next(it) : files.erase(it);
    return files;
}

// Runs the folder, recording every progress call. Afterwards, also when an error ends the
// run, every source is as it was and both file objects are closed.
RunResult RunFolder(const std::string& folder, const std::function<void(const std::string&)>& also = {}) {
    const auto before = Sources(folder);
    const auto checkAfter = [&] {
        EXPECT_TRUE(Sources(folder) == before) << "a source changed";
        EXPECT_FALSE(g_fileSource.IsOpen());
        EXPECT_FALSE(g_fileOutput.IsOpen());
    };
    RunResult run;
    try {
        run.count = EncryptFolder(folder, [&](const std::string& path) {
            run.reported.push_back(path);
            if (also) also(path);
        });
    } catch (...) {
        checkAfter();
        throw;
    }
    checkAfter();
    return run;
}

// The output decodes to exactly this source.
void ExpectEncrypted(const std::string& outputPath, const std::string& source) {
    SCOPED_TRACE(outputPath);
    const std::string file = ReadBytes(outputPath);
    ASSERT_EQ(file.size(), 32 + 64 * ((source.size() + 63) / 64));
    const auto decoded = DecodeHhx(file);
    ASSERT_EQ(decoded.error, "");
    EXPECT_TRUE(decoded.payload.compare(0, source.size(), source) == 0);
}

std::vector<std::string> Sorted(std::vector<std::string> names) {
    std::sort(names.begin(), names.end());
    return names;
}

TEST(SourceNames, SelectionAndOutputNames) {
    struct Case {
        std::string name;
        bool source;
        std::string output;
    };
    const Case cases[] = {
        {"song.mp3", true, "song.hhx"},
        {"Song.MP3", true, "Song.hhx"},
        {"x.Mp3", true, "x.hhx"},
        {"a.mp3.mp3", true, "a.mp3.hhx"},
        {"live.mp3 version.mp3", true, "live.mp3 version.hhx"},
        {hhx::Utf8ToAnsi("歌曲.mp3"), true, hhx::Utf8ToAnsi("歌曲.hhx")},
        {"x.mp3x", false, ""},     // an 8.3 short-name match
        {"longname.mp3x", false, ""},
        {"dot.mp3.", false, ""},
        {"x.mp4", false, ""},
        {".mp3", false, ""},       // no name before the extension
        {"mp3", false, ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(hhx::IsSourceName(c.name), c.source);
        if (c.source) {
            EXPECT_EQ(hhx::OutputName(c.name), c.output);
        }
    }
}

// One folder with every kind of entry; the hook is checked as the run goes.
TEST(EncryptFolder, EncryptsEachSourceOfTheFolderOnly) {
    TempDir dir;
    const std::map<std::string, std::string> sources = {
        {"Song.MP3", Content(1000, 1)},
        {"a.mp3", Content(64, 2)},
        {"a.mp3.mp3", Content(65, 3)},
        {"live.mp3 version.mp3", Content(129, 4)},
        {"empty.mp3", ""},
        {".hidden.mp3", Content(5, 5)},
        {hhx::Utf8ToAnsi("歌曲.mp3"), Content(300, 6)},
    };
    const std::map<std::string, std::string> others = {
        {"x.mp3x", Content(10, 7)}, {"notes.txt", "text"}, {"x.mp4", Content(10, 8)}};
    for (const auto& f : sources) WriteBytes(dir.file(f.first), f.second);
    for (const auto& f : others) WriteBytes(dir.file(f.first), f.second);
#ifdef _WIN32
    SetFileAttributesA(dir.file(".hidden.mp3").c_str(), FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM);
#endif
    MakeDir(dir.file("sub.mp3"));
    WriteBytes(dir.file("sub.mp3" + Sep() + "inner.mp3"), "inner");

    std::vector<std::string> done;  // sources whose outputs must be complete by now
    const RunResult run = RunFolder(dir.path(), [&](const std::string& path) {
        // Called after the earlier source is finished and before this one is opened.
        EXPECT_FALSE(g_fileSource.IsOpen());
        EXPECT_FALSE(g_fileOutput.IsOpen());
        const std::string name = path.substr(dir.path().size());
        ASSERT_TRUE(sources.count(name)) << "reported: " << path;
        EXPECT_FALSE(FileExists(dir.file(hhx::OutputName(name)))) << "output exists before the hook";
        for (const std::string& earlier : done)
            ExpectEncrypted(dir.file(hhx::OutputName(earlier)), sources.at(earlier));
        done.push_back(name);
    });

    EXPECT_EQ(run.count, static_cast<int>(sources.size()));
    std::vector<std::string> expectedReports;
    for (const auto& f : sources) expectedReports.push_back(dir.file(f.first));
    EXPECT_EQ(Sorted(run.reported), Sorted(expectedReports));

    // The folder holds the sources and other files unchanged, and one output per source.
    std::map<std::string, std::string> expectedFiles = others;
    expectedFiles.insert(sources.begin(), sources.end());
    auto files = FolderFiles(dir.path());
    for (const auto& f : sources) {
        const std::string output = hhx::OutputName(f.first);
        ASSERT_TRUE(files.count(output)) << output;
        ExpectEncrypted(dir.file(output), f.second);
        files.erase(output);
    }
    EXPECT_EQ(files, expectedFiles);
    EXPECT_EQ(ReadBytes(dir.file("empty.hhx")).size(), 32u);
    EXPECT_FALSE(FileExists(dir.file("sub.mp3" + Sep() + "inner.hhx")));
    EXPECT_FALSE(FileExists(dir.file("sub.hhx")));
}

TEST(EncryptFolder, NothingToDo) {
    TempDir dir;
    WriteBytes(dir.file("readme.txt"), "no sources here");
    EXPECT_EQ(RunFolder(dir.path()).count, 0);
    const RunResult missing = RunFolder(dir.file("no-such-folder") + Sep());
    EXPECT_EQ(missing.count, 0);
    EXPECT_TRUE(missing.reported.empty());
}

TEST(EncryptFolder, FolderWithoutTrailingSeparator) {
    TempDir dir;
    MakeDir(dir.file("music"));
    const std::string folder = dir.file("music");
    WriteBytes(folder + Sep() + "x.mp3", "abc");
    const RunResult run = RunFolder(folder);
    EXPECT_EQ(run.count, 1);
    ExpectEncrypted(folder + Sep() + "x.hhx", "abc");
    EXPECT_FALSE(FileExists(dir.file("musicx.hhx")));
}

TEST(EncryptFolder, ReplacesAnExistingOutput) {
    TempDir dir;
    WriteBytes(dir.file("x.mp3"), "short");
    WriteBytes(dir.file("x.hhx"), Content(5000, 9));
    EXPECT_EQ(RunFolder(dir.path()).count, 1);
    ExpectEncrypted(dir.file("x.hhx"), "short");
}

// On a case-sensitive file system "a.mp3" and "a.MP3" both name "a.hhx": the first one
// reported keeps it, the later one is skipped and not counted.
TEST(EncryptFolder, SourcesSharingAnOutputNameOnACaseSensitiveFileSystem) {
    TempDir dir;
    WriteBytes(dir.file("a.mp3"), "lower");
    WriteBytes(dir.file("a.MP3"), "UPPER");
    if (FolderFiles(dir.path()).size() != 2) GTEST_SKIP() << "file names here ignore case";
    const RunResult run = RunFolder(dir.path());
    EXPECT_EQ(run.count, 1);
    ASSERT_EQ(run.reported.size(), 2u);
    const std::string first = run.reported[0].substr(dir.path().size());
    ExpectEncrypted(dir.file("a.hhx"), first == "a.mp3" ? "lower" : "UPPER");
    EXPECT_EQ(FolderFiles(dir.path()).size(), 3u);
}

// Sources are opened for reading only: a read-only source is encrypted.
TEST(EncryptFolder, ReadOnlySourceIsEncrypted) {
    TempDir dir;
    WriteBytes(dir.file("x.mp3"), "read only");
    SetReadOnly(dir.file("x.mp3"));
    EXPECT_EQ(RunFolder(dir.path()).count, 1);
    ExpectEncrypted(dir.file("x.hhx"), "read only");
}

TEST(EncryptFolder, ReadOnlyOutputIsSkipped) {
    TempDir dir;
    if (ReadOnlyIsIgnored(dir)) GTEST_SKIP() << "this user may write read-only files (run as an unprivileged user)";
    WriteBytes(dir.file("x.mp3"), "source");
    WriteBytes(dir.file("x.hhx"), "old output");
    SetReadOnly(dir.file("x.hhx"));
    WriteBytes(dir.file("y.mp3"), "other");
    const RunResult run = RunFolder(dir.path());
    EXPECT_EQ(run.count, 1);
    EXPECT_EQ(run.reported.size(), 2u);
    EXPECT_EQ(ReadBytes(dir.file("x.hhx")), "old output");
    ExpectEncrypted(dir.file("y.hhx"), "other");
}

// Writers are shut out while a source is read, so a source another handle holds open for
// writing cannot be opened: it is reported, skipped and not counted.
TEST(EncryptFolder, SourceHeldOpenForWritingIsSkipped) {
    TempDir dir;
    WriteBytes(dir.file("busy.mp3"), "being written");
    WriteBytes(dir.file("free.mp3"), "free");
    CFile writer;
    ASSERT_TRUE(writer.Open(dir.file("busy.mp3"), CFile::modeReadWrite | CFile::shareDenyNone));
    CFile probe;
    if (probe.Open(dir.file("busy.mp3"), CFile::modeRead | CFile::shareDenyWrite))
        GTEST_SKIP() << "this system has no share modes";
    const RunResult run = RunFolder(dir.path());
    EXPECT_EQ(run.count, 1);
    EXPECT_EQ(run.reported.size(), 2u);
    EXPECT_FALSE(FileExists(dir.file("busy.hhx")));
    ExpectEncrypted(dir.file("free.hhx"), "free");
}

// A disk that fills up while an output is written: the error names the output and no
// incomplete output stays (RunFolder checks the sources and the file objects).
TEST(EncryptFolder, DiskFullRemovesTheIncompleteOutput) {
    const std::string disk = hhx::test::SmallDiskSlot("folder");
    if (disk.empty())
        GTEST_SKIP() << "no small disk: needs HHX_SMALL_DISK-folder (HHX_SMALL_DISK set), a 64 KiB tmpfs";
    const std::string folder = disk + "run" + Sep();
    hhx::test::RemoveFolder(folder);
    MakeDir(folder.substr(0, folder.size() - 1));
    const std::string big = Content(40000, 1);
    WriteBytes(folder + "big.mp3", big);
    WriteBytes(folder + "small.mp3", "small");
    ASSERT_EQ(ReadBytes(folder + "big.mp3"), big) << "the small disk is not empty";

    try {
        RunFolder(folder);
        ADD_FAILURE() << "the run ended without an error";
    } catch (const CFileException& error) {
        EXPECT_EQ(error.m_cause, CFileException::diskFull);
        EXPECT_EQ(error.m_strFileName, folder + "big.hhx");
    }
    EXPECT_FALSE(FileExists(folder + "big.hhx"));
    if (FileExists(folder + "small.hhx")) ExpectEncrypted(folder + "small.hhx", "small");  // finished earlier
    CFile writer;  // nothing still holds the source
    EXPECT_TRUE(writer.Open(folder + "big.mp3", CFile::modeReadWrite | CFile::shareDenyNone));
    writer.Close();
    hhx::test::RemoveFolder(folder);
}

#ifndef _WIN32
// A read error in the middle of a file (here: a source that yields fewer bytes than its
// length) ends the run with the error and removes the incomplete output.
TEST(EncryptFolder, ShortSourceEndsTheRunAndRemovesTheOutput) {
    const char* target = "/sys/kernel/mm/transparent_hugepage/enabled";
    struct stat st;
    if (stat(target, &st) != 0 || st.st_size <= 64) GTEST_SKIP() << target << " is not here";
    TempDir dir;
    ASSERT_EQ(symlink(target, dir.file("short.mp3").c_str()), 0);
    try {
        RunFolder(dir.path());
        ADD_FAILURE() << "the run ended without an error";
    } catch (const CFileException& error) {
        EXPECT_EQ(error.m_cause, CFileException::endOfFile);
        EXPECT_EQ(error.m_strFileName, dir.file("short.mp3"));
    }
    EXPECT_FALSE(FileExists(dir.file("short.hhx")));
}
#endif

}  // namespace
