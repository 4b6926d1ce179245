// The plug-in's door to files it shares with other programs: the store's
// data.db and history files, the terminals' block lists. Files are opened by
// their UTF-16 path. Windows adapter: shared_file_win.cpp; the native build
// keeps its files in memory (native/adapters/files_memory.cpp), so the code
// above this header runs under the sanitizers, the fuzzers and the crash-point
// test. No Windows header here.
#pragma once
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <utility>

namespace pintle {

// A binary file read and written at explicit offsets.
class SharedFile {
public:
    SharedFile() = default;
    ~SharedFile() { Close(); }
    SharedFile(SharedFile&& other) noexcept
        : handle_(std::exchange(other.handle_, nullptr)), error_(std::exchange(other.error_, 0)) {}
    SharedFile& operator=(SharedFile&& other) noexcept {
        if (this != &other) {
            Close();
            handle_ = std::exchange(other.handle_, nullptr);
            error_ = std::exchange(other.error_, 0);
        }
        return *this;
    }
    SharedFile(const SharedFile&) = delete;
    SharedFile& operator=(const SharedFile&) = delete;

    // An existing file, for reading only or for reading and writing. Other
    // programs may read, write, rename and delete it while it is open.
    bool OpenExisting(const std::wstring& path, bool writable);
    // Creates the file, or empties an existing one, for reading and writing
    // (shared as above).
    bool Create(const std::wstring& path);
    // Creates the file for reading and writing; fails when it exists, so a
    // file that could not be opened for another reason is never emptied.
    bool CreateNew(const std::wstring& path);
    // Creates the file, or empties an existing one, for writing, shared with
    // nobody while it is open: a second writer of the same name fails
    // instead of mixing its bytes into ours.
    bool CreatePrivate(const std::wstring& path);
    void Close();
    bool IsOpen() const { return handle_ != nullptr; }
    // The system error code of the last open, read, write or resize that
    // failed (0 when none has, or since ClearLastError).
    uint32_t LastError() const { return error_; }
    void ClearLastError() { error_ = 0; }

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
    // The Windows adapter's one way to a handle (CreateFileW's access, share
    // mode and disposition); the native adapter does without it.
    bool Open(const std::wstring& path, unsigned long access, unsigned long share, unsigned long disposition);

    void* handle_ = nullptr;
    uint32_t error_ = 0;
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
// Deletes a file; false with the system error code (2 when there was none).
bool DeleteFileAt(const std::wstring& path, uint32_t* error = nullptr);
// Renames a file, replacing `to`, written through to the disk before it
// returns; false with the system error code.
bool RenameFileDurably(const std::wstring& from, const std::wstring& to, uint32_t* error = nullptr);
// Writes a whole new file (replacing one of that name) and flushes it.
inline bool WriteWholeFile(const std::wstring& path, std::string_view bytes) {
    SharedFile file;
    return file.Create(path) && file.WriteAt(0, bytes.data(), bytes.size()) && file.Flush();
}

}  // namespace pintle
