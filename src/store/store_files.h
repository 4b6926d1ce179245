// The store's named mutex "Global\KovaltKeyValueDB", which serialises every
// file access of every store in every process; the files themselves go
// through common/shared_file.h. Windows adapter: store_mutex_win.cpp. No
// Windows header here, so the store itself stays plain C++.
#pragma once
#include <cstdint>

#include "common/shared_file.h"

namespace pintle {

class StoreMutex {
public:
    StoreMutex() = default;
    ~StoreMutex();
    StoreMutex(const StoreMutex&) = delete;
    StoreMutex& operator=(const StoreMutex&) = delete;

    // Creates or opens the mutex (not owned); false with the system error
    // code. Keeps an open handle when called again.
    bool Create(uint32_t* error);
    bool IsOpen() const { return handle_ != nullptr; }
    void Close();

    // Owns the mutex for one scope. Without a mutex it does nothing. A wait
    // that returns because the last owner died without releasing counts as
    // acquired; the mutex is released on leaving the scope as usual.
    class Hold {
    public:
        explicit Hold(StoreMutex& mutex);
        ~Hold();
        Hold(const Hold&) = delete;
        Hold& operator=(const Hold&) = delete;
        bool Acquired() const { return acquired_; }

    private:
        void* handle_;
        bool acquired_ = false;
    };

private:
    void* handle_ = nullptr;
};

}  // namespace pintle
