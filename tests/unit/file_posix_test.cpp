// POSIX-only behaviour of the file layer: a full disk, and errno values mapped to causes.
#ifndef _WIN32

#include <gtest/gtest.h>

#include <cerrno>
#include <csignal>
#include <string>

#include <sys/resource.h>

#include "platform/file.h"
#include "platform/file_exception.h"
#include "unit/test_util.h"

namespace {

TEST(PosixFileWrite, FullDeviceRaisesDiskFullNamingTheFile) {
    CFile file;
    if (!file.Open("/dev/full", CFile::modeWrite)) GTEST_SKIP() << "/dev/full is not available";
    try {
        file.Write("abc", 3);
        ADD_FAILURE() << "no file error raised";
    } catch (const CFileException& e) {
        EXPECT_EQ(e.m_cause, CFileException::diskFull);
        EXPECT_EQ(e.m_lOsError, ENOSPC);
        EXPECT_EQ(e.m_strFileName, "/dev/full");
        EXPECT_EQ(e.GetErrorMessage(), "在存取 /dev/full 时磁盘已满。");
    }
}

// A file size limit makes the system store part of a write and refuse the rest.
class FileSizeLimit {
public:
    explicit FileSizeLimit(rlim_t bytes) {
        m_oldHandler = std::signal(SIGXFSZ, SIG_IGN);
        getrlimit(RLIMIT_FSIZE, &m_old);
        rlimit limited = m_old;
        limited.rlim_cur = bytes;
        m_ok = setrlimit(RLIMIT_FSIZE, &limited) == 0;
    }
    ~FileSizeLimit() {
        setrlimit(RLIMIT_FSIZE, &m_old);
        std::signal(SIGXFSZ, m_oldHandler);
    }
    bool ok() const { return m_ok; }

private:
    rlimit m_old{};
    void (*m_oldHandler)(int) = nullptr;
    bool m_ok = false;
};

TEST(PosixFileWrite, PartlyStoredWriteRaisesDiskFull) {
    TempDir dir;
    const std::string path = dir.file("x.hhx");
    const std::string block(64, 'b');
    CFile file;
    ASSERT_TRUE(file.Open(path, CFile::modeCreate | CFile::modeReadWrite));
    {
        FileSizeLimit limit(100);
        if (!limit.ok()) GTEST_SKIP() << "cannot set a file size limit";
        file.Write(block.data(), 64);
        try {
            file.Write(block.data(), 64);
            ADD_FAILURE() << "no file error raised";
        } catch (const CFileException& e) {
            EXPECT_EQ(e.m_cause, CFileException::diskFull);
            EXPECT_EQ(e.m_strFileName, path);
        }
    }
    file.Close();
    EXPECT_EQ(ReadBytes(path).size(), 100u);
}

TEST(PosixFileException, ErrnoMapsToNearestCause) {
    using E = CFileException;
    struct Case {
        int code;
        E::Cause cause;
    } const cases[] = {
        {0, E::none},           {ENOENT, E::fileNotFound}, {ENOTDIR, E::badPath},
        {ENAMETOOLONG, E::badPath}, {EMFILE, E::tooManyOpenFiles}, {EACCES, E::accessDenied},
        {EROFS, E::accessDenied}, {EISDIR, E::accessDenied}, {EBADF, E::invalidFile},
        {ENOTEMPTY, E::removeCurrentDir}, {ESPIPE, E::badSeek}, {EIO, E::hardIO},
        {ETXTBSY, E::sharingViolation}, {ENOLCK, E::lockViolation}, {ENOSPC, E::diskFull},
        {EDQUOT, E::diskFull},  {EFBIG, E::diskFull},      {EINVAL, E::generic},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.code);
        EXPECT_EQ(E::OsErrorToCause(c.code), c.cause);
    }
}

}  // namespace

#endif  // _WIN32
