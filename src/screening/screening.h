// Screening results: whether a code is in the current result of one of the
// assistant's numbered screening queries. Each assistant keeps each result
// as a text file under its own directory (WenCai\N.txt, HotStocks\N.txt,
// AI\N.txt); the plug-in only reads them, from the directory of the
// assistant number the call names, and keeps what it read per assistant
// number, kind and query number, looking at a file's time again at most
// every 5 seconds. A number whose assistant has no main window answers 0
// without reading anything (its window is looked for at most every 5 s).
//
// The files are untrusted input: any length, any bytes, a last line without
// its line end. The codes are the first TAB-separated field of each
// non-empty line, exactly as written (no trimming, no case folding, a
// byte-order mark stays part of the first code).
//
// Threads: everything here runs with the call lock held (the exports take
// it); the caches have no lock of their own. Nothing is cleared when a call
// names another assistant: each number keeps its own entries.
#pragma once
#include <cstdint>
#include <string>
#include <string_view>
#include <unordered_set>
#include <vector>

#include "formula/formula_call.h"

namespace pintle {

enum class ScreeningKind { kWenCai = 0, kHot = 1, kAi = 2 };
constexpr int kScreeningKinds = 3;

// ------------------------------------------------------------ byte level

// Collects the codes of a result file fed in pieces of any size: lines end
// at LF, every CR is dropped, the code is the line up to its first TAB, an
// empty line gives nothing, and a last line without LF still counts. Keeps
// only the codes, never a whole line.
class ScreeningCodeReader {
public:
    void Feed(std::string_view bytes);
    // The codes in file order; the reader is empty afterwards.
    std::vector<std::string> Finish();

private:
    void EndLine();

    std::vector<std::string> codes_;
    std::string field_;
    bool past_tab_ = false;
    bool line_has_bytes_ = false;
};

// ------------------------------------------------------------ lookups

// What the plug-in keeps of one result file.
struct ScreeningEntry {
    int64_t check_time = 0;  // when the file's time was last looked at (seconds since 1970)
    int64_t file_time = 0;   // the file's last-write time then, -1 when it could not be read
    // The codes, hashed: a full-market screen asks for every code, and each
    // answer takes one step whatever the file's length.
    std::unordered_set<std::string> members;
};

// A result file is a list of codes: even the whole market is well under
// 1 MiB. A larger file is no result; it matches nothing.
inline constexpr uint64_t kScreeningFileCap = 4u << 20;

// 1 when `code` is one of the codes of query n's result file of that kind,
// of the current assistant number, else 0. A missing file sends the
// assistant notice (1142, lParam 10000), or writes its text to the log when
// no assistant window exists.
int32_t ScreeningHit(ScreeningKind kind, std::string_view code, int32_t n);

// What is kept of one result file, or null (tests).
const ScreeningEntry* FindScreeningEntry(int32_t assistant, ScreeningKind kind, int32_t n);
// Empties the caches and forgets the assistants seen (tests, and the state at load).
void ResetScreeningState();

// ------------------------------------------------------------ formulas

// WenCai / Hot / Ai, with the call lock held: argument 1 the query number,
// argument 2 the assistant number (taken mod 10 from 10 up); argument 2 over
// 0.2 also asks for the answer on every bar. Returns 0.
int32_t ScreeningFormula(ScreeningKind kind, FormulaCall& call);
// TDX 35 / 43 / 44, with the call lock held: the hit for the code number
// and query number.
int32_t TdxScreeningHit(ScreeningKind kind, float code_number, float query);

}  // namespace pintle
