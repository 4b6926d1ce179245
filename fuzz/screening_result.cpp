// A screening result file of any bytes, fed to the reader in pieces of any
// sizes, as the file adapter reads it: the codes are those of the whole
// file read at once, and each is the first TAB field of a non-empty line
// with every CR removed.
#include "fuzz_check.h"
#include "screening/screening.h"

namespace {

using namespace pintle;
using namespace pintle::fuzz;

constexpr std::size_t kChoiceBytes = 16;

// The rule written out on whole lines.
std::vector<std::string> CodesOf(std::string_view bytes) {
    std::vector<std::string> codes;
    std::size_t start = 0;
    while (start <= bytes.size()) {
        std::size_t end = bytes.find('\n', start);
        const bool last = end == std::string_view::npos;
        if (last) end = bytes.size();
        std::string line;
        for (const char ch : bytes.substr(start, end - start)) {
            if (ch != '\r') line += ch;
        }
        if (!line.empty()) codes.push_back(line.substr(0, line.find('\t')));
        if (last) break;
        start = end + 1;
    }
    return codes;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
    SplitInput in(data, size, kChoiceBytes);
    FuzzedDataProvider& c = in.choices;
    ScreeningCodeReader pieces;
    std::string_view rest = in.bytes;
    while (!rest.empty()) {
        const std::size_t n = c.remaining_bytes() > 0 ? c.ConsumeIntegralInRange<std::size_t>(0, rest.size()) : rest.size();
        pieces.Feed(rest.substr(0, n));
        rest.remove_prefix(n);
    }
    const std::vector<std::string> codes = pieces.Finish();
    FUZZ_CHECK(codes == CodesOf(in.bytes));
    std::size_t total = 0;
    for (const std::string& code : codes) total += code.size();
    FUZZ_CHECK(total <= in.bytes.size());
    // A reader is empty after Finish and can be used again.
    FUZZ_CHECK(pieces.Finish().empty());
    return 0;
}
