#include "store/key_value_store.h"

#include <algorithm>
#include <atomic>
#include <cstddef>
#include <cstring>
#include <limits>
#include <mutex>
#include <optional>

#include "common/clock.h"
#include "common/paths.h"
#include "common/throttle.h"
#include "common/text.h"
#include "log/plugin_log.h"

namespace pintle {
namespace {

// The upgrade keeps a copy of the old file beside it until the rewrite is on
// the disk: written under a temporary name, then renamed, so a copy under
// the final name is always whole. The names are the plug-in's own: a file
// the user keeps beside data.db (data.db.bak, say) is never read, restored
// or deleted.
std::wstring UpgradeCopyPath(const std::wstring& path) { return path + L".pintle-upgrade"; }
std::wstring UpgradeCopyTempPath(const std::wstring& path) { return path + L".pintle-upgrade.tmp"; }

constexpr uint32_t kFileNotFound = 2, kPathNotFound = 3;

// Lines written at most once per process: a copy that does not belong to
// data.db would otherwise be reported at every open.
struct StoreNotices {
    std::atomic<bool> unused_copy{false};
    std::atomic<bool> delete_failed{false};
    // A store read from elsewhere (an assistant's) that is missing is
    // opened again on every read: said at most once per path in 300 s.
    std::mutex lock;
    ThrottleTable<std::wstring> unreadable{300};
};
StoreNotices g_notices;

constexpr uint64_t kRecordsPerRead = 4096;
constexpr uint64_t kMaxRecords = static_cast<uint64_t>(std::numeric_limits<int32_t>::max());

PluginLog& Log() { return PluginLog::Instance(); }

FileLayout LayoutOf(SharedFile& file, bool data_db, uint64_t* size_out = nullptr) {
    uint64_t size = 0;
    if (!file.Size(&size)) return FileLayout{};
    unsigned char header[8] = {};
    const std::size_t got = file.ReadAt(0, header, sizeof header);
    if (size_out) *size_out = size;
    // A header shorter than the size claims (a concurrent truncation) is no header.
    const uint64_t seen = got < sizeof header ? got : size;
    return data_db ? ExamineDataDb(header, seen) : ExamineHistory(header, seen);
}

// A missing file, or one too short to hold its header, is started afresh as
// an empty file: nothing that could be a record is lost.
bool StartEmpty(SharedFile& file, int32_t first_word) {
    const int32_t header[2] = {first_word, 0};
    return file.WriteAt(0, header, sizeof header) && file.Truncate(sizeof header);
}

// Only a missing file is created. One that exists but cannot be opened (no
// access, a read-only disk, held by another program) is left as it is:
// creating it anew would empty it.
bool OpenOrCreate(SharedFile& file, const std::wstring& path, int32_t first_word) {
    if (file.OpenExisting(path, true)) return true;
    if (!file.CreateNew(path)) return file.OpenExisting(path, true);
    StartEmpty(file, first_word);
    file.Close();
    return file.OpenExisting(path, true);
}

// A history file for writing, created with its missing directories first.
// A file that opens has every directory already: creating them (five
// system calls) is only needed when it does not.
bool OpenOrCreateHistory(SharedFile& file, const std::wstring& base_dir, const std::wstring& relative,
                         const std::wstring& path) {
    if (file.OpenExisting(path, true)) return true;
    CreateParentDirectories(base_dir, relative);
    return OpenOrCreate(file, path, kHistoryFormat);
}

// A write the file refused (a full disk, a read-only file), or a write not
// made because what the file holds could not be read: what was being stored
// is not, and the log says so (error 0 when the system gave none).
void LogWriteFailure(const wchar_t* what, const std::wstring& path, const SharedFile& file) {
    Log().WriteFormatted(what, {path, static_cast<long long>(file.LastError())});
}
constexpr wchar_t kValueNotWritten[] = L"写入数据失败,本次数值未保存 %s 错误码=%d";
constexpr wchar_t kHistoryNotWritten[] = L"写入历史数据失败,本次数值未保存 %s 错误码=%d";

// Deletes one of the upgrade's own files when it is there.
void DeleteUpgradeFile(const std::wstring& path) {
    uint32_t error = 0;
    if (!FileExistsAt(path) || DeleteFileAt(path, &error) || error == kFileNotFound || error == kPathNotFound) return;
    if (!g_notices.delete_failed.exchange(true)) {
        Log().WriteFormatted(L"删除升级备份失败 %s 错误码=%d", {path, static_cast<long long>(error)});
    }
}

// The first eight bytes of a file, when it has them.
std::optional<std::string> HeaderBytes(const std::wstring& path) {
    SharedFile file;
    std::string header(sizeof(DataDbHeader), '\0');
    if (!file.OpenExisting(path, false) || !file.ReadExactly(0, header.data(), header.size())) return std::nullopt;
    return header;
}

int32_t HeaderVersion(std::string_view header) {
    int32_t version = 0;
    std::memcpy(&version, header.data(), sizeof version);
    return version;
}

}  // namespace

void KeyValueStore::Open(const std::wstring& path, bool writable) {
    path_ = path;
    directory_ = DirectoryPart(path);
    writable_ = writable;
    uint32_t error = 0;
    if (!mutex_.Create(&error)) {
        Log().WriteFormatted(L"Create KovaltKeyValueDB Mutex fail error = %d", {static_cast<long long>(error)});
    }
    write_time_ = 0;
    count_ = 0;
    StoreMutex::Hold hold(mutex_);
    OpenFile();
}

void KeyValueStore::OpenFile() {
    index_.clear();
    count_ = 0;
    version_ = 0;
    if (writable_) {
        const bool may_upgrade = RecoverInterruptedUpgrade();
        if (!OpenOrCreate(file_, path_, kDataDbVersionNew)) {
            Log().WriteFormatted(L"写文件失败 %s", {path_});
            return;
        }
        uint64_t size = 0;
        if (file_.Size(&size) && size < sizeof(DataDbHeader)) StartEmpty(file_, kDataDbVersionNew);
        LoadAll();
        if (IsUpgradableDataDbVersion(version_)) {
            // With a copy beside it that is not its own, an upgrade would
            // replace that copy: the file stays as it is (and takes no
            // values) until someone has looked at both.
            if (may_upgrade) {
                Upgrade();
            } else {
                Log().WriteFormatted(L"数据文件升级失败 %s", {path_});
            }
        }
        return;
    }
    if (!file_.OpenExisting(path_, false)) {
        bool tell = false;
        {
            std::lock_guard<std::mutex> hold(g_notices.lock);
            tell = g_notices.unreadable.Allow(path_, NowSeconds());
        }
        if (tell) Log().WriteFormatted(L"读文件失败 %s", {path_});
        return;
    }
    write_time_ = FileWriteTimeSeconds(path_);
    LoadAll();
}

FileLayout KeyValueStore::CurrentLayout() { return LayoutOf(file_, true); }

bool KeyValueStore::RecordHolds(int32_t index, const ValueKey& key) {
    unsigned char bytes[sizeof(DataDbRecord)];
    return file_.ReadExactly(DataDbRecordOffset(version_, index), bytes, DataDbRecordSize(version_)) &&
           DecodeDataDbRecord(version_, bytes).key == key;
}

void KeyValueStore::LoadAll() {
    index_.clear();
    count_ = 0;
    LoadRecords(CurrentLayout(), 0);
}

void KeyValueStore::LoadRecords(const FileLayout& layout, uint64_t start) {
    if (!layout.header_complete) return;
    if (layout.version != version_ && !index_.empty()) {
        // Rewritten in another layout behind our back: what we hold is stale.
        index_.clear();
        start = 0;
    }
    version_ = layout.version;
    const uint64_t end = std::min(layout.trusted, kMaxRecords);
    if (start > end) {
        index_.clear();
        start = 0;
    }
    const std::size_t size = layout.record_size;
    std::vector<unsigned char> buffer;
    for (uint64_t first = start; first < end; first += kRecordsPerRead) {
        const uint64_t n = std::min(kRecordsPerRead, end - first);
        buffer.resize(static_cast<std::size_t>(n) * size);
        const std::size_t got = file_.ReadAt(DataDbRecordOffset(version_, first), buffer.data(), buffer.size());
        const uint64_t whole = got / size;
        for (uint64_t i = 0; i < whole; ++i) {
            StoredRecord r = DecodeDataDbRecord(version_, buffer.data() + i * size);
            index_[std::move(r.key)] = Entry{r.value, static_cast<int32_t>(first + i), r.time};
        }
        if (whole < n) {
            count_ = first + whole;
            return;
        }
    }
    count_ = end;
}

bool KeyValueStore::RecoverInterruptedUpgrade() {
    DeleteUpgradeFile(UpgradeCopyTempPath(path_));  // an unfinished copy: data.db was not touched yet
    const std::wstring copy_path = UpgradeCopyPath(path_);
    if (!FileExistsAt(copy_path)) return true;
    const std::optional<std::string> copy_header = HeaderBytes(copy_path);
    const std::optional<std::string> header = HeaderBytes(path_);
    // data.db holds nothing (missing, or cut before its header: a restore
    // that died at its start), or still has the very header of the copy in
    // an old layout: the upgrade wrote its records but never got to the
    // header, which goes last.
    const bool copy_is_old = copy_header && IsUpgradableDataDbVersion(HeaderVersion(*copy_header));
    if (copy_is_old && (!header || *header == *copy_header)) {
        SharedFile copy;
        std::string original;
        if (copy.OpenExisting(copy_path, false)) original = copy.ReadAll();
        copy.Close();
        SharedFile file;
        const bool opened = file.OpenExisting(path_, true) || file.CreateNew(path_);
        if (original.size() < sizeof(DataDbHeader) || !opened || !file.WriteAt(0, original.data(), original.size()) ||
            !file.Truncate(original.size()) || !file.Flush()) {
            return false;  // both stay for the next open; nothing is upgraded meanwhile
        }
        file.Close();
        DeleteUpgradeFile(copy_path);
        Log().WriteFormatted(L"数据文件上次升级未完成,已从备份恢复 %s", {path_});
        return true;
    }
    if (header && (HeaderVersion(*header) == kDataDbVersionUpgraded || HeaderVersion(*header) == kDataDbVersionNew)) {
        DeleteUpgradeFile(copy_path);  // the upgrade finished; only the copy's deletion did not
        return true;
    }
    if (!g_notices.unused_copy.exchange(true)) Log().WriteFormatted(L"数据文件旁的升级备份未使用 %s", {copy_path});
    return false;
}

void KeyValueStore::Upgrade() {
    const std::string original = file_.ReadAll();
    const auto upgraded = UpgradedDataDb(original);
    const std::wstring backup = UpgradeCopyPath(path_);
    const std::wstring temp = UpgradeCopyTempPath(path_);
    if (!upgraded || !WriteWholeFile(temp, original) || !RenameFileDurably(temp, backup)) {
        DeleteUpgradeFile(temp);
        Log().WriteFormatted(L"数据文件升级失败 %s", {path_});
        return;
    }
    // Records first and the header last: until the header says version 3
    // the file is still read as the old version, and the copy is there for
    // a process that dies in between.
    const std::string& bytes = *upgraded;
    const std::size_t header = sizeof(DataDbHeader);
    const bool ok = file_.WriteAt(header, bytes.data() + header, bytes.size() - header) && file_.Flush() &&
                    file_.WriteAt(0, bytes.data(), header) && file_.Truncate(bytes.size()) && file_.Flush();
    if (ok) {
        DeleteUpgradeFile(backup);
        version_ = kDataDbVersionUpgraded;
        return;
    }
    if (file_.WriteAt(0, original.data(), original.size()) && file_.Truncate(original.size()) && file_.Flush()) {
        DeleteUpgradeFile(backup);
    }
    Log().WriteFormatted(L"数据文件升级失败 %s", {path_});
}

void KeyValueStore::WriteValue(std::string_view code, int32_t qualifier, int32_t assistant, int32_t slot,
                               double value, int32_t period, uint32_t bar_time) {
    if (!writable_ || !IsStorableCode(code)) return;
    StoreMutex::Hold hold(mutex_);
    if (!file_.IsOpen()) {
        OpenFile();
        if (!file_.IsOpen()) return;
    }
    const ValueKey key = MakeValueKey(code, qualifier, assistant, slot, static_cast<uint8_t>(period));

    // A file too short for its header (its start failed on a full disk)
    // is started again; it holds nothing that could be a record.
    uint64_t size = 0;
    if (file_.Size(&size) && size < sizeof(DataDbHeader) && !StartEmpty(file_, kDataDbVersionNew)) {
        LogWriteFailure(kValueNotWritten, path_, file_);
        return;
    }
    // The file as it is now: another process may have appended since we
    // last looked, and a file we cannot make sense of is left alone.
    FileLayout layout = CurrentLayout();
    if (!layout.header_complete || !IsCurrentDataDbVersion(layout.version) || layout.CountNegative() ||
        layout.whole >= kMaxRecords) {
        Log().WriteFormatted(L"数据文件异常,不写入 %s 版本=%d 记录数=%d", {path_, layout.version, layout.count});
        return;
    }
    // Whole records the header does not count (a writer died between its
    // record and its count) are taken in; a count beyond the file is cut to
    // what it holds. New records then go after the last whole record.
    if (layout.whole != static_cast<uint64_t>(layout.count)) {
        const int32_t whole = static_cast<int32_t>(layout.whole);
        if (!file_.WriteAt(offsetof(DataDbHeader, count), &whole, sizeof whole)) {
            LogWriteFailure(kValueNotWritten, path_, file_);
            return;
        }
        layout.count = whole;
        layout.trusted = layout.whole;
    }
    file_.ClearLastError();
    LoadRecords(layout, count_);
    auto found = index_.find(key);
    // The index is only as good as the file it was read from: another file
    // of the same version may have taken data.db's place since. An update
    // in place goes only where the key really is.
    bool known = count_ == layout.whole;
    if (known && found != index_.end() && !RecordHolds(found->second.index, key)) {
        LoadAll();
        found = index_.find(key);
        known = count_ == layout.whole && (found == index_.end() || RecordHolds(found->second.index, key));
    }
    if (!known) {
        // What the file holds could not be read (a read error, or a
        // concurrent truncation, which leaves no error code): a record
        // written now could land on one we do not know.
        LogWriteFailure(kValueNotWritten, path_, file_);
        return;
    }
    const bool fresh = found == index_.end();
    const uint64_t index = fresh ? count_ : static_cast<uint64_t>(found->second.index);
    const uint32_t now = static_cast<uint32_t>(NowSeconds());
    const DataDbRecord record = EncodeDataDbRecord(key, value, now);
    // Record first, count second: a writer that dies in between leaves a
    // whole record that the next writer takes in. Each write reaches the
    // system at once; a disk sync per value would cost more than the value.
    if (!file_.WriteAt(DataDbRecordOffset(version_, index), &record, sizeof record)) {
        LogWriteFailure(kValueNotWritten, path_, file_);
        return;
    }
    if (fresh) {
        const int32_t count = static_cast<int32_t>(index + 1);
        if (!file_.WriteAt(offsetof(DataDbHeader, count), &count, sizeof count)) {
            LogWriteFailure(kValueNotWritten, path_, file_);
            return;
        }
        count_ = index + 1;
    }
    index_[key] = Entry{value, static_cast<int32_t>(index), now};
    TouchFileWriteTime(path_);
    if (IsHistorySlot(slot)) AppendHistory(key, period, bar_time == kNoBarTime ? now : bar_time, value);
}

std::wstring KeyValueStore::HistoryPath(std::string_view code, int32_t qualifier, int32_t assistant, int32_t slot,
                                        int32_t period, std::wstring* relative) {
    const std::wstring wide = AnsiToWide(code);
    if (!IsPlainPathComponent(wide)) {
        Log().WriteFormatted(L"股票代码不能用作路径,跳过历史数据:%s", {wide});
        return {};
    }
    *relative = HistoryRelativePath(wide, qualifier, assistant, slot, period);
    return directory_ + *relative;
}

void KeyValueStore::AppendHistory(const ValueKey& key, int32_t period, uint32_t entry_time, double value) {
    std::wstring relative;
    const std::wstring path = HistoryPath(key.code, key.qualifier, key.assistant, key.slot, period, &relative);
    if (path.empty()) return;
    SharedFile file;
    if (!OpenOrCreateHistory(file, directory_, relative, path)) {
        LogWriteFailure(kHistoryNotWritten, path, file);
        return;
    }
    uint64_t size = 0;
    if (file.Size(&size) && size < sizeof(HistoryHeader) && !StartEmpty(file, kHistoryFormat)) {
        LogWriteFailure(kHistoryNotWritten, path, file);
        return;
    }
    const FileLayout layout = LayoutOf(file, false);
    if (!layout.header_complete || layout.CountNegative() || layout.whole >= kMaxRecords) {
        Log().WriteFormatted(L"历史文件异常,不写入 %s 记录数=%d", {path, layout.count});
        return;
    }
    const int32_t bucket_period = period == 0 ? 8 : period;
    const HistoryEntry entry{entry_time, 0, value};
    // As with data.db, the entries the file really holds decide where the
    // next one goes, whatever a torn header says.
    const uint64_t n = layout.whole;
    uint64_t at = n;
    uint64_t count = n + 1;
    if (n > 0) {
        HistoryEntry last{};
        file.ClearLastError();
        if (!file.ReadExactly(HistoryEntryOffset(n - 1), &last, sizeof last)) {
            LogWriteFailure(kHistoryNotWritten, path, file);
            return;
        }
        switch (PlanHistoryAppend(bucket_period, key.slot, last.time, entry_time)) {
            case HistoryAppend::Append: break;
            case HistoryAppend::OverwriteLast:
                at = n - 1;
                count = n;
                break;
            case HistoryAppend::Ignore: return;
        }
    }
    if (!file.WriteAt(HistoryEntryOffset(at), &entry, sizeof entry)) {
        LogWriteFailure(kHistoryNotWritten, path, file);
        return;
    }
    if (static_cast<uint64_t>(layout.count) != count) {
        const int32_t c = static_cast<int32_t>(count);
        if (!file.WriteAt(offsetof(HistoryHeader, count), &c, sizeof c)) LogWriteFailure(kHistoryNotWritten, path, file);
    }
}

StoredValue KeyValueStore::ReadValue(std::string_view code, int32_t qualifier, int32_t assistant, int32_t slot) {
    if (code.size() > kStoreCodeMaxBytes) {
        Log().WriteFormatted(L"股票代码长度异常:%s", {AnsiToWide(code)});
        return {};
    }
    StoreMutex::Hold hold(mutex_);
    if (!file_.IsOpen()) return {};
    const ValueKey key{std::string(code), qualifier, slot, 0, assistant};
    auto found = index_.find(key);
    if (writable_) return found == index_.end() ? StoredValue{} : StoredValue{found->second.value, found->second.time};

    if (found != index_.end()) {
        // Re-read the record in the file's own layout: another process may
        // have written a newer value into it.
        unsigned char bytes[sizeof(DataDbRecord)];
        const std::size_t size = DataDbRecordSize(version_);
        if (file_.ReadExactly(DataDbRecordOffset(version_, found->second.index), bytes, size)) {
            const StoredRecord r = DecodeDataDbRecord(version_, bytes);
            if (r.key == key) {
                found->second.value = r.value;
                found->second.time = r.time;
                write_time_ = FileWriteTimeSeconds(path_);
                return StoredValue{r.value, r.time};
            }
        }
        // The record is gone or holds another key: the file was replaced.
        LoadAll();
    } else {
        LoadRecords(CurrentLayout(), count_);
    }
    found = index_.find(key);
    return found == index_.end() ? StoredValue{} : StoredValue{found->second.value, found->second.time};
}

std::vector<HistoryPoint> KeyValueStore::ReadHistory(std::string_view code, int32_t qualifier, int32_t assistant,
                                                     int32_t slot, int32_t period) {
    std::vector<HistoryPoint> points;
    if (path_.empty()) return points;
    std::wstring relative;
    const std::wstring path = HistoryPath(code, qualifier, assistant, slot, period, &relative);
    if (path.empty()) return points;
    StoreMutex::Hold hold(mutex_);
    SharedFile file;
    if (writable_) {
        if (!OpenOrCreateHistory(file, directory_, relative, path)) return points;
    } else if (!file.OpenExisting(path, false)) {
        return points;
    }
    const FileLayout layout = LayoutOf(file, false);
    if (layout.trusted == 0) return points;
    // The entries are read straight into the points, which have their layout.
    static_assert(sizeof(HistoryPoint) == sizeof(HistoryEntry));
    static_assert(offsetof(HistoryPoint, time) == offsetof(HistoryEntry, time));
    static_assert(offsetof(HistoryPoint, value) == offsetof(HistoryEntry, value));
    points.resize(static_cast<std::size_t>(std::min(layout.trusted, kMaxRecords)));
    const std::size_t got = file.ReadAt(HistoryEntryOffset(0), points.data(), points.size() * sizeof(HistoryEntry));
    points.resize(got / sizeof(HistoryEntry));
    return points;
}

bool KeyValueStore::ReloadIfChanged() {
    StoreMutex::Hold hold(mutex_);
    const int64_t now = FileWriteTimeSeconds(path_);
    const bool changed = write_time_ >= 1 && now != write_time_ && file_.IsOpen();
    if (changed) {
        LoadAll();
        Log().WriteFormatted(L"reload %s", {path_});
    }
    write_time_ = now;
    return changed;
}

void ResetKeyValueStoreNotices() {
    g_notices.unused_copy = false;
    g_notices.delete_failed = false;
    std::lock_guard<std::mutex> hold(g_notices.lock);
    g_notices.unreadable.Clear();
}

void KeyValueStore::Close() {
    {
        StoreMutex::Hold hold(mutex_);
        file_.Close();
    }
    mutex_.Close();
    index_.clear();
    count_ = 0;
    version_ = 0;
    write_time_ = 0;
}

}  // namespace pintle
