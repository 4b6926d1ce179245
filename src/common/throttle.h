// Throttles on wall-clock seconds, read through the clock seam. A line that a
// formula would write on every recalculation is written once per interval
// instead. A reading earlier than the stored one (the clock was set back)
// counts as time having passed: a clock set back by an hour must not silence
// a line, or freeze a re-check, for that hour. Byte-level, no locks: the
// owner of a table serialises its use.
#pragma once
#include <cstddef>
#include <cstdint>
#include <iterator>
#include <limits>
#include <map>

namespace pintle {

// Seconds from `last` to `now`; "ever so long" when the clock went back.
inline int64_t SecondsSince(int64_t last, int64_t now) {
    return now < last ? std::numeric_limits<int64_t>::max() : now - last;
}

// One key let through at most once per `seconds`. Entries older than the
// interval are dropped once the table holds more than kMaxEntries, so a
// formula that names ever new keys (codes, paths) cannot grow it for ever.
template <class Key>
class ThrottleTable {
public:
    static constexpr std::size_t kMaxEntries = 10000;

    explicit ThrottleTable(int64_t seconds) : seconds_(seconds) {}

    // True, and remembered, when the key was not let through in the last
    // `seconds` seconds.
    bool Allow(const Key& key, int64_t now) {
        const auto [it, fresh] = last_.try_emplace(key, now);
        if (!fresh) {
            if (SecondsSince(it->second, now) < seconds_) return false;
            it->second = now;
        }
        if (last_.size() > kMaxEntries) {
            for (auto e = last_.begin(); e != last_.end();) {
                e = SecondsSince(e->second, now) >= seconds_ ? last_.erase(e) : std::next(e);
            }
        }
        return true;
    }
    std::size_t Size() const { return last_.size(); }
    void Clear() { last_.clear(); }

private:
    int64_t seconds_;
    std::map<Key, int64_t> last_;
};

}  // namespace pintle
