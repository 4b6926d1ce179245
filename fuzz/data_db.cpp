// data.db of any version and any bytes, opened writable or read-only, read
// and written through the store, with a full disk or failing writes at any
// point, and a copy left by an upgrade that was cut short. Whatever the file
// holds: no read outside it, no value lost, no key given two records, no
// file made shorter; a read-only store writes nothing at all.
#include <set>

#include "common/clock.h"
#include "memory_files.h"
#include "store/key_value_store.h"
#include "store/series_rules.h"
#include "store_files.h"

namespace {

using namespace pintle;
using namespace pintle::fuzz;

const std::wstring kDb = L"C:\\fuzz\\TradeSelfData\\data.db";
const std::wstring kBackup = kDb + L".pintle-upgrade";
const std::wstring kBackupTemp = kDb + L".pintle-upgrade.tmp";
const std::wstring kUsersCopy = kDb + L".bak";  // the user's: never read, never touched
constexpr std::size_t kChoiceBytes = 48;

bool IsHistory(int32_t slot) { return (slot >= 86 && slot <= 99) || static_cast<uint32_t>(slot) > 9999u; }

std::string PickCode(FuzzedDataProvider& c, const DbFile& file) {
    switch (c.ConsumeIntegralInRange(0, 3)) {
        case 0:
            if (!file.records.empty())
                return std::get<0>(file.records[c.ConsumeIntegralInRange<std::size_t>(0, file.records.size() - 1)].first);
            [[fallthrough]];
        case 1: return "6" + std::to_string(c.ConsumeIntegralInRange(0, 99999));
        case 2: return c.ConsumeBytesAsString(c.ConsumeIntegralInRange(0, 12));
        default: return "\xC8\xAB\xBE\xD6";
    }
}

int32_t PickSlot(FuzzedDataProvider& c) {
    static const int32_t slots[] = {100, 101, 9999, 10001, 86, 92, 93, -1};
    if (c.ConsumeBool()) return slots[c.ConsumeIntegralInRange<std::size_t>(0, std::size(slots) - 1)];
    return c.ConsumeIntegral<int32_t>();
}

void ConvertEveryWay(double stored, int64_t now) {
    for (const TimeConversion conversion :
         {TimeConversion::None, TimeConversion::DateNumber, TimeConversion::Days, TimeConversion::Seconds}) {
        ConvertStoredTime(conversion, false, stored, now);
        ConvertStoredTime(conversion, true, stored, now);
    }
}

// Every value of `before` reads back through the store as it stands there.
void ReadEveryKey(KeyValueStore& store, const std::map<DbKey, uint64_t>& before, int64_t now) {
    for (const auto& [key, bits] : before) {
        const auto& [code, qualifier, slot, period, assistant] = key;
        if (period != 0 || code.size() > 9) continue;
        const StoredValue v = store.ReadValue(code, qualifier, assistant, slot);
        FUZZ_CHECK(Bits(v.value) == bits);
        ConvertEveryWay(v.value, now);
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
    SplitInput in(data, size, kChoiceBytes);
    FuzzedDataProvider& c = in.choices;
    native::RemoveAllFiles();
    ManualClock clock(c.ConsumeIntegralInRange<int64_t>(0, 0xFFFFFFFFLL));
    ScopedClock installed(clock);

    const bool writable = c.ConsumeBool();
    const std::string original(in.bytes);
    if (!original.empty() || c.ConsumeBool()) native::PutFile(kDb, original);
    // An upgrade cut short leaves the old file's copy beside a half-written
    // data.db; an unfinished copy leaves a temporary file.
    const int leftover = c.ConsumeIntegralInRange(0, 2);
    const std::size_t cut = c.ConsumeIntegralInRange<std::size_t>(0, original.size());
    if (leftover == 1) {
        native::PutFile(kBackup, original);
        native::PutFile(kDb, original.substr(0, cut) + std::string(c.ConsumeIntegralInRange(0, 100), 'x'));
    } else if (leftover == 2) {
        native::PutFile(kBackupTemp, original.substr(0, cut));
    }
    if (c.ConsumeBool()) native::PutFile(kUsersCopy, original.substr(0, cut));
    const auto files_before = native::FileNames();
    std::map<std::wstring, std::string> bytes_before;
    for (const auto& name : files_before) bytes_before[name] = *native::FileBytes(name);

    // What the store should start from: the copy, when a writable open
    // restores it.
    // The copy is ours and old, and data.db holds nothing or still has the
    // copy's header: the upgrade never got to write its header.
    const std::string db_now = native::FileBytes(kDb).value_or("");
    const bool copy_old = original.size() >= 8 && (Word(original, 0) == 1 || Word(original, 0) == 2);
    const bool restores = writable && leftover == 1 && copy_old &&
                          (db_now.size() < 8 || db_now.compare(0, 8, original, 0, 8) == 0);
    const std::string start = restores ? original : native::FileBytes(kDb).value_or("");
    const DbFile before = DecodeDb(start);

    const int faults = c.ConsumeIntegralInRange(0, 3);
    if (faults & 1) native::SetDiskCapacity(static_cast<int64_t>(start.size()) + c.ConsumeIntegralInRange(0, 300));
    if (faults & 2) native::FailWritesAfter(c.ConsumeIntegralInRange(0, 12));

    KeyValueStore store;
    store.Open(kDb, writable);
    if (faults == 0 || !restores) ReadEveryKey(store, Values(before, before.trusted), clock.NowSeconds());

    // Which keys were written, with every value they were given.
    std::map<DbKey, std::vector<uint64_t>> written;
    const DbFile opened = DecodeDb(native::FileBytes(kDb).value_or(""));
    const bool accepts = writable && faults == 0 && opened.header && (opened.version == 3 || opened.version == 4) &&
                         opened.count >= 0;
    const int writes = c.ConsumeIntegralInRange(0, 6);
    for (int i = 0; i < writes; ++i) {
        const std::string code = PickCode(c, before);
        const int32_t qualifier = c.ConsumeIntegralInRange(-1, 2);
        const int32_t assistant = c.ConsumeIntegralInRange(-1, 2);
        const int32_t slot = PickSlot(c);
        const int32_t period = c.ConsumeBool() ? c.ConsumeIntegralInRange(0, 9) : c.ConsumeIntegral<int32_t>();
        const double value = c.ConsumeFloatingPoint<double>();
        const uint32_t bar_time = c.ConsumeBool() ? kNoBarTime : c.ConsumeIntegral<uint32_t>();
        store.WriteValue(code, qualifier, assistant, slot, value, period, bar_time);
        clock.AdvanceSeconds(c.ConsumeIntegralInRange(0, 100000));
        if (code.size() > 9 || code.find('\0') != std::string::npos) continue;  // never stored
        const DbKey key{code, qualifier, slot, IsHistory(slot) ? static_cast<uint8_t>(period) : uint8_t{0}, assistant};
        written[key].push_back(Bits(value));
        if (accepts && std::get<3>(key) == 0) {
            FUZZ_CHECK(Bits(store.ReadValue(code, qualifier, assistant, slot).value) == Bits(value));
        }
    }
    store.ReloadIfChanged();
    store.Close();

    if (!writable) {
        // Nothing written, created or removed.
        FUZZ_CHECK(native::FileNames() == files_before);
        for (const auto& [name, bytes] : bytes_before) FUZZ_CHECK(native::FileBytes(name) == bytes);
        return 0;
    }

    // A later open without faults finishes whatever was left half done.
    native::SetDiskCapacity(-1);
    native::FailWritesAfter(-1);
    KeyValueStore again;
    again.Open(kDb, true);
    again.Close();
    const std::string end = native::FileBytes(kDb).value_or("");
    const DbFile after = DecodeDb(end);
    FUZZ_CHECK(end.size() >= start.size());
    // The temporary copy is gone; a copy of ours is gone once data.db no
    // longer needs it, and one that was not used is left exactly as it was.
    // The user's own copy is never touched.
    FUZZ_CHECK(!native::FileBytes(kBackupTemp));
    if (const auto copy = native::FileBytes(kBackup)) FUZZ_CHECK(leftover == 1 && !restores && *copy == original);
    const auto users = bytes_before.find(kUsersCopy);
    FUZZ_CHECK(native::FileBytes(kUsersCopy) ==
               (users == bytes_before.end() ? std::nullopt : std::optional<std::string>(users->second)));

    // Every value the file held is still there, unless its key was written.
    const auto trusted_before = Values(before, before.trusted);
    const auto whole_before = Values(before, before.whole);
    const auto values_after = Values(after, after.trusted);
    for (const auto& [key, bits] : whole_before) {
        if (written.count(key)) continue;
        const auto now = values_after.find(key);
        const auto was = trusted_before.find(key);
        if (was == trusted_before.end()) {
            FUZZ_CHECK(now == values_after.end() || now->second == bits);
        } else {
            FUZZ_CHECK(now != values_after.end() && (now->second == bits || now->second == was->second));
        }
    }
    // A key written is there with one of its values (the last one when no
    // fault got in the way), and no key has two records.
    for (const auto& [key, values] : written) {
        const auto now = values_after.find(key);
        if (accepts) {
            FUZZ_CHECK(now != values_after.end() && now->second == values.back());
        } else if (now != values_after.end()) {
            const auto was = whole_before.find(key);
            const std::set<uint64_t> allowed(values.begin(), values.end());
            FUZZ_CHECK(allowed.count(now->second) || (was != whole_before.end() && was->second == now->second));
        }
    }
    if (!HasDuplicateKeys(before, before.whole)) FUZZ_CHECK(!HasDuplicateKeys(after, after.trusted));
    return 0;
}
