// Block lists: the terminals' own stock lists, which formulas add the current
// code to, remove it from and count. DZH-style terminals keep them as binary
// files (USERDATA\block\NAME.BLK, formats/dzh_block.h), the TDX terminal as
// text (T0002\blocknew\NAME.blk, one "market digit + code" per line).
//
// A block file is the user's own list. An edit changes the one entry it was
// asked to change and keeps every other byte of the file; where it cannot do
// that, it refuses with a log line and leaves the file as it was. A file is
// rewritten by writing a new file beside it and moving that over it, so a
// failure half way leaves the old file whole.
//
// Threads: nothing here takes the call lock. Every read-edit-replace of one
// block file holds that file's named mutex (block_lock.h), waited for at
// most 2 s, so two edits of the same file at the same moment, from two
// threads or two terminals, take turns and both entries land; an edit that
// cannot get its turn changes nothing and says so in the log. The terminal
// itself takes no such lock: an edit it saves in the very moment ours is
// moved in can still be lost. Process-wide state: DzhBlockFormat, the mutex
// handles and the log's throttles (block_edits.cpp, block_files_win.cpp).
#pragma once
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "formats/dzh_block.h"
#include "formula/formula_call.h"

namespace pintle {

// ------------------------------------------------------------ byte level
// Pure functions over file bytes (block_files.cpp, no Windows): the reader,
// the key rules and the edits, shared with the file inspector.

// One entry as readers find it, and where its bytes start in the file.
struct DzhBlockEntry {
    std::string text;
    std::size_t offset = 0;
};

struct DzhBlockFile {
    uint16_t format = 0;       // first two bytes, little-endian; 0 for a file shorter than 2 bytes
    bool scanned = false;      // entries found by the scan: format 0xA5 or 0xA6, or an ".slf" path
    DzhBlockLayout layout = kDzhLayoutA5;  // how the file's records lie: 0xA6 has its own, every other the 0xA5 one
    std::size_t record_count = 0;          // whole records after the header
    std::size_t tail_size = 0;             // bytes after the last whole record (a damaged file)
    std::vector<DzhBlockEntry> entries;    // what the terminal's list holds, in file order
};

// Reads a DZH block file's bytes. Formats 0xA5 and 0xA6 (and any file whose
// path names an ".slf" file) are scanned for "SH"/"SZ" followed by a valid
// six-byte code; any other file is read as 12-byte records after a 4-byte
// header, each a zero-terminated text (empty ones skipped). A file shorter
// than 4 bytes holds no entries.
DzhBlockFile DecodeDzhBlock(std::string_view bytes, bool slf_path = false);
std::vector<std::string> DzhBlockTexts(const DzhBlockFile& file);

// The scan's code rule: the text up to its first zero byte, with every "sz"
// and then every "sh" removed, is at least 5 characters, all digits.
bool DzhCodeValid(std::string_view code_bytes);

// The entry a label is stored as: a label that starts with "SH"/"SZ" as it
// stands; "sh600000" and "600000.SH" as "SH600000" (so the reader finds them
// again); a bare code as "SH" + code when it starts with '6', else "SZ" +
// code. Empty when the label holds no code.
std::string DzhBlockKey(std::string_view label);

// Entry count as the terminal counts it, from the first two bytes and the
// file size: (size - 4) / 12 for format 0xA5, else (size - 5) / 16.
int32_t DzhBlockCount(uint16_t format, int64_t file_size);

enum class DzhEditStatus {
    kUnchanged,       // nothing to do: the key is already there (add) or absent (remove)
    kRewrite,         // `bytes` is the new file
    kBadLayout,       // the file's bytes do not fit its layout where the edit must go
    kUnreadableKey,   // the reader would not see exactly the one entry changed
};
struct DzhEdit {
    DzhEditStatus status = DzhEditStatus::kUnchanged;
    std::string bytes;
};

// Adds the key's record after the header (top) or after the last whole
// record, in the file's own layout. An empty file gets the header of
// `format` (DzhBlockFormat) and that format's layout.
DzhEdit AddDzhEntry(std::string_view bytes, bool slf_path, std::string_view key, bool top, uint32_t format);
// Removes the record of the first entry equal to the key.
DzhEdit RemoveDzhEntry(std::string_view bytes, bool slf_path, std::string_view key);

// TDX block files: lines split at LF with every CR removed; a final line end
// starts no further line. Written with CR LF between lines and none after
// the last.
std::vector<std::string> SplitTdxLines(std::string_view bytes);
std::string JoinTdxLines(const std::vector<std::string>& lines);
// '2' for a code starting with '8'; '1' for '6', '5', '7', "204", "113",
// "122", "124", "110"; '0' otherwise.
char TdxMarketDigit(std::string_view code);

// ------------------------------------------------------------ files

// The block's file name comes from Pintle.ini, then vizuru.ini (section
// "板块名", key = the number), then the default 自选股N / ZXGN.
std::wstring DzhBlockPath(int32_t number);
std::wstring TdxBlockPath(int32_t number);

// 1 when the code is in the block or was written, else 0.
int32_t AddToDzhBlock(const std::wstring& path, std::string_view label, bool top);
// 1 when the code is not in the block or was removed, else 0.
int32_t RemoveFromDzhBlock(const std::wstring& path, std::string_view label);
// 0 when the file cannot be opened.
int32_t CountDzhBlock(const std::wstring& path);

// True when the line was added (removed); false when it was already there
// (not there) or the file could not be written.
bool AddToTdxBlock(const std::wstring& path, std::string_view code);
bool RemoveFromTdxBlock(const std::wstring& path, std::string_view code);
int32_t CountTdxBlock(const std::wstring& path);

// The process-wide DzhBlockFormat: 0 until the first DZH write fills it from
// "A股板块.BLK" beside the block file (or from the block file itself). Only
// an empty block file takes its header from it; every other file is
// written in its own format.
uint32_t DzhBlockFormat();
// Back to the state at load (tests).
void ResetBlocksState();

// ------------------------------------------------------------ formulas

// save2blk / del2blk: argument 1 > 0 to act, 2 the block number, 3 (save2blk)
// >= 1 for the top. 1.0 through the result writer when done, otherwise 0.0
// on every bar. Return 0.
int32_t SaveToBlockFormula(FormulaCall& call);
int32_t DeleteFromBlockFormula(FormulaCall& call);
// BlkCount: argument 1 the block number; the count through the result writer.
int32_t BlockCountFormula(FormulaCall& call);

// TDX 36 / 37: code number, act when > 0, block number. True when added
// (removed).
bool TdxAddToBlock(float code_number, float act, float block_number);
bool TdxRemoveFromBlock(float code_number, float act, float block_number);
// TDX 38: the count, or nothing for a negative block number.
std::optional<int32_t> TdxBlockCount(float block_number);

}  // namespace pintle
