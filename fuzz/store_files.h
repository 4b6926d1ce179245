// The store files as the fuzzers see them, decoded independently of the
// store's own code: data.db records by version, history entries, and the
// checks that no stored value went missing.
#pragma once
#include <cstdint>
#include <cstring>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <tuple>
#include <vector>

#include "fuzz_check.h"

namespace pintle::fuzz {

inline int32_t Word(std::string_view bytes, std::size_t at) {
    int32_t v = 0;
    std::memcpy(&v, bytes.data() + at, sizeof v);
    return v;
}

inline uint64_t Bits(double v) {
    uint64_t b = 0;
    std::memcpy(&b, &v, sizeof b);
    return b;
}

// code, qualifier, slot, period, assistant
using DbKey = std::tuple<std::string, int32_t, int32_t, uint8_t, int32_t>;

struct DbFile {
    bool header = false;
    int32_t version = 0;
    int32_t count = 0;
    std::size_t record_size = 0;
    std::size_t whole = 0;    // complete records after the header
    std::size_t trusted = 0;  // the count, held to what the file holds
    std::vector<std::pair<DbKey, uint64_t>> records;  // every whole record: key, value bits
};

inline DbFile DecodeDb(std::string_view bytes) {
    DbFile f;
    if (bytes.size() < 8) return f;
    f.header = true;
    f.version = Word(bytes, 0);
    f.count = Word(bytes, 4);
    f.record_size = f.version >= 3 ? 48 : 40;
    f.whole = (bytes.size() - 8) / f.record_size;
    f.trusted = f.count <= 0 ? 0 : std::min<std::size_t>(static_cast<std::size_t>(f.count), f.whole);
    for (std::size_t i = 0; i < f.whole; ++i) {
        const std::string_view r = bytes.substr(8 + i * f.record_size, f.record_size);
        const std::size_t nul = r.substr(0, 12).find('\0');
        std::string code(r.substr(0, nul == std::string_view::npos ? 12 : nul));
        double value = 0;
        DbKey key;
        if (f.version >= 3) {
            std::memcpy(&value, r.data() + 32, 8);
            key = {std::move(code), Word(r, 12), Word(r, 20), static_cast<uint8_t>(r[24]), Word(r, 16)};
        } else {
            std::memcpy(&value, r.data() + 24, 8);
            const uint8_t period = f.version == 2 ? static_cast<uint8_t>(Word(r, 20)) : 0;
            key = {std::move(code), Word(r, 12), Word(r, 16), period, 0};
        }
        f.records.emplace_back(std::move(key), Bits(value));
    }
    return f;
}

// Key to value of the first `n` records, a later record winning.
inline std::map<DbKey, uint64_t> Values(const DbFile& f, std::size_t n) {
    std::map<DbKey, uint64_t> values;
    for (std::size_t i = 0; i < n && i < f.records.size(); ++i) values[f.records[i].first] = f.records[i].second;
    return values;
}

inline bool HasDuplicateKeys(const DbFile& f, std::size_t n) { return Values(f, n).size() != std::min(n, f.records.size()); }

}  // namespace pintle::fuzz
