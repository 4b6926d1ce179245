// One writer per block file at a time. Every read-edit-replace of a block
// file holds the file's named mutex, "Local\PintleBlock-" and 16 hex digits
// of the FNV-1a-64 hash of its full path in upper case (UTF-16LE bytes), so
// the threads of one terminal and every terminal of the session take turns.
// The wait is bounded: a file held longer is not edited. Windows adapter:
// block_files_win.cpp; the native build has a process-local one.
#pragma once
#include <cstdint>
#include <string>
#include <string_view>

namespace pintle {

inline constexpr uint32_t kBlockLockWaitMs = 2000;

// The mutex name of a key (the full path in upper case).
std::wstring BlockMutexName(std::wstring_view key);

class BlockFileLock {
public:
    enum class State {
        kHeld,      // ours until the end of the scope (also when its last owner died holding it)
        kBusy,      // another writer held it for the whole wait: do not edit
        kUnlocked,  // the mutex could not be made: the edit goes on without it
    };

    // Waits at most kBlockLockWaitMs for the block file's mutex. The mutex
    // handle is kept for the life of the library, one per path.
    explicit BlockFileLock(const std::wstring& path);
    ~BlockFileLock();
    BlockFileLock(const BlockFileLock&) = delete;
    BlockFileLock& operator=(const BlockFileLock&) = delete;

    State state() const { return state_; }
    // The system error code when the mutex could not be made.
    uint32_t error() const { return error_; }

private:
    void* handle_ = nullptr;
    State state_ = State::kUnlocked;
    uint32_t error_ = 0;
};

// Closes every kept mutex handle (tests; unload needs nothing).
void ResetBlockLocks();

}  // namespace pintle
