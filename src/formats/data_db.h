// data.db: the latest value of every key of a key/value store, shared by the
// plug-in (its own store) and the assistant (its store beside its
// executable). Little-endian: an 8-byte header, then `count` records in the
// order their keys were first written. A record never moves, so its index is
// its file position for the life of the file.
//
// Versions 3 and 4 have 48-byte records; versions 2, 1 (and any smaller
// number) have 40-byte records, read with assistant 0, and version 1 also
// with period 0. A writer creates version 4; an old file upgraded in place
// becomes version 3.
#pragma once
#include <cstddef>
#include <cstdint>

namespace pintle {

inline constexpr int32_t kDataDbVersionNew = 4;       // created by a writer
inline constexpr int32_t kDataDbVersionUpgraded = 3;  // rewritten from version 1 or 2
inline constexpr std::size_t kStoreCodeMaxBytes = 9;  // longer codes are never stored

#pragma pack(push, 1)
struct DataDbHeader {
    int32_t version;
    int32_t count;  // records that follow
};

// Versions 3 and 4.
struct DataDbRecord {
    char code[12];  // zero-terminated, at most 9 bytes of text, ANSI code page
    int32_t qualifier;
    int32_t assistant;
    int32_t slot;
    uint8_t period;
    uint8_t unused25[7];
    double value;
    uint32_t time;  // seconds since 1970 UTC of the last write
    uint32_t unused44;
};

// Versions 2 and 1 (and below): no assistant; period only in version 2.
struct DataDbRecordOld {
    char code[12];
    int32_t qualifier;
    int32_t slot;
    int32_t period;  // ignored in version 1
    double value;
    uint32_t time;
    uint32_t unused36;
};
#pragma pack(pop)

static_assert(sizeof(DataDbHeader) == 8);
static_assert(offsetof(DataDbHeader, version) == 0);
static_assert(offsetof(DataDbHeader, count) == 4);

static_assert(sizeof(DataDbRecord) == 48);
static_assert(offsetof(DataDbRecord, code) == 0);
static_assert(offsetof(DataDbRecord, qualifier) == 12);
static_assert(offsetof(DataDbRecord, assistant) == 16);
static_assert(offsetof(DataDbRecord, slot) == 20);
static_assert(offsetof(DataDbRecord, period) == 24);
static_assert(offsetof(DataDbRecord, unused25) == 25);
static_assert(offsetof(DataDbRecord, value) == 32);
static_assert(offsetof(DataDbRecord, time) == 40);
static_assert(offsetof(DataDbRecord, unused44) == 44);

static_assert(sizeof(DataDbRecordOld) == 40);
static_assert(offsetof(DataDbRecordOld, code) == 0);
static_assert(offsetof(DataDbRecordOld, qualifier) == 12);
static_assert(offsetof(DataDbRecordOld, slot) == 16);
static_assert(offsetof(DataDbRecordOld, period) == 20);
static_assert(offsetof(DataDbRecordOld, value) == 24);
static_assert(offsetof(DataDbRecordOld, time) == 32);
static_assert(offsetof(DataDbRecordOld, unused36) == 36);

// Record size of a file version: 48 from version 3 on, 40 below.
constexpr std::size_t DataDbRecordSize(int32_t version) {
    return version >= 3 ? sizeof(DataDbRecord) : sizeof(DataDbRecordOld);
}

// File offset of record `index` in a file of that version.
constexpr uint64_t DataDbRecordOffset(int32_t version, uint64_t index) {
    return sizeof(DataDbHeader) + DataDbRecordSize(version) * index;
}

}  // namespace pintle
