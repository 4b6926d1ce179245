// Fresh directories and whole-file helpers for tests that run under Wine.
#pragma once
#include <string>

namespace pintle::test {

// A new empty directory under the build tree (build\testrun\...), so that a
// failing test leaves its files behind to look at.
class TempDir {
public:
    explicit TempDir(const std::wstring& hint);
    const std::wstring& path() const { return path_; }
    std::wstring File(const std::wstring& name) const { return path_ + L"\\" + name; }

private:
    std::wstring path_;
};

std::string ReadFileBytes(const std::wstring& path);
bool WriteFileBytes(const std::wstring& path, const std::string& bytes);
bool FileExists(const std::wstring& path);
// The block folders of both terminals under a terminal directory:
// USERDATA\block (DZH-style) and T0002\blocknew (TDX).
void MakeBlockDirectories(const std::wstring& terminal_dir);
std::wstring BuildFile(const std::wstring& name);  // a file in the build directory

}  // namespace pintle::test
