// A history file of any bytes, read through both kinds of store and appended
// to by writes of any bar times and periods, sometimes on a full disk or
// with failing writes; then laid onto bars. Entries read are exactly the
// entries the file holds; an append keeps every entry before the last, puts
// the new one where the bucket rule says, and never shortens the file.
#include <vector>

#include "common/clock.h"
#include "memory_files.h"
#include "store/key_value_store.h"
#include "store/series_rules.h"
#include "store/store_rules.h"
#include "store_files.h"

namespace {

using namespace pintle;
using namespace pintle::fuzz;

const std::wstring kDir = L"C:\\fuzz\\TradeSelfData\\";
const std::wstring kDb = kDir + L"data.db";
constexpr std::size_t kChoiceBytes = 64;

struct Point {
    uint32_t time;
    uint64_t value;
    bool operator==(const Point&) const = default;
};

// Entries 0..n-1 of a history file's bytes.
std::vector<Point> EntriesOf(std::string_view bytes, std::size_t n) {
    std::vector<Point> points;
    for (std::size_t i = 0; i < n && 8 + 16 * (i + 1) <= bytes.size(); ++i) {
        double v = 0;
        std::memcpy(&v, bytes.data() + 8 + 16 * i + 8, 8);
        points.push_back({static_cast<uint32_t>(Word(bytes, 8 + 16 * i)), Bits(v)});
    }
    return points;
}

std::size_t Trusted(std::string_view bytes) {
    if (bytes.size() < 8) return 0;
    const int32_t count = Word(bytes, 4);
    return count <= 0 ? 0 : std::min<std::size_t>(static_cast<std::size_t>(count), (bytes.size() - 8) / 16);
}

// The bucket rule, written out again: signed 32-bit times, truncating
// division, the UTC day for day periods, the second for slots 92 and 93.
int64_t Bucket(int32_t period, int32_t slot, uint32_t time) {
    const int32_t t = static_cast<int32_t>(time);
    if (period == 1 || period == 3) return t / 60;
    if (period >= 4 && period <= 7) {
        static const int32_t minutes[] = {5, 15, 30, 60};
        return (t / 60) / minutes[period - 4];
    }
    return slot == 92 || slot == 93 ? t : (t / 3600) / 24;
}

std::vector<Point> ReadThrough(bool writable, int32_t slot, int32_t period) {
    KeyValueStore store;
    store.Open(kDb, writable);
    std::vector<Point> points;
    for (const HistoryPoint& p : store.ReadHistory("600000", 1, 0, slot, period)) points.push_back({p.time, Bits(p.value)});
    return points;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
    SplitInput in(data, size, kChoiceBytes);
    FuzzedDataProvider& c = in.choices;
    native::RemoveAllFiles();
    ManualClock clock(c.ConsumeIntegralInRange<int64_t>(0, 0xFFFFFFFFLL));
    ScopedClock installed(clock);

    static const int32_t slots[] = {10001, 92, 93, 86, 99, -7, 20000};
    const int32_t slot = slots[c.ConsumeIntegralInRange<std::size_t>(0, std::size(slots) - 1)];
    const int32_t period = c.ConsumeBool() ? c.ConsumeIntegralInRange(0, 9) : c.ConsumeIntegral<int32_t>();
    const std::wstring path = kDir + HistoryRelativePath(L"600000", 1, 0, slot, period);
    const std::string original(in.bytes);
    if (!original.empty() || c.ConsumeBool()) native::PutFile(path, original);
    native::PutFile(kDb, std::string("\x04\0\0\0\0\0\0\0", 8));

    // Both stores read what the file holds, and only that.
    const std::vector<Point> held = EntriesOf(original, Trusted(original));
    FUZZ_CHECK(ReadThrough(false, slot, period) == held);
    FUZZ_CHECK(ReadThrough(true, slot, period) == held);
    const std::string start = native::FileBytes(path).value_or("");  // the writable read creates a missing file

    const int faults = c.ConsumeIntegralInRange(0, 3);
    if (faults & 1) native::SetDiskCapacity(16 + static_cast<int64_t>(start.size()) + c.ConsumeIntegralInRange(0, 100));
    if (faults & 2) native::FailWritesAfter(c.ConsumeIntegralInRange(0, 10));

    // The entries the file should hold, from its whole entries on.
    const bool refused = start.size() >= 8 && Word(start, 4) < 0;
    std::vector<Point> expected = start.size() < 8 ? std::vector<Point>{} : EntriesOf(start, (start.size() - 8) / 16);
    const std::size_t kept = expected.empty() ? 0 : expected.size() - 1;
    bool counted = false;
    KeyValueStore store;
    store.Open(kDb, true);
    const int writes = c.ConsumeIntegralInRange(0, 8);
    const int32_t bucket_period = period == 0 ? 8 : period;
    for (int i = 0; i < writes; ++i) {
        const double value = c.ConsumeFloatingPoint<double>();
        uint32_t bar_time = kNoBarTime;
        if (!c.ConsumeBool()) {
            const uint32_t last = expected.empty() ? 0 : expected.back().time;
            bar_time = c.ConsumeBool() ? last + c.ConsumeIntegralInRange<uint32_t>(0, 200000) : c.ConsumeIntegral<uint32_t>();
        }
        store.WriteValue("600000", 1, 0, slot, value, period, bar_time);
        const uint32_t entry_time = bar_time == kNoBarTime ? static_cast<uint32_t>(clock.NowSeconds()) : bar_time;
        clock.AdvanceSeconds(c.ConsumeIntegralInRange(0, 4000));
        if (refused) continue;
        const Point entry{entry_time, Bits(value)};
        if (expected.empty() || Bucket(bucket_period, slot, entry_time) > Bucket(bucket_period, slot, expected.back().time)) {
            expected.push_back(entry);
            counted = true;
        } else if (Bucket(bucket_period, slot, entry_time) == Bucket(bucket_period, slot, expected.back().time)) {
            expected.back() = entry;
            counted = true;
        }
    }
    store.Close();
    native::SetDiskCapacity(-1);
    native::FailWritesAfter(-1);

    const std::string end = native::FileBytes(path).value_or("");
    FUZZ_CHECK(end.size() >= start.size());
    const std::size_t whole = end.size() < 8 ? 0 : (end.size() - 8) / 16;
    const std::vector<Point> now = EntriesOf(end, whole);
    if (faults == 0) {
        FUZZ_CHECK(std::vector<Point>(now.begin(), now.begin() + std::min(now.size(), expected.size())) == expected);
        FUZZ_CHECK(now.size() >= expected.size());
        if (counted) FUZZ_CHECK(Word(end, 4) == static_cast<int32_t>(expected.size()));
        if (!counted && start.size() >= 8) FUZZ_CHECK(end.substr(0, 8) == start.substr(0, 8));
    } else {
        // Whatever failed, the entries before the last one stay as they were.
        FUZZ_CHECK(now.size() >= kept);
        FUZZ_CHECK(std::vector<Point>(now.begin(), now.begin() + kept) ==
                   std::vector<Point>(expected.begin(), expected.begin() + kept));
    }

    // What the readers give after the writes is what the file now holds.
    const std::vector<Point> readable = EntriesOf(end, Trusted(end));
    FUZZ_CHECK(ReadThrough(false, slot, period) == readable);

    // Laid onto bars of any period, ratios of the first value included.
    std::vector<HistoryPoint> series;
    for (const Point& p : readable) {
        double v = 0;
        std::memcpy(&v, &p.value, sizeof v);
        series.push_back({p.time, v});
    }
    std::vector<uint32_t> bars(c.ConsumeIntegralInRange<std::size_t>(0, 64));
    for (uint32_t& t : bars) t = c.ConsumeIntegral<uint32_t>();
    if (!readable.empty() && c.ConsumeBool()) bars.push_back(readable.back().time);
    const int32_t chart_period = c.ConsumeIntegralInRange(0, 120);
    // The search is meant for entries in time order; it must stay inside
    // the series whatever the order is.
    for (const std::ptrdiff_t m : MatchBars(series, bars, chart_period)) {
        FUZZ_CHECK(m >= -1 && m < static_cast<std::ptrdiff_t>(series.size()));
    }
    DivideByFirst(series);
    return 0;
}
