// KeyValueStore: one data.db and the history files beside it. The own store
// (the only one that is ever written) and the read-only store of each
// assistant are instances of it (store_state.h keeps them).
//
// Every operation takes the named store mutex for its whole run, so the
// files are never touched by two processes at once; within the plug-in the
// call lock already serialises the calls, and an instance is not meant to be
// used from two threads at once.
#pragma once
#include <cstdint>
#include <map>
#include <string>
#include <string_view>
#include <vector>

#include "store/store_files.h"
#include "store/store_rules.h"

namespace pintle {

// What a read gives: 0.0 and time 0 when the key is absent.
struct StoredValue {
    double value = 0.0;
    uint32_t time = 0;  // seconds since 1970 UTC of the last write
};

struct HistoryPoint {
    uint32_t time = 0;
    double value = 0.0;
};

// "No bar time": the history entry takes the record's time instead.
inline constexpr uint32_t kNoBarTime = 0xFFFFFFFFu;

class KeyValueStore {
public:
    KeyValueStore() = default;
    KeyValueStore(const KeyValueStore&) = delete;
    KeyValueStore& operator=(const KeyValueStore&) = delete;

    // Remembers path and mode, creates (or keeps) the mutex handle, opens the
    // file and loads it. A writable store creates a missing file as {4, 0}
    // and rewrites a version 1 or 2 file as version 3.
    void Open(const std::wstring& path, bool writable);

    // Stores the latest value of a key in the own store, and for a history
    // slot appends to its history file. Does nothing on a read-only store or
    // for a code that cannot be stored (IsStorableCode).
    void WriteValue(std::string_view code, int32_t qualifier, int32_t assistant, int32_t slot, double value,
                    int32_t period, uint32_t bar_time);

    // The latest value of the key with period 0. A writable store answers
    // from memory; a read-only store re-reads the key's record (another
    // process may have changed it) or, for a key it does not know yet, loads
    // the records added since it last looked.
    StoredValue ReadValue(std::string_view code, int32_t qualifier, int32_t assistant, int32_t slot);

    // The whole history of a key, oldest first; empty when its file cannot
    // be opened. On a writable store a missing file is created empty.
    std::vector<HistoryPoint> ReadHistory(std::string_view code, int32_t qualifier, int32_t assistant, int32_t slot,
                                          int32_t period);

    // Reloads every record when data.db's last-write time moved since it was
    // last seen; true when it did.
    bool ReloadIfChanged();

    // Closes the file and the mutex handle and forgets the index.
    void Close();

    bool IsOpen() const { return file_.IsOpen(); }
    bool IsWritable() const { return writable_; }
    const std::wstring& Path() const { return path_; }
    int32_t Version() const { return version_; }

private:
    struct Entry {
        double value = 0.0;
        int32_t index = 0;
        uint32_t time = 0;
    };

    // Open step 3 (writable) or 4 (read-only); the mutex is held.
    void OpenFile();
    FileLayout CurrentLayout();
    // Whether the record at `index` in the file is the key's.
    bool RecordHolds(int32_t index, const ValueKey& key);
    // Reads records [start, layout.trusted) into the index; a layout behind
    // what is already loaded (the file shrank) or of another version reloads
    // all of it.
    void LoadRecords(const FileLayout& layout, uint64_t start);
    void LoadAll();
    void Upgrade();
    // Deals with what an upgrade cut short left beside data.db: restores
    // the copy when data.db shows the upgrade did not finish, deletes it
    // when it did. False when data.db must not be upgraded now (a copy that
    // belongs to no upgrade of this file, or a restore that failed).
    bool RecoverInterruptedUpgrade();
    void AppendHistory(const ValueKey& key, int32_t period, uint32_t entry_time, double value);
    // The history file of a key, or empty (with a log line) when the code
    // cannot be a path component.
    std::wstring HistoryPath(std::string_view code, int32_t qualifier, int32_t assistant, int32_t slot,
                             int32_t period, std::wstring* relative);

    std::map<ValueKey, Entry> index_;
    uint64_t count_ = 0;  // records loaded (the header count as far as the file holds it)
    int32_t version_ = 0;
    bool writable_ = false;
    std::wstring path_;
    std::wstring directory_;  // of data.db, with a trailing backslash: the base of the history files
    int64_t write_time_ = 0;  // last-write time of data.db as last seen
    StoreMutex mutex_;
    SharedFile file_;
};

// The lines the store writes once per process may be written again (tests).
void ResetKeyValueStoreNotices();

}  // namespace pintle
