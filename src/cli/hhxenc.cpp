// hhxenc: the command-line front end over the encryption core.
//   hhxenc encrypt FOLDER   the same run as the dialog's start button
//   hhxenc verify FOLDER    decode each ".hhx" in memory and compare it with its source
//   hhxenc --version        version and key fingerprint
// Exit status: 0 success, 1 a file error or a failed verification, 2 a usage error.

#include <exception>
#include <new>
#include <string>
#include <vector>

#include "console.h"
#include "crypt/encrypt_folder.h"
#include "crypt/key_tables.h"
#include "crypt/verify.h"
#include "platform/file_exception.h"
#include "platform/path.h"
#include "platform/texts.h"

using hhx::cli::Stream;

namespace {

constexpr int kExitOk = 0;
constexpr int kExitFailure = 1;
constexpr int kExitUsage = 2;

const char kUsage[] =
    "usage: hhxenc encrypt FOLDER   encrypt every MP3 file directly in FOLDER into .hhx files\n"
    "       hhxenc verify FOLDER    decode each .hhx in memory and compare it with its source\n"
    "       hhxenc --version        show the version and the key fingerprint\n";


std::string Display(const std::string& ansiPath) { return hhx::AnsiToUtf8(ansiPath); }

std::string FileNameOf(const std::string& path) {
    const std::string::size_type at = hhx::FindLastSeparator(path);
    return at == std::string::npos ? path : path.substr(at + 1);
}

// Cuts UTF-8 text to fit the columns; wide (East Asian) characters count as two.
std::string FitToColumns(const std::string& utf8, int columns) {
    int used = 0;
    std::string::size_type i = 0;
    while (i < utf8.size()) {
        const unsigned char lead = static_cast<unsigned char>(utf8[i]);
        std::string::size_type length = lead < 0x80 ? 1 : lead >= 0xF0 ? 4 : lead >= 0xE0 ? 3 : lead >= 0xC0 ? 2 : 1;
        const int width = lead >= 0xE1 ? 2 : 1;  // U+1000 and above: treat as wide
        if (used + width > columns) break;
        used += width;
        i += length;
    }
    return utf8.substr(0, i);
}

// Progress on stderr: a live counter on a terminal, one line per source otherwise.
class ProgressReport {
public:
    ProgressReport() : m_live(hhx::cli::IsTerminal(Stream::err)) {}

    void Source(const std::string& sourcePath) {
        ++m_seen;
        if (!m_live) {
            hhx::cli::Write(Stream::err, Display(sourcePath) + "\n");
            return;
        }
        const std::string line = "[" + std::to_string(m_seen) + "] " + Display(FileNameOf(sourcePath));
        hhx::cli::RewriteLine(Stream::err, FitToColumns(line, hhx::cli::TerminalColumns(Stream::err) - 1));
        m_lineOpen = true;
    }

    // Ends the live line so that later text starts on a line of its own.
    void Finish() {
        if (m_lineOpen) hhx::cli::Write(Stream::err, "\n");
        m_lineOpen = false;
    }

    int seen() const { return m_seen; }

private:
    bool m_live;
    bool m_lineOpen = false;
    int m_seen = 0;
};

int RunEncrypt(const std::string& folder) {
    ProgressReport progress;
    int count;
    try {
        count = EncryptFolder(folder, [&progress](const std::string& path) { progress.Source(path); });
    } catch (...) {
        progress.Finish();
        throw;
    }
    progress.Finish();
    if (progress.seen() > count) {
        hhx::cli::Write(Stream::err, "hhxenc: " + std::to_string(progress.seen() - count) +
                                         " of " + std::to_string(progress.seen()) +
                                         " sources skipped (source or output could not be opened, "
                                         "or another source took the same output name)\n");
    }
    hhx::cli::Write(Stream::out, hhx::CompletionText(count) + "\n");
    return kExitOk;
}

std::string Describe(const hhx::VerifiedFile& file) {
    const hhx::VerifyResult& r = file.result;
    switch (r.status) {
    case hhx::VerifyStatus::match:
        return "ok: " + Display(file.outputPath);
    case hhx::VerifyStatus::missing:
        return "missing: " + Display(file.outputPath);
    case hhx::VerifyStatus::wrongSize:
        return "wrong size: " + Display(file.outputPath) + " (" + std::to_string(r.outputLength) +
               " bytes, expected " + std::to_string(r.expectedLength) + ")";
    case hhx::VerifyStatus::badHeader:
        return "bad header: " + Display(file.outputPath) + " (not written with this key)";
    case hhx::VerifyStatus::mismatch:
        return "not matching: " + Display(file.outputPath) + " (first difference at source byte " +
               std::to_string(r.firstDifference) + ")";
    case hhx::VerifyStatus::sourceUnreadable:
        return "source unreadable: " + Display(file.sourcePath) + " (" + r.error + ")";
    case hhx::VerifyStatus::outputUnreadable:
        return "output unreadable: " + Display(file.outputPath) + " (" + r.error + ")";
    case hhx::VerifyStatus::duplicateOutput:
        return "not encrypted: " + Display(file.sourcePath) + " (an earlier source took " +
               Display(FileNameOf(file.outputPath)) + ")";
    }
    return "unknown result: " + Display(file.outputPath);
}

int RunVerify(const std::string& folder) {
    int checked = 0;
    const int failures = hhx::VerifyFolder(folder, [&checked](const hhx::VerifiedFile& file) {
        ++checked;
        if (file.result.status != hhx::VerifyStatus::match)
            hhx::cli::Write(Stream::out, Describe(file) + "\n");
    });
    hhx::cli::Write(Stream::out, std::to_string(checked) + " sources checked, " +
                                     std::to_string(checked - failures) + " match, " +
                                     std::to_string(failures) + " with problems\n");
    return failures == 0 ? kExitOk : kExitFailure;
}

int UsageError(const std::string& problem) {
    hhx::cli::Write(Stream::err, "hhxenc: " + problem + "\n" + kUsage);
    return kExitUsage;
}

int Run(const std::vector<std::string>& args) {
    if (args.size() == 1 && (args[0] == "--version" || args[0] == "-V")) {
        hhx::cli::Write(Stream::out, std::string("hhxenc ") + HHX_VERSION + " (key fingerprint " +
                                         hhx::kKeyFingerprint + ")\n");
        return kExitOk;
    }
    if (args.size() == 1 && (args[0] == "--help" || args[0] == "-h")) {
        hhx::cli::Write(Stream::out, kUsage);
        return kExitOk;
    }
    if (args.empty()) return UsageError("no command given");
    const std::string& command = args[0];
    if (command != "encrypt" && command != "verify") return UsageError("unknown command '" + command + "'");
    if (args.size() != 2) return UsageError(command + " takes exactly one FOLDER");
    // An empty folder would become the root folder once the separator is added.
    if (args[1].empty()) return UsageError("FOLDER is empty");
    return command == "encrypt" ? RunEncrypt(args[1]) : RunVerify(args[1]);
}

}  // namespace

int main(int argc, char** argv) {
    // Arguments are bytes in the ANSI code page, as the file layer takes paths.
    std::vector<std::string> args(argv + 1, argv + argc);
    try {
        return Run(args);
    } catch (const CFileException& error) {
        hhx::cli::Write(Stream::err, error.GetErrorMessage() + "\n");
    } catch (const std::bad_alloc&) {
        hhx::cli::Write(Stream::err, std::string(hhx::texts::kOutOfMemory) + "\n");
    } catch (const std::exception& error) {
        hhx::cli::Write(Stream::err, std::string("hhxenc: ") + error.what() + "\n");
    }
    return kExitFailure;
}
