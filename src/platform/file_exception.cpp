#include "platform/file_exception.h"

#include <utility>

#include "platform/path.h"

namespace {

// Operator texts of the file-error causes, UTF-8; %1 stands for the file name.
const char* const kCauseTexts[] = {
    /* none             */ "在对 %1 进行访问时发生了一个不明错误。",
    /* generic          */ "在对 %1 进行访问时发生了一个不明错误。",
    /* fileNotFound     */ "没有找到 %1。",
    /* badPath          */ "%1 中包含无效的路径。",
    /* tooManyOpenFiles */ "无法打开 %1 因为太多文件已被打开。",
    /* accessDenied     */ "对 %1 的存取被拒绝。",
    /* invalidFile      */ "一个无效的文件柄与 %1 相关联。",
    /* removeCurrentDir */ "无法删除 %1 因为它是当前目录。",
    /* directoryFull    */ "该目录已满，无法创建 %1。",
    /* badSeek          */ "对 %1 进行查找失败。",
    /* hardIO           */ "在存取 %1 时一个硬件输入/输出错误被报告。",
    /* sharingViolation */ "在存取 %1 时发生共享违例。",
    /* lockViolation    */ "在存取 %1 时发生锁违例。",
    /* diskFull         */ "在存取 %1 时磁盘已满。",
    /* endOfFile        */ "试图越过其尾端对 %1 进行读写。",
};
static_assert(sizeof kCauseTexts / sizeof kCauseTexts[0] == CFileException::endOfFile + 1,
              "one text per cause");

const char kUnnamedFile[] = "一未命名文件";

}  // namespace

CFileException::CFileException(Cause cause, long osError, std::string fileName)
    : m_cause(cause), m_lOsError(osError), m_strFileName(std::move(fileName)) {}

const char* CFileException::CauseText(Cause cause) {
    if (cause < none || cause > endOfFile) cause = generic;
    return kCauseTexts[cause];
}

std::string CFileException::GetErrorMessage() const {
    return FormatFileMessage(CauseText(m_cause), m_strFileName);
}

const char* CFileException::what() const noexcept {
    try {
        m_what = GetErrorMessage();
    } catch (...) {
        return CauseText(m_cause);
    }
    return m_what.c_str();
}

void CFileException::ThrowOsError(long osError, const std::string& fileName) {
    throw CFileException(OsErrorToCause(osError), osError, fileName);
}

std::string FormatFileMessage(const char* utf8Template, const std::string& ansiFileName) {
    const std::string name = ansiFileName.empty() ? std::string(kUnnamedFile)
                                                  : hhx::AnsiToUtf8(ansiFileName);
    std::string text = utf8Template ? utf8Template : "";
    for (std::string::size_type at = text.find("%1"); at != std::string::npos;
         at = text.find("%1", at + name.size())) {
        text.replace(at, 2, name);
    }
    return text;
}
