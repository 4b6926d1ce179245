#include <mutex>

#include <windows.h>
#include <shlwapi.h>

#include "common/paths.h"

namespace pintle {
namespace {

std::mutex g_override_mutex;
std::wstring g_override_dir;

std::wstring ModulePath() {
    wchar_t buf[MAX_PATH] = {};
    const DWORD n = GetModuleFileNameW(nullptr, buf, MAX_PATH);
    if (n == 0 || n >= MAX_PATH) return {};
    return std::wstring(buf, n);
}

}  // namespace

std::wstring TerminalDirectory() {
    {
        std::lock_guard<std::mutex> lock(g_override_mutex);
        if (!g_override_dir.empty()) return g_override_dir;
    }
    return DirectoryPart(ModulePath());
}

std::wstring TerminalExecutableName() { return FileNamePart(ModulePath()); }

bool PathExists(const std::wstring& path) { return PathFileExistsW(path.c_str()) != FALSE; }

bool CreateOneDirectory(const std::wstring& path) { return CreateDirectoryW(path.c_str(), nullptr) != FALSE; }

void SetTerminalDirectoryForTesting(const std::wstring& dir) {
    std::lock_guard<std::mutex> lock(g_override_mutex);
    g_override_dir = dir;
    if (!g_override_dir.empty() && g_override_dir.back() != L'\\') g_override_dir += L'\\';
}

}  // namespace pintle
