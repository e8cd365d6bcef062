// The real hhxenc, run as a child process (its path comes in HHXENC), with stdout and stderr
// caught in files.

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <string>
#include <vector>

#include "platform/file.h"
#include "platform/file_exception.h"
#include "platform/path.h"
#include "unit/hhx_reference.h"
#include "unit/test_util.h"

#ifdef _WIN32
#include <windows.h>
#else
#include <fcntl.h>
#include <sys/wait.h>
#include <unistd.h>
#endif

namespace {

using hhx::test::DecodeHhx;

struct Result {
    int exitCode = -1;
    std::string out;  // UTF-8, line ends as "\n"
    std::string err;
};

std::string WithoutCarriageReturns(std::string text) {
    text.erase(std::remove(text.begin(), text.end(), '\r'), text.end());
    return text;
}

std::string HhxencPath() {
    const char* path = std::getenv("HHXENC");
    return path ? hhx::test::SystemPath(path) : std::string();
}

#ifdef _WIN32
// Quotes one argument so that the child's C runtime splits it back out unchanged.
std::string Quote(const std::string& arg) {
    std::string quoted = "\"";
    std::size_t backslashes = 0;
    for (char c : arg) {
        if (c == '\\') {
            ++backslashes;
            continue;
        }
        quoted.append(c == '"' ? backslashes * 2 + 1 : backslashes, '\\');
        backslashes = 0;
        quoted += c;
    }
    quoted.append(backslashes * 2, '\\');
    return quoted + "\"";
}

int Spawn(const std::string& exe, const std::vector<std::string>& args, const std::string& outPath,
          const std::string& errPath) {
    SECURITY_ATTRIBUTES inherit{sizeof inherit, nullptr, TRUE};
    HANDLE out = CreateFileA(outPath.c_str(), GENERIC_WRITE, FILE_SHARE_READ, &inherit, CREATE_ALWAYS, 0, nullptr);
    HANDLE err = CreateFileA(errPath.c_str(), GENERIC_WRITE, FILE_SHARE_READ, &inherit, CREATE_ALWAYS, 0, nullptr);
    HANDLE in = CreateFileA("NUL", GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, &inherit, OPEN_EXISTING, 0, nullptr);
    std::string commandLine = Quote(exe);
    for (const std::string& arg : args) commandLine += " " + Quote(arg);
    STARTUPINFOA startup{};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdInput = in;
    startup.hStdOutput = out;
    startup.hStdError = err;
    PROCESS_INFORMATION process{};
    DWORD exitCode = static_cast<DWORD>(-1);
    if (CreateProcessA(exe.c_str(), &commandLine[0], nullptr, nullptr, TRUE, 0, nullptr, nullptr, &startup, &process)) {
        WaitForSingleObject(process.hProcess, INFINITE);
        GetExitCodeProcess(process.hProcess, &exitCode);
        CloseHandle(process.hThread);
        CloseHandle(process.hProcess);
    } else {
        ADD_FAILURE() << "cannot start " << exe << " (error " << GetLastError() << ")";
    }
    CloseHandle(in);
    CloseHandle(out);
    CloseHandle(err);
    return static_cast<int>(exitCode);
}
#else
int Spawn(const std::string& exe, const std::vector<std::string>& args, const std::string& outPath,
          const std::string& errPath) {
    std::vector<char*> argv;
    argv.push_back(const_cast<char*>(exe.c_str()));
    for (const std::string& arg : args) argv.push_back(const_cast<char*>(arg.c_str()));
    argv.push_back(nullptr);
    pid_t child = fork();
    if (child == 0) {
        int in = open("/dev/null", O_RDONLY);
        int out = open(outPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
        int err = open(errPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
        if (in < 0 || out < 0 || err < 0) _exit(126);
        dup2(in, 0);
        dup2(out, 1);
        dup2(err, 2);
        execv(exe.c_str(), argv.data());
        _exit(127);
    }
    if (child < 0) {
        ADD_FAILURE() << "cannot fork";
        return -1;
    }
    int status = 0;
    while (waitpid(child, &status, 0) < 0) {
    }
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}
#endif

class Hhxenc : public ::testing::Test {
protected:
    void SetUp() override {
        m_exe = HhxencPath();
        if (m_exe.empty()) GTEST_SKIP() << "HHXENC is not set";
    }

    Result Run(const std::vector<std::string>& args) {
        Result result;
        result.exitCode = Spawn(m_exe, args, m_capture.file("out.txt"), m_capture.file("err.txt"));
        result.out = WithoutCarriageReturns(ReadBytes(m_capture.file("out.txt")));
        result.err = WithoutCarriageReturns(ReadBytes(m_capture.file("err.txt")));
        return result;
    }

    std::string m_exe;
    TempDir m_capture;
};

TEST_F(Hhxenc, UsageErrors) {
    const std::vector<std::vector<std::string>> cases = {
        {}, {"decrypt", "x"}, {"encrypt"}, {"verify"}, {"encrypt", "a", "b"}, {"encrypt", ""}, {"--versio"}};
    for (const auto& args : cases) {
        std::string shown;
        for (const auto& a : args) shown += "[" + a + "]";
        SCOPED_TRACE(shown);
        const Result r = Run(args);
        EXPECT_EQ(r.exitCode, 2);
        EXPECT_EQ(r.out, "");
        EXPECT_NE(r.err.find("usage: hhxenc"), std::string::npos) << r.err;
    }
}

TEST_F(Hhxenc, VersionShowsTheKeyFingerprint) {
    const Result r = Run({"--version"});
    EXPECT_EQ(r.exitCode, 0);
    EXPECT_EQ(r.out.rfind("hhxenc ", 0), 0u) << r.out;
    EXPECT_NE(r.out.find(HHX_KEY_FINGERPRINT), std::string::npos) << r.out;
}

// A folder and a source with Chinese names (code page 936 on Windows): progress lines on
// stderr, the completion text last on stdout, outputs that decode, and a clean verify.
TEST_F(Hhxenc, EncryptThenVerify) {
    TempDir dir;
    const std::string folder = dir.file(hhx::Utf8ToAnsi("音乐"));
    MakeDir(folder);
    const std::string sep(1, hhx::PathSeparator());
    const std::string song = folder + sep + hhx::Utf8ToAnsi("歌曲.mp3");
    WriteBytes(song, std::string(1000, '\x42'));
    WriteBytes(folder + sep + "b.MP3", "b");

    const Result r = Run({"encrypt", folder});
    EXPECT_EQ(r.exitCode, 0) << r.err;
    EXPECT_EQ(r.out, "一共2个文件处理结束。\n");
    EXPECT_NE(r.err.find(hhx::AnsiToUtf8(song) + "\n"), std::string::npos) << r.err;
    EXPECT_NE(r.err.find(hhx::AnsiToUtf8(folder + sep + "b.MP3") + "\n"), std::string::npos) << r.err;
    const auto decoded = DecodeHhx(ReadBytes(folder + sep + hhx::Utf8ToAnsi("歌曲.hhx")));
    EXPECT_EQ(decoded.error, "");
    EXPECT_EQ(decoded.payload.substr(0, 1000), std::string(1000, '\x42'));
    EXPECT_EQ(DecodeHhx(ReadBytes(folder + sep + "b.hhx")).payload.substr(0, 1), "b");

    const Result v = Run({"verify", folder});
    EXPECT_EQ(v.exitCode, 0) << v.out;
    EXPECT_EQ(v.out, "2 sources checked, 2 match, 0 with problems\n");
}

TEST_F(Hhxenc, MissingFolderEncryptsNothing) {
    const Result r = Run({"encrypt", m_capture.file("no-such-folder")});
    EXPECT_EQ(r.exitCode, 0);
    EXPECT_EQ(r.out, "一共0个文件处理结束。\n");
}

// Verify names every output that is missing, of the wrong size or not matching.
TEST_F(Hhxenc, VerifyReportsEachBadOutput) {
    TempDir dir;
    const std::vector<std::string> names = {"good", "gone", "cut", "changed", "header"};
    for (const auto& name : names) WriteBytes(dir.file(name + ".mp3"), std::string(200, 'x') + name);
    ASSERT_EQ(Run({"encrypt", dir.path()}).exitCode, 0);

    CFile::TryRemove(dir.file("gone.hhx"));
    std::string cut = ReadBytes(dir.file("cut.hhx"));
    WriteBytes(dir.file("cut.hhx"), cut.substr(0, cut.size() - 64));
    std::string changed = ReadBytes(dir.file("changed.hhx"));
    changed[32 + 100] ^= 0x01;
    WriteBytes(dir.file("changed.hhx"), changed);
    std::string header = ReadBytes(dir.file("header.hhx"));
    header[20] ^= 0x01;
    WriteBytes(dir.file("header.hhx"), header);

    const Result v = Run({"verify", dir.path()});
    EXPECT_EQ(v.exitCode, 1);
    EXPECT_NE(v.out.find("missing: " + dir.file("gone.hhx") + "\n"), std::string::npos) << v.out;
    EXPECT_NE(v.out.find("wrong size: " + dir.file("cut.hhx") + " (224 bytes, expected 288)\n"), std::string::npos) << v.out;
    EXPECT_NE(v.out.find("not matching: " + dir.file("changed.hhx") + " (first difference at source byte 100)\n"),
              std::string::npos) << v.out;
    EXPECT_NE(v.out.find("bad header: " + dir.file("header.hhx")), std::string::npos) << v.out;
    EXPECT_EQ(v.out.find("good"), std::string::npos) << v.out;
    EXPECT_NE(v.out.find("5 sources checked, 1 match, 4 with problems\n"), std::string::npos) << v.out;
}

// A file error: its text on stderr naming the output, exit status 1, no completion text.
TEST_F(Hhxenc, DiskFullIsReported) {
    const std::string disk = hhx::test::SmallDiskSlot("cli");
    if (disk.empty())
        GTEST_SKIP() << "no small disk: needs HHX_SMALL_DISK-cli (HHX_SMALL_DISK set), a 64 KiB tmpfs";
    const std::string folder = disk + "run" + std::string(1, hhx::PathSeparator());
    hhx::test::RemoveFolder(folder);
    MakeDir(folder.substr(0, folder.size() - 1));
    const std::string big(40000, '\x17');
    WriteBytes(folder + "big.mp3", big);
    ASSERT_EQ(ReadBytes(folder + "big.mp3"), big) << "the small disk is not empty";

    const Result r = Run({"encrypt", folder});
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_EQ(r.out, "");
    const std::string text = FormatFileMessage(CFileException::CauseText(CFileException::diskFull), folder + "big.hhx");
    EXPECT_NE(r.err.find(text + "\n"), std::string::npos) << r.err;
    EXPECT_FALSE(FileExists(folder + "big.hhx"));
    EXPECT_EQ(ReadBytes(folder + "big.mp3"), big);
    hhx::test::RemoveFolder(folder);
}

}  // namespace
