// A TDX block file of any bytes: its lines, and the lines written back after
// an edit. Reading what was written gives the same lines (a last empty line
// aside, which a file without a final line end cannot hold), every CR is
// gone, and the market digit of any code is one of the three.
#include <algorithm>

#include "blocks/blocks.h"
#include "fuzz_check.h"

namespace {

using namespace pintle;
using namespace pintle::fuzz;

constexpr std::size_t kChoiceBytes = 16;

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
    if (c.ConsumeBool()) {
        lines.push_back(key);
    } else if (const auto hit = std::find(lines.begin(), lines.end(), key); hit != lines.end()) {
        lines.erase(hit);
    }
    const std::string written = JoinTdxLines(lines);
    std::vector<std::string> again = SplitTdxLines(written);
    if (!lines.empty() && lines.back().empty() && again.size() + 1 == lines.size()) again.push_back("");
    // A line that itself holds a line end (a key from a hostile code) splits.
    if (key.find_first_of("\r\n") == std::string::npos) FUZZ_CHECK(again == lines);
    return 0;
}
