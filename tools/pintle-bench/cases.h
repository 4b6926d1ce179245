// What the benchmark measures: each hot formula call of the loaded
// Pintle.dll next to its floor, the bare system calls that call cannot
// avoid, done directly by this program in the same process.
#pragma once
#include <windows.h>

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "formats/shared_state_block.h"
#include "formula/formula_call.h"
#include "measure.h"

namespace bench {

using FormulaFn = int32_t (*)(pintle::FormulaCall*);
using TdxFn = void (*)(int32_t, float*, float*, float*, float*);

// The market of the benchmark: codes 600000.. (SH) and 000001.. (SZ).
constexpr int kMarketCodes = 5000;
constexpr int kPositions = 1000;
constexpr int kOrders = 43;
constexpr int kResultLines = 5000;
constexpr int kWenCaiQuery = 1;
constexpr int kScreenPasses = 5;
std::string MarketCode(int i);   // six digits
std::string MarketLabel(int i);  // with its market prefix
// The last line of the result file: a hit at the end of a linear scan.
std::string ResultHitCode();
// The code whose orders OrderInfo sums.
std::string OrderCode();

// Files the stand-in assistant starts from, written into its directory.
bool WriteAssistantFiles(const std::wstring& assistant_dir, std::wstring* error);

struct Context {
    std::wstring dir;            // the terminal directory (Pintle.dll, the own store, the log)
    std::wstring assistant_dir;  // Kovalt.exe, its store and screening files
    HMODULE dll = nullptr;
    HWND terminal = nullptr;
    const pintle::SharedStateBlock* block = nullptr;  // the bench's own view of the published block
    HANDLE block_mutex = nullptr;                     // "Global\KovaltShare"
    HANDLE store_mutex = nullptr;                     // "Global\KovaltKeyValueDB"
    HWND main_window = nullptr, extra_window = nullptr;
    bool has_site = false;  // the finance site runs and Pintle.ini names it

    FormulaFn Export(const char* name) const;
    TdxFn Tdx(int number) const;
};

// One hot path and its floor.
struct Case {
    std::string name, title;
    int samples, batch;
    std::function<void()> path, floor;
    std::function<void()> before, setup, teardown;  // untimed: each pair, once ahead, once after
    bool show_max = false;
};

struct Options {
    std::string only;  // run the cases whose name contains this
    int repeat = 0;    // instead of measuring, run each path this many times (for strace)
    bool floor = false;  // with repeat: run the floors instead
};

// Every measured row, in report order.
std::vector<Row> RunCases(Context& ctx, const Options& options);

}  // namespace bench
