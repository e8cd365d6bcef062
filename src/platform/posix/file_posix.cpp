#include "platform/file.h"

#include <cerrno>
#include <cstdio>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

constexpr std::intptr_t kClosed = -1;

int Fd(std::intptr_t handle) { return static_cast<int>(handle); }

// Share modes have no POSIX counterpart and are ignored; descriptors never leak into children.
int OpenFlagsFor(unsigned flags) {
    int result = O_CLOEXEC;
    switch (flags & 3) {
    case CFile::modeWrite:
        result |= O_WRONLY;
        break;
    case CFile::modeReadWrite:
        result |= O_RDWR;
        break;
    default:
        result |= O_RDONLY;
        break;
    }
    if (flags & CFile::modeCreate) {
        result |= O_CREAT;
        if (!(flags & CFile::modeNoTruncate)) result |= O_TRUNC;
    }
    return result;
}

}  // namespace

CFile::CFile() : m_handle(kClosed) {}

CFile::~CFile() { Abort(); }

bool CFile::IsOpen() const { return m_handle != kClosed; }

bool CFile::Open(const std::string& path, unsigned flags, CFileException* error) {
    Abort();
    int fd;
    do {
        fd = ::open(path.c_str(), OpenFlagsFor(flags), 0666);
    } while (fd < 0 && errno == EINTR);
    int openError = errno;
    if (fd >= 0) {
        // A read-only open of a directory succeeds here; as on Win32 it is no file to open.
        struct stat st;
        if (fstat(fd, &st) == 0 && S_ISDIR(st.st_mode)) {
            ::close(fd);
            fd = -1;
            openError = EISDIR;
        }
    }
    if (fd < 0) {
        if (error) *error = CFileException(CFileException::OsErrorToCause(openError), openError, path);
        return false;
    }
    m_handle = fd;
    m_strFileName = path;
    return true;
}

unsigned CFile::Read(void* buffer, unsigned count) {
    unsigned total = 0;
    while (total < count) {
        ssize_t got = ::read(Fd(m_handle), static_cast<char*>(buffer) + total, count - total);
        if (got < 0) {
            int readError = errno;
            if (readError == EINTR) continue;
            CFileException::ThrowOsError(readError);
        }
        if (got == 0) break;
        total += static_cast<unsigned>(got);
    }
    return total;
}

void CFile::Write(const void* buffer, unsigned count) {
    unsigned total = 0;
    while (total < count) {
        ssize_t put = ::write(Fd(m_handle), static_cast<const char*>(buffer) + total, count - total);
        if (put < 0) {
            int writeError = errno;
            if (writeError == EINTR) continue;
            // Once part of the data is stored, the failure means the data did not fit.
            if (total > 0) throw CFileException(CFileException::diskFull, writeError, m_strFileName);
            CFileException::ThrowOsError(writeError, m_strFileName);
        }
        if (put == 0) throw CFileException(CFileException::diskFull, ENOSPC, m_strFileName);
        total += static_cast<unsigned>(put);
    }
}

std::uint64_t CFile::GetLength() const {
    struct stat st;
    if (fstat(Fd(m_handle), &st) != 0) {
        int statError = errno;
        CFileException::ThrowOsError(statError);
    }
    return static_cast<std::uint64_t>(st.st_size);
}

std::uint64_t CFile::Seek(std::int64_t offset, SeekPosition from) {
    int whence = from == begin ? SEEK_SET : from == current ? SEEK_CUR : SEEK_END;
    off_t position = ::lseek(Fd(m_handle), static_cast<off_t>(offset), whence);
    if (position < 0) {
        int seekError = errno;
        if (seekError == EINVAL) throw CFileException(CFileException::badSeek, seekError);
        CFileException::ThrowOsError(seekError);
    }
    return static_cast<std::uint64_t>(position);
}

void CFile::SetLength(std::uint64_t length) {
    int result;
    do {
        result = ::ftruncate(Fd(m_handle), static_cast<off_t>(length));
    } while (result != 0 && errno == EINTR);
    if (result != 0) {
        int truncateError = errno;
        CFileException::ThrowOsError(truncateError, m_strFileName);
    }
}

void CFile::Flush() {
    if (::fsync(Fd(m_handle)) != 0) {
        int syncError = errno;
        CFileException::ThrowOsError(syncError, m_strFileName);
    }
}

void CFile::Close() {
    if (m_handle == kClosed) return;
    int fd = Fd(m_handle);
    m_handle = kClosed;
    m_strFileName.clear();
    // On Linux the descriptor is released even when close reports EINTR: never retry.
    if (::close(fd) != 0) {
        int closeError = errno;
        if (closeError != EINTR) CFileException::ThrowOsError(closeError);
    }
}

void CFile::Abort() {
    if (m_handle != kClosed) ::close(Fd(m_handle));
    m_handle = kClosed;
    m_strFileName.clear();
}

bool CFile::TryRemove(const std::string& path) { return ::unlink(path.c_str()) == 0; }

bool CFile::TryReplace(const std::string& from, const std::string& to, long* osError) {
    if (::rename(from.c_str(), to.c_str()) == 0) {
        if (osError) *osError = 0;
        return true;
    }
    int renameError = errno;
    if (osError) *osError = renameError;
    return false;
}
