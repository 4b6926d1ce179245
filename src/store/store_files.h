// The store's door to the operating system: files opened by their UTF-16
// path and shared with other processes, the store's named mutex, file times
// and directories. Windows adapter (store_files_win.cpp); this header
// includes no Windows header so the store itself stays plain C++.
#pragma once
#include <cstddef>
#include <cstdint>
#include <string>
#include <utility>

namespace pintle {

// A binary file read and written at explicit offsets. Other processes may
// read and write it while it is open (read, write and delete sharing).
class StoreFile {
public:
    StoreFile() = default;
    ~StoreFile() { Close(); }
    StoreFile(StoreFile&& other) noexcept
        : handle_(std::exchange(other.handle_, nullptr)), error_(std::exchange(other.error_, 0)) {}
    StoreFile& operator=(StoreFile&& other) noexcept {
        if (this != &other) {
            Close();
            handle_ = std::exchange(other.handle_, nullptr);
            error_ = std::exchange(other.error_, 0);
        }
        return *this;
    }
    StoreFile(const StoreFile&) = delete;
    StoreFile& operator=(const StoreFile&) = delete;

    // An existing file, for reading only or for reading and writing.
    bool OpenExisting(const std::wstring& path, bool writable);
    // Creates the file, or empties an existing one, for reading and writing.
    bool Create(const std::wstring& path);
    // Creates the file for reading and writing; fails when it exists, so a
    // file that could not be opened for another reason is never emptied.
    bool CreateNew(const std::wstring& path);
    void Close();
    bool IsOpen() const { return handle_ != nullptr; }
    // The system error code of the last open, write or resize that failed
    // (0 when none has).
    uint32_t LastError() const { return error_; }

    // Reads up to `size` bytes at `offset`; gives the number read.
    std::size_t ReadAt(uint64_t offset, void* buffer, std::size_t size);
    // True only when every byte was read.
    bool ReadExactly(uint64_t offset, void* buffer, std::size_t size) { return ReadAt(offset, buffer, size) == size; }
    // True only when every byte was written. Written bytes are handed to the
    // system at once: every other process reads them from then on.
    bool WriteAt(uint64_t offset, const void* data, std::size_t size);
    // Waits until what was written is on the disk (for steps whose order
    // must survive a crash of the machine).
    bool Flush();
    // Current length; false when it cannot be read.
    bool Size(uint64_t* size);
    // Cuts (or extends) the file at `size`.
    bool Truncate(uint64_t size);
    // The whole file as bytes (empty on failure).
    std::string ReadAll();

private:
    void* handle_ = nullptr;
    uint32_t error_ = 0;
};

// The named mutex "Global\KovaltKeyValueDB" that serialises every file
// access of every store in every process.
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

// Last-write time of a file in seconds since 1970 UTC; 0 when the file is
// missing or its attributes cannot be read.
int64_t FileWriteTimeSeconds(const std::wstring& path);
// Sets a file's last-write time to the current system time (opened for
// attribute writing with read and write sharing). Readers in other
// processes see changes through this time although the writer keeps the
// file open.
bool TouchFileWriteTime(const std::wstring& path);
// Creates every missing directory of `relative_file` below `base_dir`
// (which ends with a backslash), one level at a time; the last component is
// the file and is not created.
void CreateParentDirectories(const std::wstring& base_dir, const std::wstring& relative_file);
bool FileExistsAt(const std::wstring& path);
bool DeleteFileAt(const std::wstring& path);
// Renames a file, replacing `to`, written through to the disk before it
// returns.
bool RenameFileDurably(const std::wstring& from, const std::wstring& to);
// Writes a whole new file (replacing one of that name) and flushes it.
bool WriteWholeFile(const std::wstring& path, const std::string& bytes);

}  // namespace pintle
