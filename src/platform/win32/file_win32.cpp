#include "platform/file.h"

#include <windows.h>

namespace {

const std::intptr_t kClosed = reinterpret_cast<std::intptr_t>(INVALID_HANDLE_VALUE);

HANDLE Handle(std::intptr_t handle) { return reinterpret_cast<HANDLE>(handle); }

DWORD AccessFor(unsigned flags) {
    switch (flags & 3) {
    case CFile::modeWrite:
        return GENERIC_WRITE;
    case CFile::modeReadWrite:
        return GENERIC_READ | GENERIC_WRITE;
    default:
        return GENERIC_READ;
    }
}

// What other openers of the file may still do while we hold it.
DWORD ShareFor(unsigned flags) {
    switch (flags & 0x70) {
    case CFile::shareDenyWrite:
        return FILE_SHARE_READ;
    case CFile::shareDenyRead:
        return FILE_SHARE_WRITE;
    case CFile::shareDenyNone:
        return FILE_SHARE_READ | FILE_SHARE_WRITE;
    default:  // shareExclusive, shareCompat
        return 0;
    }
}

DWORD CreationFor(unsigned flags) {
    if (!(flags & CFile::modeCreate)) return OPEN_EXISTING;
    return (flags & CFile::modeNoTruncate) ? OPEN_ALWAYS : CREATE_ALWAYS;
}

}  // namespace

CFile::CFile() : m_handle(kClosed) {}

CFile::~CFile() { Abort(); }

bool CFile::IsOpen() const { return m_handle != kClosed; }

bool CFile::Open(const std::string& path, unsigned flags, CFileException* error) {
    Abort();
    SECURITY_ATTRIBUTES security = {sizeof security, nullptr, (flags & modeNoInherit) ? FALSE : TRUE};
    HANDLE handle = CreateFileA(path.c_str(), AccessFor(flags), ShareFor(flags), &security,
                                CreationFor(flags), FILE_ATTRIBUTE_NORMAL, nullptr);
    if (handle == INVALID_HANDLE_VALUE) {
        DWORD openError = GetLastError();
        if (error) {
            *error = CFileException(CFileException::OsErrorToCause(static_cast<long>(openError)),
                                    static_cast<long>(openError), path);
        }
        return false;
    }
    m_handle = reinterpret_cast<std::intptr_t>(handle);
    m_strFileName = path;
    return true;
}

unsigned CFile::Read(void* buffer, unsigned count) {
    unsigned total = 0;
    while (total < count) {
        DWORD got = 0;
        if (!ReadFile(Handle(m_handle), static_cast<char*>(buffer) + total, count - total, &got,
                      nullptr)) {
            DWORD readError = GetLastError();
            CFileException::ThrowOsError(static_cast<long>(readError));
        }
        if (got == 0) break;
        total += got;
    }
    return total;
}

void CFile::Write(const void* buffer, unsigned count) {
    if (count == 0) return;
    DWORD put = 0;
    if (!WriteFile(Handle(m_handle), buffer, count, &put, nullptr)) {
        DWORD writeError = GetLastError();
        CFileException::ThrowOsError(static_cast<long>(writeError), m_strFileName);
    }
    // A full disk can take part of the data and still report success.
    if (put != count) throw CFileException(CFileException::diskFull, ERROR_DISK_FULL, m_strFileName);
}

std::uint64_t CFile::GetLength() const {
    LARGE_INTEGER size;
    if (!GetFileSizeEx(Handle(m_handle), &size)) {
        DWORD sizeError = GetLastError();
        CFileException::ThrowOsError(static_cast<long>(sizeError));
    }
    return static_cast<std::uint64_t>(size.QuadPart);
}

std::uint64_t CFile::Seek(std::int64_t offset, SeekPosition from) {
    const DWORD method = from == begin ? FILE_BEGIN : from == current ? FILE_CURRENT : FILE_END;
    LARGE_INTEGER distance;
    distance.QuadPart = offset;
    LARGE_INTEGER position;
    if (!SetFilePointerEx(Handle(m_handle), distance, &position, method)) {
        DWORD seekError = GetLastError();
        CFileException::ThrowOsError(static_cast<long>(seekError));
    }
    return static_cast<std::uint64_t>(position.QuadPart);
}

// SetEndOfFile works at the position, so move there and back again.
void CFile::SetLength(std::uint64_t length) {
    const HANDLE handle = Handle(m_handle);
    LARGE_INTEGER zero{};
    LARGE_INTEGER saved;
    LARGE_INTEGER target;
    target.QuadPart = static_cast<LONGLONG>(length);
    if (!SetFilePointerEx(handle, zero, &saved, FILE_CURRENT) ||
        !SetFilePointerEx(handle, target, nullptr, FILE_BEGIN) || !SetEndOfFile(handle) ||
        !SetFilePointerEx(handle, saved, nullptr, FILE_BEGIN)) {
        DWORD lengthError = GetLastError();
        CFileException::ThrowOsError(static_cast<long>(lengthError), m_strFileName);
    }
}

void CFile::Flush() {
    if (!FlushFileBuffers(Handle(m_handle))) {
        DWORD flushError = GetLastError();
        CFileException::ThrowOsError(static_cast<long>(flushError), m_strFileName);
    }
}

void CFile::Close() {
    if (m_handle == kClosed) return;
    const HANDLE handle = Handle(m_handle);
    m_handle = kClosed;
    m_strFileName.clear();
    if (!CloseHandle(handle)) {
        DWORD closeError = GetLastError();
        CFileException::ThrowOsError(static_cast<long>(closeError));
    }
}

void CFile::Abort() {
    if (m_handle != kClosed) CloseHandle(Handle(m_handle));
    m_handle = kClosed;
    m_strFileName.clear();
}

bool CFile::TryRemove(const std::string& path) { return DeleteFileA(path.c_str()) != 0; }

bool CFile::TryReplace(const std::string& from, const std::string& to, long* osError) {
    if (MoveFileExA(from.c_str(), to.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
        if (osError) *osError = 0;
        return true;
    }
    DWORD moveError = GetLastError();
    if (osError) *osError = static_cast<long>(moveError);
    return false;
}
