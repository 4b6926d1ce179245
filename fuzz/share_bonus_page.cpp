// A share-bonus page of any bytes, as a broken or hostile server might send
// it: both tables parsed into one list. Every record it gives has a date,
// and every figure is finite and not negative (the price adjustment divides
// by them), whatever the cells hold; the whole page gives them sorted, at
// most kShareBonusRecordCap.
#include <algorithm>
#include <cmath>

#include "common/local_time.h"
#include "fuzz_check.h"
#include "net/share_bonus_page.h"

namespace {

using namespace pintle;

bool Usable(float v) { return std::isfinite(v) && v >= 0.0f; }

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
    const std::string_view page(reinterpret_cast<const char*>(data), size);
    std::vector<ShareBonusRecord> records;
    ParseShareBonusTable(page, 1, records, LocalMidnight);
    const std::size_t from_table_1 = records.size();
    ParseShareBonusTable(page, 2, records, LocalMidnight);
    FUZZ_CHECK(records.size() >= from_table_1);
    for (const ShareBonusRecord& r : records) {
        FUZZ_CHECK(r.ex_date != 0);
        FUZZ_CHECK(Usable(r.bonus_shares) && Usable(r.rights_shares) && Usable(r.rights_price) && Usable(r.cash));
    }
    // The whole page: the same records sorted by ex-date, the latest
    // kShareBonusRecordCap of them.
    std::vector<ShareBonusRecord> page_records;
    const bool dropped = ParseShareBonusPage(page, page_records, LocalMidnight);
    FUZZ_CHECK(dropped == (records.size() > kShareBonusRecordCap));
    FUZZ_CHECK(page_records.size() == std::min(records.size(), kShareBonusRecordCap));
    std::stable_sort(records.begin(), records.end(),
                     [](const ShareBonusRecord& a, const ShareBonusRecord& b) { return a.ex_date < b.ex_date; });
    FUZZ_CHECK(std::equal(page_records.begin(), page_records.end(), records.end() - page_records.size()));
    // Any stretch of the page as one cell.
    const float number = CellNumber(CellText(page));
    FUZZ_CHECK(Usable(number));
    return 0;
}
