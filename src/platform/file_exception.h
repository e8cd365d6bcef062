// File errors: a cause, the system error code behind it and, where the failing operation
// knows it, the file's full path (bytes in the ANSI code page).
#pragma once

#include <exception>
#include <string>

class CFileException : public std::exception {
public:
    enum Cause {
        none,
        generic,
        fileNotFound,
        badPath,
        tooManyOpenFiles,
        accessDenied,
        invalidFile,
        removeCurrentDir,
        directoryFull,
        badSeek,
        hardIO,
        sharingViolation,
        lockViolation,
        diskFull,
        endOfFile,
    };

    CFileException(Cause cause = none, long osError = -1, std::string fileName = {});

    // The cause's text as the operator sees it, UTF-8, with %1 replaced by the file name
    // (converted from the ANSI code page) or by the unnamed-file text.
    std::string GetErrorMessage() const;
    const char* what() const noexcept override;

    // The cause's message template (UTF-8, holding %1).
    static const char* CauseText(Cause cause);
    // The system's error code (Win32 error or errno) mapped to a cause.
    static Cause OsErrorToCause(long osError);
    // Raises a file error for the system error code.
    [[noreturn]] static void ThrowOsError(long osError, const std::string& fileName = {});

    Cause m_cause;
    long m_lOsError;
    std::string m_strFileName;

private:
    mutable std::string m_what;
};

// Replaces %1 in a UTF-8 template by the ANSI-coded file name, or by the unnamed-file text
// when the name is empty.
std::string FormatFileMessage(const char* utf8Template, const std::string& ansiFileName);
