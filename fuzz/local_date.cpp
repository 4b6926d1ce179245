// Date and time texts of any bytes, as a page's date cell or a caller gives
// them: the calendar fields they are read as, and the local seconds made of
// them at any moment of the clock. A text that is no real local time gives
// 0, never a time outside what the calendar can show.
#include "common/clock.h"
#include "common/local_time.h"
#include "fuzz_check.h"
#include "net/net.h"
#include "net/share_bonus_page.h"

namespace {

using namespace pintle;
using namespace pintle::fuzz;

constexpr std::size_t kChoiceBytes = 8;
// 30827-12-31 23:59:59 local, the last second the calendar can show.
constexpr int64_t kLastSecond = 910692730085LL;

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
    SplitInput in(data, size, kChoiceBytes);
    ManualClock clock(in.choices.ConsumeIntegralInRange<int64_t>(0, 0xFFFFFFFFLL));
    ScopedClock installed(clock);
    // "date|time": the first '|' splits the two texts.
    const std::size_t bar = in.bytes.find('|');
    const std::string_view date = in.bytes.substr(0, bar);
    const std::string_view time = bar == std::string_view::npos ? std::string_view("0:0:0") : in.bytes.substr(bar + 1);

    const DateTextFields f = ReadDateText(date, time);
    const int64_t seconds = ParseLocalDate(date, time);
    FUZZ_CHECK(seconds >= -86400 * 366 * 400LL && seconds <= kLastSecond);
    if (seconds != 0 && f.has_date) {
        // The seconds name the day that was asked for.
        const int64_t midnight = LocalMidnight(f.year, f.month, f.day);
        FUZZ_CHECK(midnight != 0 && seconds - midnight >= 0 && seconds - midnight < 86400 + 3600);
    }
    return 0;
}
