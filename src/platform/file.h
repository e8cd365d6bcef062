// Binary file object. Opening reports failure as false and shows nothing; every other failing
// operation raises CFileException. One class, two backends (file_win32.cpp, file_posix.cpp).
#pragma once

#include <cstdint>
#include <string>

#include "platform/file_exception.h"

class CFile {
public:
    enum OpenFlags : unsigned {
        modeRead = 0x0000,
        modeWrite = 0x0001,
        modeReadWrite = 0x0002,
        shareCompat = 0x0000,
        shareExclusive = 0x0010,
        shareDenyWrite = 0x0020,
        shareDenyRead = 0x0030,
        shareDenyNone = 0x0040,
        modeNoInherit = 0x0080,
        modeCreate = 0x1000,
        modeNoTruncate = 0x2000,
        typeText = 0x4000,
        typeBinary = 0x8000,
    };
    enum SeekPosition { begin = 0, current = 1, end = 2 };

    CFile();
    ~CFile();  // closes an open file, ignoring errors
    CFile(const CFile&) = delete;
    CFile& operator=(const CFile&) = delete;

    // Opens or creates the file. False on failure; when error is given it receives the cause.
    bool Open(const std::string& path, unsigned flags, CFileException* error = nullptr);
    bool IsOpen() const;
    const std::string& GetFilePath() const { return m_strFileName; }

    // Reads up to count bytes; returns the number read (0 at the end). A failing read raises a
    // file error without a file name.
    unsigned Read(void* buffer, unsigned count);
    // Writes all count bytes or raises a file error naming the file; a write that stores fewer
    // bytes than asked raises diskFull.
    void Write(const void* buffer, unsigned count);
    // Length in bytes; the position is left where it was. Raises without a file name.
    std::uint64_t GetLength() const;
    // Moves the position; returns the new position. Raises without a file name.
    std::uint64_t Seek(std::int64_t offset, SeekPosition from);
    void SeekToBegin() { Seek(0, begin); }
    // Cuts or extends the file. Raises a file error naming the file.
    void SetLength(std::uint64_t length);
    // Forces written data to the disk. Raises a file error naming the file.
    void Flush();
    // Closes the file; raises a file error without a file name when the system close fails.
    void Close();
    // Closes the file if open, never raises.
    void Abort();

    // Deletes a file; false on failure (never raises).
    static bool TryRemove(const std::string& path);
    // Renames from over to, replacing an existing file in one step where the system allows.
    // False on failure (never raises); *osError receives the system code.
    static bool TryReplace(const std::string& from, const std::string& to, long* osError = nullptr);

private:
    std::intptr_t m_handle;  // HANDLE on Win32, file descriptor on POSIX; -1 when closed
    std::string m_strFileName;
};
