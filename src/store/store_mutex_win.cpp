#include <windows.h>

#include <utility>

#include "store/store_files.h"

namespace pintle {
namespace {

constexpr wchar_t kStoreMutexName[] = L"Global\\KovaltKeyValueDB";

HANDLE AsHandle(void* h) { return static_cast<HANDLE>(h); }

}  // namespace

StoreMutex::~StoreMutex() { Close(); }

bool StoreMutex::Create(uint32_t* error) {
    if (handle_) return true;
    handle_ = CreateMutexW(nullptr, FALSE, kStoreMutexName);
    if (!handle_ && error) *error = GetLastError();
    return handle_ != nullptr;
}

void StoreMutex::Close() {
    if (handle_) CloseHandle(AsHandle(std::exchange(handle_, nullptr)));
}

StoreMutex::Hold::Hold(StoreMutex& mutex) : handle_(mutex.handle_) {
    if (!handle_) return;
    const DWORD r = WaitForSingleObject(AsHandle(handle_), INFINITE);
    acquired_ = r == WAIT_OBJECT_0 || r == WAIT_ABANDONED;
}

StoreMutex::Hold::~Hold() {
    if (acquired_) ReleaseMutex(AsHandle(handle_));
}

}  // namespace pintle
