#include "store/store_rules.h"

#include <algorithm>
#include <cstring>
#include <tuple>

namespace pintle {

bool operator<(const ValueKey& a, const ValueKey& b) {
    // std::string compares as unsigned bytes, then by length.
    return std::tie(a.code, a.qualifier, a.slot, a.period, a.assistant) <
           std::tie(b.code, b.qualifier, b.slot, b.period, b.assistant);
}

bool operator==(const ValueKey& a, const ValueKey& b) {
    return std::tie(a.code, a.qualifier, a.slot, a.period, a.assistant) ==
           std::tie(b.code, b.qualifier, b.slot, b.period, b.assistant);
}

bool IsStorableCode(std::string_view code) {
    return code.size() <= kStoreCodeMaxBytes && code.find('\0') == std::string_view::npos;
}

bool IsHistorySlot(int32_t slot) { return (slot >= 86 && slot <= 99) || static_cast<uint32_t>(slot) > 9999u; }

ValueKey MakeValueKey(std::string_view code, int32_t qualifier, int32_t assistant, int32_t slot, uint8_t period) {
    return ValueKey{std::string(code), qualifier, slot, IsHistorySlot(slot) ? period : uint8_t{0}, assistant};
}

int32_t HistoryPeriodDirectory(int32_t slot, int32_t period) {
    if (slot == 92 || slot == 93 || period == 0) return 8;
    return period;
}

bool IsPlainPathComponent(std::wstring_view code) {
    if (code.empty() || code == L"." || code.find(L"..") != std::wstring_view::npos) return false;
    for (const wchar_t c : code) {
        if (c < 0x20 || c == 0x7F) return false;
        if (std::wstring_view(L"\\/:*?\"<>|").find(c) != std::wstring_view::npos) return false;
    }
    return true;
}

std::wstring HistoryRelativePath(std::wstring_view code, int32_t qualifier, int32_t assistant, int32_t slot,
                                 int32_t period) {
    // The magnitude as unsigned, so that the lowest slot has one too.
    const uint32_t magnitude = slot < 0 ? 0u - static_cast<uint32_t>(slot) : static_cast<uint32_t>(slot);
    std::wstring path = L"data\\";
    path += std::to_wstring(assistant) + L"\\";
    path += code;
    path += L"\\" + std::to_wstring(qualifier) + L"\\" + std::to_wstring(HistoryPeriodDirectory(slot, period)) + L"\\";
    path += std::to_wstring(magnitude) + L".dat";
    return path;
}

int64_t HistoryBucket(int32_t period, int32_t slot, uint32_t time) {
    const int32_t t = static_cast<int32_t>(time);
    switch (period) {
        case 1:
        case 3: return t / 60;
        case 4: return (t / 60) / 5;
        case 5: return (t / 60) / 15;
        case 6: return (t / 60) / 30;
        case 7: return (t / 60) / 60;
        default: return (slot == 92 || slot == 93) ? t : (t / 3600) / 24;
    }
}

HistoryAppend PlanHistoryAppend(int32_t period, int32_t slot, uint32_t last_time, uint32_t new_time) {
    const int64_t last = HistoryBucket(period, slot, last_time);
    const int64_t next = HistoryBucket(period, slot, new_time);
    if (next > last) return HistoryAppend::Append;
    if (next == last) return HistoryAppend::OverwriteLast;
    return HistoryAppend::Ignore;
}

namespace {

FileLayout Examine(const void* header, uint64_t file_size, bool data_db) {
    FileLayout layout;
    if (file_size < 8 || header == nullptr) {
        layout.tail_bytes = file_size;
        return layout;
    }
    int32_t words[2];
    std::memcpy(words, header, sizeof words);
    layout.header_complete = true;
    layout.version = words[0];
    layout.count = words[1];
    layout.record_size = data_db ? DataDbRecordSize(layout.version) : sizeof(HistoryEntry);
    layout.whole = (file_size - 8) / layout.record_size;
    layout.tail_bytes = (file_size - 8) % layout.record_size;
    layout.trusted = layout.count <= 0 ? 0 : std::min<uint64_t>(static_cast<uint64_t>(layout.count), layout.whole);
    return layout;
}

int32_t ReadInt32(const unsigned char* p) {
    int32_t v;
    std::memcpy(&v, p, sizeof v);
    return v;
}

}  // namespace

FileLayout ExamineDataDb(const void* header, uint64_t file_size) { return Examine(header, file_size, true); }
FileLayout ExamineHistory(const void* header, uint64_t file_size) { return Examine(header, file_size, false); }

bool IsKnownDataDbVersion(int32_t version) { return version >= 1 && version <= 4; }
bool IsCurrentDataDbVersion(int32_t version) { return version == 3 || version == 4; }
bool IsUpgradableDataDbVersion(int32_t version) { return version == 1 || version == 2; }

StoredRecord DecodeDataDbRecord(int32_t version, const void* bytes) {
    const auto* p = static_cast<const unsigned char*>(bytes);
    StoredRecord r;
    const void* nul = std::memchr(p, 0, 12);
    r.key.code.assign(reinterpret_cast<const char*>(p), nul ? static_cast<const unsigned char*>(nul) - p : 12);
    r.key.qualifier = ReadInt32(p + 12);
    if (version >= 3) {
        DataDbRecord rec;
        std::memcpy(&rec, p, sizeof rec);
        r.key.assistant = rec.assistant;
        r.key.slot = rec.slot;
        r.key.period = rec.period;
        r.value = rec.value;
        r.time = rec.time;
    } else {
        DataDbRecordOld rec;
        std::memcpy(&rec, p, sizeof rec);
        r.key.assistant = 0;
        r.key.slot = rec.slot;
        r.key.period = version == 2 ? static_cast<uint8_t>(rec.period) : uint8_t{0};
        r.value = rec.value;
        r.time = rec.time;
    }
    return r;
}

DataDbRecord EncodeDataDbRecord(const ValueKey& key, double value, uint32_t time) {
    DataDbRecord rec{};
    const std::size_t n = std::min(key.code.size(), sizeof rec.code - 1);
    std::memcpy(rec.code, key.code.data(), n);
    rec.qualifier = key.qualifier;
    rec.assistant = key.assistant;
    rec.slot = key.slot;
    rec.period = key.period;
    rec.value = value;
    rec.time = time;
    return rec;
}

std::optional<std::string> UpgradedDataDb(std::string_view old_file) {
    const FileLayout old = ExamineDataDb(old_file.data(), old_file.size());
    if (!old.header_complete || old.CountNegative() || !IsUpgradableDataDbVersion(old.version)) return std::nullopt;
    // Every whole record, counted or not, keeps its index; the count stays
    // as it was. The bytes of a torn last record stay behind the records, so
    // the file never gets shorter (they are still no whole record).
    std::string out(sizeof(DataDbHeader) + sizeof(DataDbRecord) * old.whole, '\0');
    const DataDbHeader header{kDataDbVersionUpgraded, old.count};
    std::memcpy(out.data(), &header, sizeof header);
    for (uint64_t i = 0; i < old.whole; ++i) {
        const StoredRecord r = DecodeDataDbRecord(old.version, old_file.data() + DataDbRecordOffset(old.version, i));
        // The old code field is copied as it stands (12 bytes), so even a code
        // without its terminator survives the rewrite unchanged.
        DataDbRecord rec = EncodeDataDbRecord(r.key, r.value, r.time);
        std::memcpy(rec.code, old_file.data() + DataDbRecordOffset(old.version, i), sizeof rec.code);
        std::memcpy(out.data() + DataDbRecordOffset(kDataDbVersionUpgraded, i), &rec, sizeof rec);
    }
    out += old_file.substr(static_cast<std::size_t>(DataDbRecordOffset(old.version, old.whole)));
    return out;
}

}  // namespace pintle
