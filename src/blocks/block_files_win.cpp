// The Windows side of the block lists: where a block's file is (Pintle.ini,
// vizuru.ini, the terminal directory) and the named mutex each block file is
// edited under. The edits themselves are in block_edits.cpp.
#include <windows.h>

#include <map>

#include "blocks/block_lock.h"
#include "blocks/blocks.h"
#include "common/ini_file.h"
#include "common/paths.h"
#include "common/win.h"

namespace pintle {
namespace {

std::wstring BlockName(int32_t number, const wchar_t* default_base) {
    const std::wstring key = std::to_wstring(number);
    std::wstring name = ReadIniText(SettingsFilePath(), L"板块名", key.c_str(), 255);
    if (name.empty()) name = ReadIniText(TerminalDirectory() + L"vizuru.ini", L"板块名", key.c_str(), 255);
    if (name.empty()) name = number == 0 ? std::wstring(default_base) : default_base + key;
    return name;
}

// The mutex handles of the block files edited so far, by key, kept until
// the library unloads. The table has its own lock: the block functions run
// without the call lock, and a mutex wait never happens under this lock.
struct BlockLocks {
    CriticalSection lock;
    std::map<std::wstring, UniqueHandle> mutexes;
};
BlockLocks g_block_locks;

// The full path in upper case: one file, one key, however a path names it.
std::wstring LockKey(const std::wstring& path) {
    std::wstring full(MAX_PATH, L'\0');
    DWORD n = GetFullPathNameW(path.c_str(), static_cast<DWORD>(full.size()), full.data(), nullptr);
    if (n >= full.size()) {
        full.resize(n);
        n = GetFullPathNameW(path.c_str(), static_cast<DWORD>(full.size()), full.data(), nullptr);
    }
    full.resize(n > 0 && n < full.size() ? n : 0);
    if (full.empty()) full = path;
    CharUpperBuffW(full.data(), static_cast<DWORD>(full.size()));
    return full;
}

HANDLE MutexFor(const std::wstring& path, uint32_t* error) {
    const std::wstring key = LockKey(path);
    ScopedLock hold(g_block_locks.lock);
    auto& slot = g_block_locks.mutexes[key];
    if (!slot) {
        slot.reset(CreateMutexW(nullptr, FALSE, BlockMutexName(key).c_str()));
        if (!slot) {
            *error = GetLastError();
            g_block_locks.mutexes.erase(key);
            return nullptr;
        }
    }
    return slot.get();
}

}  // namespace

BlockFileLock::BlockFileLock(const std::wstring& path) {
    HANDLE mutex = MutexFor(path, &error_);
    if (!mutex) return;  // kUnlocked
    const DWORD r = WaitForSingleObject(mutex, kBlockLockWaitMs);
    if (r == WAIT_OBJECT_0 || r == WAIT_ABANDONED) {  // a writer that died holding it left the file as it was
        handle_ = mutex;
        state_ = State::kHeld;
    } else if (r == WAIT_TIMEOUT) {
        state_ = State::kBusy;
    } else {
        error_ = GetLastError();
    }
}

BlockFileLock::~BlockFileLock() {
    if (handle_) ReleaseMutex(static_cast<HANDLE>(handle_));
}

void ResetBlockLocks() {
    ScopedLock hold(g_block_locks.lock);
    g_block_locks.mutexes.clear();
}

std::wstring DzhBlockPath(int32_t number) {
    return TerminalDirectory() + L"USERDATA\\block\\" + BlockName(number, L"自选股") + L".BLK";
}

std::wstring TdxBlockPath(int32_t number) {
    return TerminalDirectory() + L"T0002\\blocknew\\" + BlockName(number, L"ZXG") + L".blk";
}

}  // namespace pintle
