// The byte-level rules of the key/value store: how keys order, which slots
// keep a history, where a history file lives, which bar bucket a history
// entry falls in, how records are decoded and encoded in every file version,
// how far a file written by someone else can be trusted, and how an old file
// is rewritten in the current layout. No Windows header: shared with the
// stand-in assistant and the inspector, and tested without any file.
#pragma once
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "formats/data_db.h"
#include "formats/history_file.h"

namespace pintle {

struct ValueKey {
    std::string code;  // normalised code or "全局" in GBK, ANSI bytes
    int32_t qualifier = 0;
    int32_t slot = 0;
    uint8_t period = 0;  // 0 for ordinary slots
    int32_t assistant = 0;
};

// Code byte-wise (then length), qualifier, slot, period, assistant.
bool operator<(const ValueKey& a, const ValueKey& b);
bool operator==(const ValueKey& a, const ValueKey& b);

// Whether a code can be stored: at most 9 bytes and no zero byte. A record
// keeps its code up to the first zero byte, so "600000\0x" would read back
// as another key, "600000", and shadow that key's own record.
bool IsStorableCode(std::string_view code);

// 86..99, or 10000 and above read as unsigned (so every negative slot).
bool IsHistorySlot(int32_t slot);
// The key of a write: ordinary slots are stored with period 0.
ValueKey MakeValueKey(std::string_view code, int32_t qualifier, int32_t assistant, int32_t slot, uint8_t period);

// The period directory of a history file: 8 for slots 92 and 93, 8 for
// period 0 (writer and reader alike), otherwise the period.
int32_t HistoryPeriodDirectory(int32_t slot, int32_t period);

// Whether a code (widened) can be one component of a file path: not empty,
// not "." or "..", and without \ / : .. * ? " < > | or control characters.
bool IsPlainPathComponent(std::wstring_view code);

// data\{assistant}\{code}\{qualifier}\{period directory}\{|slot|}.dat,
// relative to the directory of data.db.
std::wstring HistoryRelativePath(std::wstring_view code, int32_t qualifier, int32_t assistant, int32_t slot,
                                 int32_t period);

// Bucket number of a history entry time: minutes for periods 1 and 3, 5, 15,
// 30 and 60 minutes for 4 to 7; for any other period the second for slots
// 92 and 93 and the UTC day otherwise. Times are signed 32-bit.
int64_t HistoryBucket(int32_t period, int32_t slot, uint32_t time);

enum class HistoryAppend { Append, OverwriteLast, Ignore };
// What a new entry does to a history whose last entry has `last_time`.
HistoryAppend PlanHistoryAppend(int32_t period, int32_t slot, uint32_t last_time, uint32_t new_time);

// How much of a file can be believed. `whole` counts the complete
// records (or entries) the file holds after its header; `trusted` is the
// header count held to what is really there.
struct FileLayout {
    bool header_complete = false;  // at least 8 bytes
    int32_t version = 0;           // data.db version or history format
    int32_t count = 0;             // as the header says
    std::size_t record_size = 0;
    uint64_t whole = 0;
    uint64_t trusted = 0;
    uint64_t tail_bytes = 0;  // bytes after the last whole record

    bool CountNegative() const { return header_complete && count < 0; }
    bool CountBeyondFile() const { return header_complete && count > 0 && static_cast<uint64_t>(count) > whole; }
    bool Torn() const { return tail_bytes != 0; }
    // Whole records that the header does not count (a writer that died
    // between its record and its count).
    bool Uncounted() const { return header_complete && count >= 0 && whole > static_cast<uint64_t>(count); }
};

// `header` holds the first min(8, file_size) bytes of the file.
FileLayout ExamineDataDb(const void* header, uint64_t file_size);
FileLayout ExamineHistory(const void* header, uint64_t file_size);

// Versions 1 to 4; others are read as their record size says but never
// written or rewritten.
bool IsKnownDataDbVersion(int32_t version);
// The layouts new records can be written into (48-byte records).
bool IsCurrentDataDbVersion(int32_t version);
// Only versions 1 and 2 are rewritten as version 3.
bool IsUpgradableDataDbVersion(int32_t version);

struct StoredRecord {
    ValueKey key;
    double value = 0;
    uint32_t time = 0;
};

// One record of DataDbRecordSize(version) bytes.
StoredRecord DecodeDataDbRecord(int32_t version, const void* bytes);
// A 48-byte record; unused bytes are zero.
DataDbRecord EncodeDataDbRecord(const ValueKey& key, double value, uint32_t time);

// The version-3 file that an old file (its whole bytes) becomes: every
// record it really holds, superseded ones included, at the same index, the
// count unchanged, and the bytes of a torn last record after them. Empty when the file is not version 1 or 2 or its
// header cannot be believed (short, negative count).
std::optional<std::string> UpgradedDataDb(std::string_view old_file);

}  // namespace pintle
