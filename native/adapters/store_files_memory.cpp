// The store's file adapter for the native build, over the in-memory files of
// memory_files.h. File times are the clock's seconds at the last write.
// Opened files stay readable after their name is deleted or replaced, as
// with the delete sharing the Windows adapter asks for.
#include <algorithm>
#include <map>
#include <memory>
#include <mutex>
#include <utility>

#include "common/clock.h"
#include "memory_files.h"
#include "store/store_files.h"

namespace pintle {
namespace {

// The Windows error codes the adapter on Windows would report.
constexpr uint32_t kFileNotFound = 2;
constexpr uint32_t kAccessDenied = 5;
constexpr uint32_t kWriteFault = 29;
constexpr uint32_t kFileExists = 80;
constexpr uint32_t kDiskFull = 112;

struct MemoryFile {
    std::string bytes;
    int64_t write_time = 0;
    bool read_only = false;
};

struct Handle {
    std::shared_ptr<MemoryFile> file;
    bool writable = false;
};

struct Disk {
    std::recursive_mutex lock;
    std::map<std::wstring, std::shared_ptr<MemoryFile>> files;
    int64_t capacity = -1;
    int64_t writes_left = -1;

    uint64_t Used() const {
        uint64_t used = 0;
        for (const auto& [name, file] : files) used += file->bytes.size();
        return used;
    }
    // How many more bytes the disk takes; false when writes fail outright.
    bool Room(uint64_t* room, uint32_t* error) {
        if (writes_left == 0) {
            *error = kWriteFault;
            return false;
        }
        const uint64_t used = Used();
        *room = capacity < 0 ? UINT64_MAX : (static_cast<uint64_t>(capacity) > used ? capacity - used : 0);
        return true;
    }
    void CountWrite() {
        if (writes_left > 0) --writes_left;
    }
};

Disk& TheDisk() {
    static Disk disk;
    return disk;
}

Handle* AsHandle(void* h) { return static_cast<Handle*>(h); }


std::shared_ptr<MemoryFile> Find(const std::wstring& path) {
    auto& files = TheDisk().files;
    const auto it = files.find(path);
    return it == files.end() ? nullptr : it->second;
}

// Grows or shrinks a file to `size`; growth takes what the disk has left.
bool Resize(MemoryFile& file, uint64_t size, uint32_t* error) {
    Disk& disk = TheDisk();
    uint64_t room = 0;
    if (!disk.Room(&room, error)) return false;
    const uint64_t old = file.bytes.size();
    if (size > old && size - old > room) {
        file.bytes.resize(old + room, '\0');
        *error = kDiskFull;
        return false;
    }
    file.bytes.resize(size, '\0');
    file.write_time = NowSeconds();
    disk.CountWrite();
    return true;
}

}  // namespace

namespace native {

void PutFile(const std::wstring& path, std::string bytes) {
    std::lock_guard<std::recursive_mutex> hold(TheDisk().lock);
    auto file = std::make_shared<MemoryFile>();
    file->bytes = std::move(bytes);
    file->write_time = NowSeconds();
    TheDisk().files[path] = std::move(file);
}

std::optional<std::string> FileBytes(const std::wstring& path) {
    std::lock_guard<std::recursive_mutex> hold(TheDisk().lock);
    const auto file = Find(path);
    if (!file) return std::nullopt;
    return file->bytes;
}

std::vector<std::wstring> FileNames() {
    std::lock_guard<std::recursive_mutex> hold(TheDisk().lock);
    std::vector<std::wstring> names;
    for (const auto& [name, file] : TheDisk().files) names.push_back(name);
    return names;
}

void RemoveAllFiles() {
    std::lock_guard<std::recursive_mutex> hold(TheDisk().lock);
    TheDisk().files.clear();
    TheDisk().capacity = -1;
    TheDisk().writes_left = -1;
}

void SetDiskCapacity(int64_t bytes) {
    std::lock_guard<std::recursive_mutex> hold(TheDisk().lock);
    TheDisk().capacity = bytes;
}

void FailWritesAfter(int64_t writes) {
    std::lock_guard<std::recursive_mutex> hold(TheDisk().lock);
    TheDisk().writes_left = writes;
}

void SetReadOnly(const std::wstring& path, bool read_only) {
    std::lock_guard<std::recursive_mutex> hold(TheDisk().lock);
    if (const auto file = Find(path)) file->read_only = read_only;
}

}  // namespace native

bool StoreFile::OpenExisting(const std::wstring& path, bool writable) {
    Close();
    std::lock_guard<std::recursive_mutex> hold(TheDisk().lock);
    auto file = Find(path);
    if (!file || (writable && file->read_only)) {
        error_ = file ? kAccessDenied : kFileNotFound;
        return false;
    }
    handle_ = new Handle{std::move(file), writable};
    return true;
}

bool StoreFile::CreateNew(const std::wstring& path) {
    {
        std::lock_guard<std::recursive_mutex> hold(TheDisk().lock);
        if (Find(path)) {
            Close();
            error_ = kFileExists;
            return false;
        }
    }
    return Create(path);
}

bool StoreFile::Create(const std::wstring& path) {
    Close();
    std::lock_guard<std::recursive_mutex> hold(TheDisk().lock);
    Disk& disk = TheDisk();
    auto file = Find(path);
    if (file && file->read_only) {
        error_ = kAccessDenied;
        return false;
    }
    uint64_t room = 0;
    if (!disk.Room(&room, &error_)) return false;
    if (file) {
        file->bytes.clear();
    } else {
        file = std::make_shared<MemoryFile>();
        disk.files[path] = file;
    }
    file->write_time = NowSeconds();
    disk.CountWrite();
    handle_ = new Handle{std::move(file), true};
    return true;
}

void StoreFile::Close() {
    delete AsHandle(std::exchange(handle_, nullptr));
}

std::size_t StoreFile::ReadAt(uint64_t offset, void* buffer, std::size_t size) {
    if (!handle_) return 0;
    std::lock_guard<std::recursive_mutex> hold(TheDisk().lock);
    const std::string& bytes = AsHandle(handle_)->file->bytes;
    if (offset >= bytes.size()) return 0;
    const std::size_t n = std::min<uint64_t>(size, bytes.size() - offset);
    std::copy_n(bytes.data() + offset, n, static_cast<char*>(buffer));
    return n;
}

bool StoreFile::WriteAt(uint64_t offset, const void* data, std::size_t size) {
    if (!handle_ || !AsHandle(handle_)->writable) {
        error_ = kAccessDenied;
        return false;
    }
    std::lock_guard<std::recursive_mutex> hold(TheDisk().lock);
    MemoryFile& file = *AsHandle(handle_)->file;
    uint64_t room = 0;
    if (!TheDisk().Room(&room, &error_)) return false;
    const uint64_t end = offset + size;
    std::size_t fits = size;
    if (end > file.bytes.size() && end - file.bytes.size() > room) {
        // A full disk: what fits is written, the rest is not.
        error_ = kDiskFull;
        const uint64_t last = file.bytes.size() + room;
        if (last <= offset) return false;
        fits = static_cast<std::size_t>(last - offset);
    }
    if (offset + fits > file.bytes.size()) file.bytes.resize(offset + fits, '\0');
    std::copy_n(static_cast<const char*>(data), fits, file.bytes.data() + offset);
    file.write_time = NowSeconds();
    TheDisk().CountWrite();
    return fits == size;
}

bool StoreFile::Flush() { return handle_ != nullptr; }

bool StoreFile::Size(uint64_t* size) {
    if (!handle_) return false;
    std::lock_guard<std::recursive_mutex> hold(TheDisk().lock);
    *size = AsHandle(handle_)->file->bytes.size();
    return true;
}

bool StoreFile::Truncate(uint64_t size) {
    if (!handle_ || !AsHandle(handle_)->writable) {
        error_ = kAccessDenied;
        return false;
    }
    std::lock_guard<std::recursive_mutex> hold(TheDisk().lock);
    return Resize(*AsHandle(handle_)->file, size, &error_);
}

std::string StoreFile::ReadAll() {
    if (!handle_) return {};
    std::lock_guard<std::recursive_mutex> hold(TheDisk().lock);
    return AsHandle(handle_)->file->bytes;
}

// One process: the named mutex is a recursive mutex of this process.
namespace {
std::recursive_mutex g_store_mutex;
int g_store_mutex_token;
}  // namespace

StoreMutex::~StoreMutex() { Close(); }

bool StoreMutex::Create(uint32_t*) {
    handle_ = &g_store_mutex_token;
    return true;
}

void StoreMutex::Close() { handle_ = nullptr; }

StoreMutex::Hold::Hold(StoreMutex& mutex) : handle_(mutex.handle_) {
    if (!handle_) return;
    g_store_mutex.lock();
    acquired_ = true;
}

StoreMutex::Hold::~Hold() {
    if (acquired_) g_store_mutex.unlock();
}

int64_t FileWriteTimeSeconds(const std::wstring& path) {
    std::lock_guard<std::recursive_mutex> hold(TheDisk().lock);
    const auto file = Find(path);
    return file ? file->write_time : 0;
}

bool TouchFileWriteTime(const std::wstring& path) {
    std::lock_guard<std::recursive_mutex> hold(TheDisk().lock);
    const auto file = Find(path);
    if (!file) return false;
    file->write_time = NowSeconds();
    return true;
}

void CreateParentDirectories(const std::wstring&, const std::wstring&) {}

bool FileExistsAt(const std::wstring& path) {
    std::lock_guard<std::recursive_mutex> hold(TheDisk().lock);
    return Find(path) != nullptr;
}

bool DeleteFileAt(const std::wstring& path) {
    std::lock_guard<std::recursive_mutex> hold(TheDisk().lock);
    const auto file = Find(path);
    if (!file || file->read_only) return false;
    TheDisk().files.erase(path);
    return true;
}

bool RenameFileDurably(const std::wstring& from, const std::wstring& to) {
    std::lock_guard<std::recursive_mutex> hold(TheDisk().lock);
    Disk& disk = TheDisk();
    const auto file = Find(from);
    const auto target = Find(to);
    if (!file || file->read_only || (target && target->read_only) || disk.writes_left == 0) return false;
    disk.files[to] = file;
    disk.files.erase(from);
    disk.CountWrite();
    return true;
}

bool WriteWholeFile(const std::wstring& path, const std::string& bytes) {
    StoreFile file;
    if (!file.Create(path)) return false;
    return file.WriteAt(0, bytes.data(), bytes.size()) && file.Flush();
}

}  // namespace pintle
