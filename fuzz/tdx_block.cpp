// A TDX block file of any bytes: its lines, and the lines written back after
// an edit. Reading what was written gives the same lines (a last empty line
// aside, which a file without a final line end cannot hold), every CR is
// gone, and the market digit of any code is one of the three. The product's
// own add and remove then edit the file (in memory): the file is left alone
// or holds exactly the lines expected, and the answer says which.
#include <algorithm>
#include <iostream>

#include "blocks/blocks.h"
#include "fuzz_check.h"
#include "memory_files.h"

namespace {

using namespace pintle;
using namespace pintle::fuzz;

constexpr std::size_t kChoiceBytes = 16;
const std::wstring kPath = L"C:\\fuzz\\T0002\\blocknew\\ZXG3.blk";

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
    SplitInput in(data, size, kChoiceBytes);
    FuzzedDataProvider& c = in.choices;
    const std::string code = c.ConsumeBool() ? c.ConsumeBytesAsString(c.ConsumeIntegralInRange(0, 12))
                                             : std::to_string(c.ConsumeIntegral<uint32_t>());

    std::vector<std::string> lines = SplitTdxLines(in.bytes);
    std::size_t bytes_in_lines = 0;
    for (const std::string& line : lines) {
        FUZZ_CHECK(line.find('\r') == std::string::npos && line.find('\n') == std::string::npos);
        bytes_in_lines += line.size();
    }
    FUZZ_CHECK(bytes_in_lines + std::count(in.bytes.begin(), in.bytes.end(), '\r') +
                   std::count(in.bytes.begin(), in.bytes.end(), '\n') == in.bytes.size());

    const char digit = TdxMarketDigit(code);
    FUZZ_CHECK(digit == '0' || digit == '1' || digit == '2');
    const std::string key = digit + code;
    const bool add = c.ConsumeBool();
    const auto hit = std::find(lines.begin(), lines.end(), key);
    const bool changes = !code.empty() && (add ? hit == lines.end() : hit != lines.end());
    if (add && changes) {
        lines.push_back(key);
    } else if (changes) {
        lines.erase(hit);
    }

    // The same edit through the product, on the file in memory.
    std::wcout.rdbuf(nullptr);  // the terminal's console line is not under test
    native::RemoveAllFiles();
    const bool exists = !in.bytes.empty() || c.ConsumeBool();
    if (exists) native::PutFile(kPath, std::string(in.bytes));
    // The streamed count is the count of the lines read whole.
    FUZZ_CHECK(CountTdxBlock(kPath) == (exists ? static_cast<int32_t>(SplitTdxLines(in.bytes).size()) : 0));
    const bool done = add ? AddToTdxBlock(kPath, code) : RemoveFromTdxBlock(kPath, code);
    FUZZ_CHECK(done == (changes && (exists || add)));
    const auto after = native::FileBytes(kPath);
    if (done) {
        FUZZ_CHECK(after == JoinTdxLines(lines));
    } else if (exists) {
        FUZZ_CHECK(after == std::string(in.bytes));
    } else {
        FUZZ_CHECK(!after);
    }
    FUZZ_CHECK(native::FileNames().size() == (after ? 1u : 0u));  // no new file left beside it
    const std::string written = JoinTdxLines(lines);
    std::vector<std::string> again = SplitTdxLines(written);
    if (!lines.empty() && lines.back().empty() && again.size() + 1 == lines.size()) again.push_back("");
    // A line that itself holds a line end (a key from a hostile code) splits.
    if (key.find_first_of("\r\n") == std::string::npos) FUZZ_CHECK(again == lines);
    return 0;
}
