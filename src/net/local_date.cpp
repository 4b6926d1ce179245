// A local date and time from the texts a page or a caller gives. Byte-level:
// the clock and the calendar come through common/.
#include "common/clock.h"
#include "common/local_time.h"
#include "net/net.h"
#include "net/share_bonus_page.h"

namespace pintle {

int64_t ParseLocalDate(std::string_view date, std::string_view time) {
    const DateTextFields f = ReadDateText(date, time);
    LocalTime t = ToLocalTime(NowSeconds());
    if (f.has_date) {
        t.year = f.year;
        t.month = f.month;
        t.day = f.day;
    }
    if (f.has_time) {
        t.hour = f.hour;
        t.minute = f.minute;
        t.second = f.second;
    }
    return LocalToSeconds(t);
}

}  // namespace pintle
