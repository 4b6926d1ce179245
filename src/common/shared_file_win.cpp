#include "common/shared_file.h"

#include <windows.h>

#include <algorithm>
#include <utility>

namespace pintle {
namespace {

constexpr DWORD kShareAll = FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE;
constexpr int64_t kEpochDiff = 11644473600LL;  // seconds from 1601 to 1970

HANDLE AsHandle(void* h) { return static_cast<HANDLE>(h); }

void* OpenHandle(const std::wstring& path, DWORD access, DWORD share, DWORD disposition) {
    HANDLE h = CreateFileW(path.c_str(), access, share, nullptr, disposition, FILE_ATTRIBUTE_NORMAL, nullptr);
    return h == INVALID_HANDLE_VALUE ? nullptr : h;
}

OVERLAPPED At(uint64_t offset) {
    OVERLAPPED o{};
    o.Offset = static_cast<DWORD>(offset & 0xFFFFFFFFu);
    o.OffsetHigh = static_cast<DWORD>(offset >> 32);
    return o;
}

}  // namespace

bool SharedFile::Open(const std::wstring& path, unsigned long access, unsigned long share, unsigned long disposition) {
    Close();
    handle_ = OpenHandle(path, access, share, disposition);
    if (!handle_) error_ = GetLastError();
    return IsOpen();
}

bool SharedFile::OpenExisting(const std::wstring& path, bool writable) {
    return Open(path, writable ? GENERIC_READ | GENERIC_WRITE : GENERIC_READ, kShareAll, OPEN_EXISTING);
}

bool SharedFile::Create(const std::wstring& path) {
    return Open(path, GENERIC_READ | GENERIC_WRITE, kShareAll, CREATE_ALWAYS);
}

bool SharedFile::CreatePrivate(const std::wstring& path) { return Open(path, GENERIC_WRITE, 0, CREATE_ALWAYS); }

bool SharedFile::CreateNew(const std::wstring& path) {
    return Open(path, GENERIC_READ | GENERIC_WRITE, kShareAll, CREATE_NEW);
}

void SharedFile::Close() {
    if (handle_) CloseHandle(AsHandle(std::exchange(handle_, nullptr)));
}

std::size_t SharedFile::ReadAt(uint64_t offset, void* buffer, std::size_t size) {
    if (!handle_) return 0;
    std::size_t done = 0;
    while (done < size) {
        OVERLAPPED o = At(offset + done);
        const DWORD want = static_cast<DWORD>(std::min<std::size_t>(size - done, 1u << 24));
        DWORD got = 0;
        if (!ReadFile(AsHandle(handle_), static_cast<char*>(buffer) + done, want, &got, &o)) {
            if (GetLastError() != ERROR_HANDLE_EOF) error_ = GetLastError();
            break;
        }
        if (got == 0) break;
        done += got;
    }
    return done;
}

bool SharedFile::WriteAt(uint64_t offset, const void* data, std::size_t size) {
    if (!handle_) return false;
    std::size_t done = 0;
    while (done < size) {
        OVERLAPPED o = At(offset + done);
        const DWORD want = static_cast<DWORD>(std::min<std::size_t>(size - done, 1u << 24));
        DWORD put = 0;
        if (!WriteFile(AsHandle(handle_), static_cast<const char*>(data) + done, want, &put, &o) || put == 0) {
            error_ = GetLastError();
            return false;
        }
        done += put;
    }
    return true;
}

bool SharedFile::Flush() {
    if (!handle_) return false;
    if (FlushFileBuffers(AsHandle(handle_))) return true;
    error_ = GetLastError();
    return false;
}

bool SharedFile::Size(uint64_t* size) {
    LARGE_INTEGER li{};
    if (!handle_ || !GetFileSizeEx(AsHandle(handle_), &li)) return false;
    *size = static_cast<uint64_t>(li.QuadPart);
    return true;
}

bool SharedFile::Truncate(uint64_t size) {
    if (!handle_) return false;
    FILE_END_OF_FILE_INFO info{};
    info.EndOfFile.QuadPart = static_cast<LONGLONG>(size);
    if (SetFileInformationByHandle(AsHandle(handle_), FileEndOfFileInfo, &info, sizeof info)) return true;
    error_ = GetLastError();
    return false;
}

std::string SharedFile::ReadAll() {
    uint64_t size = 0;
    if (!Size(&size) || size > (uint64_t{1} << 31)) return {};
    std::string bytes(static_cast<std::size_t>(size), '\0');
    bytes.resize(ReadAt(0, bytes.data(), bytes.size()));
    return bytes;
}

int64_t FileWriteTimeSeconds(const std::wstring& path) {
    WIN32_FILE_ATTRIBUTE_DATA data{};
    if (!GetFileAttributesExW(path.c_str(), GetFileExInfoStandard, &data)) return 0;
    const uint64_t t = (static_cast<uint64_t>(data.ftLastWriteTime.dwHighDateTime) << 32) |
                       data.ftLastWriteTime.dwLowDateTime;
    return static_cast<int64_t>(t / 10000000ULL) - kEpochDiff;
}

bool TouchFileWriteTime(const std::wstring& path) {
    HANDLE h = CreateFileW(path.c_str(), FILE_WRITE_ATTRIBUTES, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                           OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (h == INVALID_HANDLE_VALUE) return false;
    FILETIME now;
    GetSystemTimeAsFileTime(&now);
    const bool ok = SetFileTime(h, nullptr, nullptr, &now) != 0;
    CloseHandle(h);
    return ok;
}

void CreateParentDirectories(const std::wstring& base_dir, const std::wstring& relative_file) {
    for (std::size_t pos = relative_file.find(L'\\'); pos != std::wstring::npos;
         pos = relative_file.find(L'\\', pos + 1)) {
        CreateDirectoryW((base_dir + relative_file.substr(0, pos)).c_str(), nullptr);
    }
}

bool FileExistsAt(const std::wstring& path) { return GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES; }

bool DeleteFileAt(const std::wstring& path, uint32_t* error) {
    if (DeleteFileW(path.c_str())) return true;
    if (error) *error = GetLastError();
    return false;
}

bool RenameFileDurably(const std::wstring& from, const std::wstring& to, uint32_t* error) {
    if (MoveFileExW(from.c_str(), to.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) return true;
    if (error) *error = GetLastError();
    return false;
}

}  // namespace pintle
