#include <cerrno>

#include "platform/file_exception.h"

// errno values mapped to the nearest file-error cause.
CFileException::Cause CFileException::OsErrorToCause(long osError) {
    switch (osError) {
    case 0:
        return none;
    case ENOENT:
        return fileNotFound;
    case ENOTDIR:
    case ENAMETOOLONG:
    case ELOOP:
        return badPath;
    case EMFILE:
    case ENFILE:
        return tooManyOpenFiles;
    case EACCES:
    case EPERM:
    case EROFS:
    case EISDIR:  // Win32 refuses to open a directory as a file with access denied
        return accessDenied;
    case EBADF:
        return invalidFile;
    case EBUSY:
    case ENOTEMPTY:
        return removeCurrentDir;
    case ENOSPC:
    case EDQUOT:
    case EFBIG:
        return diskFull;
    case ESPIPE:
        return badSeek;
    case EIO:
        return hardIO;
    case ETXTBSY:
        return sharingViolation;
    case EDEADLK:
    case ENOLCK:
        return lockViolation;
    default:
        return generic;
    }
}
