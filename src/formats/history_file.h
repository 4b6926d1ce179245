// History files: data\{assistant}\{code}\{qualifier}\{period}\{slot}.dat
// beside data.db, one per history key, holding the value of that key per
// chart bar, oldest first. Little-endian: an 8-byte header, then `count`
// 16-byte entries. The format number is written when the file is created and
// never checked on reading.
#pragma once
#include <cstddef>
#include <cstdint>

namespace pintle {

inline constexpr int32_t kHistoryFormat = 2;

#pragma pack(push, 1)
struct HistoryHeader {
    int32_t format;  // 2
    int32_t count;   // entries that follow
};

struct HistoryEntry {
    uint32_t time;  // seconds since 1970 UTC of the bar the value was set on
    uint32_t unused4;
    double value;
};
#pragma pack(pop)

static_assert(sizeof(HistoryHeader) == 8);
static_assert(offsetof(HistoryHeader, format) == 0);
static_assert(offsetof(HistoryHeader, count) == 4);

static_assert(sizeof(HistoryEntry) == 16);
static_assert(offsetof(HistoryEntry, time) == 0);
static_assert(offsetof(HistoryEntry, unused4) == 4);
static_assert(offsetof(HistoryEntry, value) == 8);

constexpr uint64_t HistoryEntryOffset(uint64_t index) { return sizeof(HistoryHeader) + sizeof(HistoryEntry) * index; }

}  // namespace pintle
