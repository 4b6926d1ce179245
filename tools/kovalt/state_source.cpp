#include "state_source.h"

#include <cstdio>

#include "common/win.h"

namespace kovalt {
namespace {

// The whole file, shared with an editor or test that may be writing it.
std::optional<std::string> ReadAll(const std::wstring& path) {
    pintle::UniqueHandle file(CreateFileW(path.c_str(), GENERIC_READ,
                                          FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                          OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file) return std::nullopt;
    std::string bytes;
    char buffer[16384];
    DWORD got = 0;
    while (ReadFile(file.get(), buffer, sizeof buffer, &got, nullptr) && got > 0) bytes.append(buffer, got);
    return bytes;
}

}  // namespace

std::optional<StateTables> StateSource::Check(bool force) {
    if (!Enabled()) return std::nullopt;
    std::optional<std::string> bytes = ReadAll(path_);
    if (!bytes) {
        if (force || last_bytes_) std::fwprintf(stderr, L"state file %ls cannot be read (%lu)\n", path_.c_str(), GetLastError());
        last_bytes_.reset();
        return std::nullopt;
    }
    if (!force && last_bytes_ == bytes) return std::nullopt;
    last_bytes_ = std::move(bytes);
    StateParse parsed = ParseStateFile(*last_bytes_);
    if (!parsed.tables) {
        std::fwprintf(stderr, L"state file %ls, %hs; the last good state stays\n", path_.c_str(), parsed.error.c_str());
        std::fflush(stderr);
    }
    return std::move(parsed.tables);
}

}  // namespace kovalt
