// The DZH-style terminal's block file (USERDATA\block\NAME.BLK): a header
// whose first byte names the layout, then fixed-size records back to back to
// the end of the file. A record holds ASCII text (market prefix and code,
// "SH600000"), a zero byte and zero padding; text as long as the record has
// no zero byte. The terminal owns these files; the plug-in edits them, and a
// file inspector prints them. Little-endian, no padding.
#pragma once
#include <cstddef>
#include <cstdint>

namespace pintle {

// The first two bytes of the file, read as a little-endian 16-bit value.
constexpr uint16_t kDzhBlockFormatA5 = 0x00A5;
constexpr uint16_t kDzhBlockFormatA6 = 0x00A6;

#pragma pack(push, 1)

// Format 0xA5: 4-byte header, 12-byte records.
struct DzhBlockHeaderA5 {
    uint8_t format;  // 0xA5
    uint8_t rest[3];
};
struct DzhBlockRecordA5 {
    char text[12];
};

// Format 0xA6 (and the layout of every format but 0xA5 that the terminal
// writes): 5-byte header, 16-byte records.
struct DzhBlockHeaderA6 {
    uint8_t format;  // 0xA6
    uint8_t rest[4];
};
struct DzhBlockRecordA6 {
    char text[16];
};

#pragma pack(pop)

static_assert(sizeof(DzhBlockHeaderA5) == 4);
static_assert(sizeof(DzhBlockRecordA5) == 12);
static_assert(sizeof(DzhBlockHeaderA6) == 5);
static_assert(sizeof(DzhBlockRecordA6) == 16);
static_assert(offsetof(DzhBlockHeaderA5, format) == 0);
static_assert(offsetof(DzhBlockHeaderA6, format) == 0);

struct DzhBlockLayout {
    std::size_t header_size;
    std::size_t record_size;
};
constexpr DzhBlockLayout kDzhLayoutA5{sizeof(DzhBlockHeaderA5), sizeof(DzhBlockRecordA5)};
constexpr DzhBlockLayout kDzhLayoutA6{sizeof(DzhBlockHeaderA6), sizeof(DzhBlockRecordA6)};

// Readers scan the bytes after the first 4 for an entry: "SH" or "SZ" and
// six code bytes.
constexpr std::size_t kDzhScanStart = 4;
constexpr std::size_t kDzhEntrySize = 8;

}  // namespace pintle
