// Small helpers shared by the unit tests: a temporary folder removed with its contents, and
// whole-file byte access. Paths are bytes in the ANSI code page with the system's separator.
#pragma once

#include <string>

namespace hhx::test {

// A fresh, uniquely named folder under the system's temporary folder; removed with
// everything in it when the object goes away.
class TempDir {
public:
    TempDir();
    ~TempDir();
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;

    // The folder's path, ending with a separator.
    const std::string& path() const { return m_path; }
    // path() + name.
    std::string file(const std::string& name) const { return m_path + name; }

private:
    std::string m_path;
};

// Creates or replaces the file with exactly these bytes; fails the test on error.
void WriteBytes(const std::string& path, const std::string& bytes);
// The whole file's bytes; fails the test (and returns "") when it cannot be read.
std::string ReadBytes(const std::string& path);
bool FileExists(const std::string& path);
// Creates a folder; fails the test on error.
void MakeDir(const std::string& path);

}  // namespace hhx::test

using hhx::test::FileExists;
using hhx::test::MakeDir;
using hhx::test::ReadBytes;
using hhx::test::TempDir;
using hhx::test::WriteBytes;
