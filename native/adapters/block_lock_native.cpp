// The block files' lock in the native build: one process, so a timed mutex
// per path does what the named mutex does on Windows.
#include <chrono>
#include <map>
#include <memory>
#include <mutex>

#include "blocks/block_lock.h"

namespace pintle {
namespace {

std::mutex g_table_lock;
std::map<std::wstring, std::unique_ptr<std::timed_mutex>> g_locks;

}  // namespace

BlockFileLock::BlockFileLock(const std::wstring& path) {
    std::timed_mutex* mutex = nullptr;
    {
        std::lock_guard<std::mutex> hold(g_table_lock);
        auto& slot = g_locks[path];
        if (!slot) slot = std::make_unique<std::timed_mutex>();
        mutex = slot.get();
    }
    if (mutex->try_lock_for(std::chrono::milliseconds(kBlockLockWaitMs))) {
        handle_ = mutex;
        state_ = State::kHeld;
    } else {
        state_ = State::kBusy;
    }
}

BlockFileLock::~BlockFileLock() {
    if (handle_) static_cast<std::timed_mutex*>(handle_)->unlock();
}

void ResetBlockLocks() {}

}  // namespace pintle
