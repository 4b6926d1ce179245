#include "value_store.h"

#include <windows.h>

#include <cstring>
#include <ctime>
#include <cwchar>
#include <sstream>
#include <vector>

#include "common/win.h"
#include "formats/data_db.h"
#include "formats/history_file.h"
#include "store/store_rules.h"

namespace kovalt {
namespace {

using pintle::UniqueHandle;

std::string Ansi(const std::wstring& text) {
    if (text.empty()) return {};
    const int n = WideCharToMultiByte(CP_ACP, 0, text.data(), static_cast<int>(text.size()), nullptr, 0, nullptr,
                                      nullptr);
    std::string out(static_cast<std::size_t>(n > 0 ? n : 0), '\0');
    if (n > 0) WideCharToMultiByte(CP_ACP, 0, text.data(), static_cast<int>(text.size()), out.data(), n, nullptr, nullptr);
    return out;
}

bool ReadAt(HANDLE file, uint64_t offset, void* buffer, DWORD size) {
    OVERLAPPED o{};
    o.Offset = static_cast<DWORD>(offset);
    o.OffsetHigh = static_cast<DWORD>(offset >> 32);
    DWORD got = 0;
    return ReadFile(file, buffer, size, &got, &o) && got == size;
}

bool WriteAt(HANDLE file, uint64_t offset, const void* data, DWORD size) {
    OVERLAPPED o{};
    o.Offset = static_cast<DWORD>(offset);
    o.OffsetHigh = static_cast<DWORD>(offset >> 32);
    DWORD put = 0;
    return WriteFile(file, data, size, &put, &o) && put == size;
}

uint64_t SizeOf(HANDLE file) {
    LARGE_INTEGER li{};
    return GetFileSizeEx(file, &li) ? static_cast<uint64_t>(li.QuadPart) : 0;
}

// Opens (creating when missing) a file shared with every other reader and
// writer; a file too short for its header starts as {first_word, 0}.
UniqueHandle OpenStoreFile(const std::wstring& path, int32_t first_word) {
    UniqueHandle file(CreateFileW(path.c_str(), GENERIC_READ | GENERIC_WRITE,
                                  FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_ALWAYS,
                                  FILE_ATTRIBUTE_NORMAL, nullptr));
    if (file && SizeOf(file.get()) < 8) {
        const int32_t header[2] = {first_word, 0};
        WriteAt(file.get(), 0, header, sizeof header);
    }
    return file;
}

// Holds the store mutex; an abandoned one is ours as well.
class StoreMutexHold {
public:
    StoreMutexHold() : mutex_(CreateMutexW(nullptr, FALSE, L"Global\\KovaltKeyValueDB")) {
        if (!mutex_) return;
        const DWORD r = WaitForSingleObject(mutex_.get(), INFINITE);
        held_ = r == WAIT_OBJECT_0 || r == WAIT_ABANDONED;
    }
    ~StoreMutexHold() {
        if (held_) ReleaseMutex(mutex_.get());
    }
    StoreMutexHold(const StoreMutexHold&) = delete;
    StoreMutexHold& operator=(const StoreMutexHold&) = delete;

private:
    UniqueHandle mutex_;
    bool held_ = false;
};

// A record in the layout of the file's version.
std::vector<char> Encode(int32_t version, const pintle::ValueKey& key, double value, uint32_t time) {
    const pintle::DataDbRecord rec = pintle::EncodeDataDbRecord(key, value, time);
    if (version >= 3) return std::vector<char>(reinterpret_cast<const char*>(&rec),
                                               reinterpret_cast<const char*>(&rec) + sizeof rec);
    pintle::DataDbRecordOld old{};
    std::memcpy(old.code, rec.code, sizeof old.code);
    old.qualifier = key.qualifier;
    old.slot = key.slot;
    old.period = version == 2 ? key.period : 0;
    old.value = value;
    old.time = time;
    return std::vector<char>(reinterpret_cast<const char*>(&old), reinterpret_cast<const char*>(&old) + sizeof old);
}

}  // namespace

std::optional<StoreWrite> ParseStoreWrite(const std::wstring& text) {
    std::wistringstream in(text);
    StoreWrite w;
    if (!(in >> w.code >> w.qualifier >> w.assistant >> w.slot >> w.period >> w.value)) return std::nullopt;
    unsigned long long t = 0;
    if (in >> t) w.bar_time = static_cast<uint32_t>(t);
    if (in >> t) w.time = static_cast<uint32_t>(t);
    std::wstring rest;
    if (in >> rest) return std::nullopt;
    return w;
}

ValueStore::ValueStore(std::wstring directory) : dir_(std::move(directory) + L"TradeSelfData\\") {}

bool ValueStore::Write(const StoreWrite& w, std::wstring* error) {
    const std::string code = Ansi(w.code);
    if (code.size() > pintle::kStoreCodeMaxBytes) {
        *error = L"code longer than 9 bytes";
        return false;
    }
    const pintle::ValueKey key =
        pintle::MakeValueKey(code, w.qualifier, w.assistant, w.slot, static_cast<uint8_t>(w.period));
    const uint32_t now = w.time ? *w.time : static_cast<uint32_t>(std::time(nullptr));

    StoreMutexHold hold;
    CreateDirectoryW(dir_.substr(0, dir_.size() - 1).c_str(), nullptr);
    const std::wstring db_path = dir_ + L"data.db";
    UniqueHandle db = OpenStoreFile(db_path, pintle::kDataDbVersionNew);
    if (!db) {
        *error = L"cannot open " + db_path + L", error " + std::to_wstring(GetLastError());
        return false;
    }
    const uint64_t size = SizeOf(db.get());
    std::vector<char> bytes(static_cast<std::size_t>(size));
    if (!ReadAt(db.get(), 0, bytes.data(), static_cast<DWORD>(bytes.size()))) {
        *error = L"cannot read " + db_path;
        return false;
    }
    const pintle::FileLayout layout = pintle::ExamineDataDb(bytes.data(), size);
    if (!layout.header_complete || layout.CountNegative()) {
        *error = L"data.db has a broken header";
        return false;
    }
    // The last record of the key, as every reader takes it; a new key goes
    // after the last whole record.
    uint64_t index = layout.whole;
    bool fresh = true;
    for (uint64_t i = 0; i < layout.trusted; ++i) {
        const auto r = pintle::DecodeDataDbRecord(layout.version,
                                                  bytes.data() + pintle::DataDbRecordOffset(layout.version, i));
        if (r.key == key) {
            index = i;
            fresh = false;
        }
    }
    const std::vector<char> record = Encode(layout.version, key, w.value, now);
    if (!WriteAt(db.get(), pintle::DataDbRecordOffset(layout.version, index), record.data(),
                 static_cast<DWORD>(record.size()))) {
        *error = L"cannot write " + db_path;
        return false;
    }
    if (fresh) {
        const int32_t count = static_cast<int32_t>(index + 1);
        WriteAt(db.get(), offsetof(pintle::DataDbHeader, count), &count, sizeof count);
    }
    FlushFileBuffers(db.get());
    FILETIME ft;
    GetSystemTimeAsFileTime(&ft);
    SetFileTime(db.get(), nullptr, nullptr, &ft);
    db.reset();

    if (!pintle::IsHistorySlot(w.slot)) return true;
    if (!pintle::IsPlainPathComponent(w.code)) {
        *error = L"code cannot be a path component";
        return false;
    }
    const std::wstring relative = pintle::HistoryRelativePath(w.code, w.qualifier, w.assistant, w.slot, w.period);
    for (std::size_t pos = relative.find(L'\\'); pos != std::wstring::npos; pos = relative.find(L'\\', pos + 1))
        CreateDirectoryW((dir_ + relative.substr(0, pos)).c_str(), nullptr);
    UniqueHandle file = OpenStoreFile(dir_ + relative, pintle::kHistoryFormat);
    if (!file) {
        *error = L"cannot open " + dir_ + relative;
        return false;
    }
    pintle::HistoryHeader header{};
    ReadAt(file.get(), 0, &header, sizeof header);
    const uint64_t n = (SizeOf(file.get()) - 8) / sizeof(pintle::HistoryEntry);
    const pintle::HistoryEntry entry{w.bar_time ? *w.bar_time : now, 0, w.value};
    uint64_t at = n;
    if (n > 0) {
        pintle::HistoryEntry last{};
        ReadAt(file.get(), pintle::HistoryEntryOffset(n - 1), &last, sizeof last);
        const auto plan = pintle::PlanHistoryAppend(w.period == 0 ? 8 : w.period, w.slot, last.time, entry.time);
        if (plan == pintle::HistoryAppend::Ignore) return true;
        if (plan == pintle::HistoryAppend::OverwriteLast) at = n - 1;
    }
    WriteAt(file.get(), pintle::HistoryEntryOffset(at), &entry, sizeof entry);
    const int32_t count = static_cast<int32_t>(at + 1);
    WriteAt(file.get(), offsetof(pintle::HistoryHeader, count), &count, sizeof count);
    FlushFileBuffers(file.get());
    return true;
}

std::wstring OwnDirectory() {
    wchar_t buf[MAX_PATH] = {};
    const DWORD n = GetModuleFileNameW(nullptr, buf, MAX_PATH);
    const std::wstring path(buf, n < MAX_PATH ? n : 0);
    const std::size_t slash = path.find_last_of(L"\\/");
    return slash == std::wstring::npos ? std::wstring() : path.substr(0, slash + 1);
}

}  // namespace kovalt
