#include "support/temp_dir.h"

#include <windows.h>

#include <atomic>

#include "common/win.h"

namespace pintle::test {
namespace {
std::atomic<int> g_counter{0};
}

TempDir::TempDir(const std::wstring& hint) {
    const std::wstring root = std::wstring(PINTLE_BUILD_DIR_WIN) + L"\\testrun";
    CreateDirectoryW(root.c_str(), nullptr);
    for (;;) {
        path_ = root + L"\\" + hint + L"-" + std::to_wstring(GetCurrentProcessId()) + L"-" +
                std::to_wstring(GetTickCount()) + L"-" + std::to_wstring(++g_counter);
        if (CreateDirectoryW(path_.c_str(), nullptr)) break;
        if (GetLastError() != ERROR_ALREADY_EXISTS) break;
    }
}

// Both shared with writers that still have the file open.
std::string ReadFileBytes(const std::wstring& path) {
    UniqueHandle h(CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                               nullptr, OPEN_EXISTING, 0, nullptr));
    std::string bytes;
    char buf[65536];
    DWORD n = 0;
    while (h && ReadFile(h.get(), buf, sizeof buf, &n, nullptr) && n > 0) bytes.append(buf, n);
    return bytes;
}

bool WriteFileBytes(const std::wstring& path, const std::string& bytes) {
    UniqueHandle h(CreateFileW(path.c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                               nullptr, CREATE_ALWAYS, 0, nullptr));
    DWORD n = 0;
    return h && WriteFile(h.get(), bytes.data(), static_cast<DWORD>(bytes.size()), &n, nullptr) && n == bytes.size();
}

bool FileExists(const std::wstring& path) { return GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES; }

void MakeBlockDirectories(const std::wstring& terminal_dir) {
    for (const wchar_t* d : {L"USERDATA", L"USERDATA\\block", L"T0002", L"T0002\\blocknew"})
        CreateDirectoryW((terminal_dir + L"\\" + d).c_str(), nullptr);
}

std::wstring BuildFile(const std::wstring& name) { return std::wstring(PINTLE_BUILD_DIR_WIN) + L"\\" + name; }

}  // namespace pintle::test
