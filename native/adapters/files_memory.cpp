// The file adapter of the native build (common/shared_file.h and the store's
// mutex), over the in-memory files of memory_files.h. File times are the
// clock's seconds at the last write. Opened files stay readable after their
// name is deleted or replaced, as with the delete sharing the Windows adapter
// asks for; a file created private cannot be opened again while it is open.
#include <algorithm>
#include <map>
#include <memory>
#include <mutex>
#include <utility>

#include "common/clock.h"
#include "memory_files.h"
#include "common/shared_file.h"
#include "store/store_files.h"

namespace pintle {
namespace {

// The Windows error codes the adapter on Windows would report.
constexpr uint32_t kFileNotFound = 2;
constexpr uint32_t kAccessDenied = 5;
constexpr uint32_t kWriteFault = 29;
constexpr uint32_t kReadFault = 30;
constexpr uint32_t kSharingViolation = 32;
constexpr uint32_t kFileExists = 80;
constexpr uint32_t kDiskFull = 112;

struct MemoryFile {
    std::string bytes;
    int64_t write_time = 0;
    bool read_only = false;
    int64_t unreadable_from = -1;  // reads that reach this offset fail (-1: none)
    int open_handles = 0;
    bool private_open = false;  // open through CreatePrivate: nobody else may open it
};

struct Handle {
    Handle(std::shared_ptr<MemoryFile> f, bool w, bool p = false) : file(std::move(f)), writable(w), is_private(p) {
        ++file->open_handles;
        file->private_open = file->private_open || is_private;
    }
    ~Handle() {
        --file->open_handles;
        if (is_private) file->private_open = false;
    }
    Handle(const Handle&) = delete;
    Handle& operator=(const Handle&) = delete;
    std::shared_ptr<MemoryFile> file;
    bool writable = false;
    bool is_private = false;
};

struct Disk {
    std::recursive_mutex lock;
    std::map<std::wstring, std::shared_ptr<MemoryFile>> files;
    int64_t capacity = -1;
    int64_t writes_left = -1;
    // Crash points: every call that changes a file is counted; the one
    // numbered `crash_at` is not carried out, the files as they are then are
    // kept in `crashed`, and the call throws.
    int64_t mutating_calls = 0;
    int64_t crash_at = -1;
    std::map<std::wstring, std::string> crashed;

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

// Called (with the disk's lock held) before every call that would change a
// file: counts it, and plays the crash of the process at the chosen call.
void Mutating() {
    Disk& disk = TheDisk();
    if (++disk.mutating_calls != disk.crash_at) return;
    disk.crashed.clear();
    for (const auto& [name, file] : disk.files) disk.crashed[name] = file->bytes;
    throw native::CrashPoint{};
}

// Another handle may not open a file that was created private.
bool SharingRefused(const std::shared_ptr<MemoryFile>& file, uint32_t* error) {
    if (!file || !file->private_open) return false;
    *error = kSharingViolation;
    return true;
}


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

void SetUnreadableFrom(const std::wstring& path, int64_t offset) {
    std::lock_guard<std::recursive_mutex> hold(TheDisk().lock);
    if (const auto file = Find(path)) file->unreadable_from = offset;
}

void CountMutatingCalls() {
    std::lock_guard<std::recursive_mutex> hold(TheDisk().lock);
    TheDisk().mutating_calls = 0;
    TheDisk().crash_at = -1;
}

int64_t MutatingCalls() {
    std::lock_guard<std::recursive_mutex> hold(TheDisk().lock);
    return TheDisk().mutating_calls;
}

void CrashAtMutatingCall(int64_t k) {
    std::lock_guard<std::recursive_mutex> hold(TheDisk().lock);
    TheDisk().mutating_calls = 0;
    TheDisk().crash_at = k;
    TheDisk().crashed.clear();
}

std::map<std::wstring, std::string> FilesAtCrash() {
    std::lock_guard<std::recursive_mutex> hold(TheDisk().lock);
    TheDisk().crash_at = -1;
    return TheDisk().crashed;
}

}  // namespace native

bool SharedFile::OpenExisting(const std::wstring& path, bool writable) {
    Close();
    std::lock_guard<std::recursive_mutex> hold(TheDisk().lock);
    auto file = Find(path);
    if (SharingRefused(file, &error_)) return false;
    if (!file || (writable && file->read_only)) {
        error_ = file ? kAccessDenied : kFileNotFound;
        return false;
    }
    handle_ = new Handle(std::move(file), writable);
    return true;
}

bool SharedFile::CreateNew(const std::wstring& path) {
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

namespace {

// Create and CreatePrivate: an existing file is emptied.
Handle* CreateHandle(const std::wstring& path, bool is_private, uint32_t* error) {
    Disk& disk = TheDisk();
    auto file = Find(path);
    if (SharingRefused(file, error)) return nullptr;
    if (file && (file->read_only || (is_private && file->open_handles > 0))) {
        *error = file->read_only ? kAccessDenied : kSharingViolation;
        return nullptr;
    }
    uint64_t room = 0;
    if (!disk.Room(&room, error)) return nullptr;
    Mutating();
    if (file) {
        file->bytes.clear();
    } else {
        file = std::make_shared<MemoryFile>();
        disk.files[path] = file;
    }
    file->write_time = NowSeconds();
    disk.CountWrite();
    return new Handle(std::move(file), true, is_private);
}

}  // namespace

bool SharedFile::Create(const std::wstring& path) {
    Close();
    std::lock_guard<std::recursive_mutex> hold(TheDisk().lock);
    handle_ = CreateHandle(path, false, &error_);
    return IsOpen();
}

bool SharedFile::CreatePrivate(const std::wstring& path) {
    Close();
    std::lock_guard<std::recursive_mutex> hold(TheDisk().lock);
    handle_ = CreateHandle(path, true, &error_);
    return IsOpen();
}

void SharedFile::Close() {
    std::lock_guard<std::recursive_mutex> hold(TheDisk().lock);
    delete AsHandle(std::exchange(handle_, nullptr));
}

std::size_t SharedFile::ReadAt(uint64_t offset, void* buffer, std::size_t size) {
    if (!handle_) return 0;
    std::lock_guard<std::recursive_mutex> hold(TheDisk().lock);
    const MemoryFile& file = *AsHandle(handle_)->file;
    if (file.unreadable_from >= 0 && offset + size > static_cast<uint64_t>(file.unreadable_from)) {
        error_ = kReadFault;
        return 0;
    }
    const std::string& bytes = file.bytes;
    if (offset >= bytes.size()) return 0;
    const std::size_t n = std::min<uint64_t>(size, bytes.size() - offset);
    std::copy_n(bytes.data() + offset, n, static_cast<char*>(buffer));
    return n;
}

bool SharedFile::WriteAt(uint64_t offset, const void* data, std::size_t size) {
    if (!handle_ || !AsHandle(handle_)->writable) {
        error_ = kAccessDenied;
        return false;
    }
    std::lock_guard<std::recursive_mutex> hold(TheDisk().lock);
    MemoryFile& file = *AsHandle(handle_)->file;
    uint64_t room = 0;
    if (!TheDisk().Room(&room, &error_)) return false;
    Mutating();
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

bool SharedFile::Flush() { return handle_ != nullptr; }

bool SharedFile::Size(uint64_t* size) {
    if (!handle_) return false;
    std::lock_guard<std::recursive_mutex> hold(TheDisk().lock);
    *size = AsHandle(handle_)->file->bytes.size();
    return true;
}

bool SharedFile::Truncate(uint64_t size) {
    if (!handle_ || !AsHandle(handle_)->writable) {
        error_ = kAccessDenied;
        return false;
    }
    std::lock_guard<std::recursive_mutex> hold(TheDisk().lock);
    Mutating();
    return Resize(*AsHandle(handle_)->file, size, &error_);
}

std::string SharedFile::ReadAll() {
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
    Mutating();
    file->write_time = NowSeconds();
    return true;
}

void CreateParentDirectories(const std::wstring&, const std::wstring&) {}

bool FileExistsAt(const std::wstring& path) {
    std::lock_guard<std::recursive_mutex> hold(TheDisk().lock);
    return Find(path) != nullptr;
}

bool DeleteFileAt(const std::wstring& path, uint32_t* error) {
    std::lock_guard<std::recursive_mutex> hold(TheDisk().lock);
    const auto file = Find(path);
    uint32_t why = 0;
    if (!file) {
        why = kFileNotFound;
    } else if (file->read_only) {
        why = kAccessDenied;
    } else if (!SharingRefused(file, &why)) {
        Mutating();
        TheDisk().files.erase(path);
        return true;
    }
    if (error) *error = why;
    return false;
}

bool RenameFileDurably(const std::wstring& from, const std::wstring& to, uint32_t* error) {
    std::lock_guard<std::recursive_mutex> hold(TheDisk().lock);
    Disk& disk = TheDisk();
    const auto file = Find(from);
    const auto target = Find(to);
    uint32_t why = 0;
    if (!file) {
        why = kFileNotFound;
    } else if (file->read_only || (target && target->read_only)) {
        why = kAccessDenied;
    } else if (disk.writes_left == 0) {
        why = kWriteFault;
    } else if (!SharingRefused(file, &why) && !SharingRefused(target, &why)) {
        Mutating();
        disk.files[to] = file;
        disk.files.erase(from);
        disk.CountWrite();
        return true;
    }
    if (error) *error = why;
    return false;
}

}  // namespace pintle
