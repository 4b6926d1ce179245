// data.db of any version: the header, every record the file holds (counted
// or not) with its key decoded, and what a reader would distrust.
#include <map>

#include "file_kinds.h"
#include "store/store_rules.h"

namespace inspect {
namespace {

std::string Hex(std::string_view bytes) {
    static const char digits[] = "0123456789abcdef";
    std::string out;
    for (const unsigned char c : bytes) {
        out += digits[c >> 4];
        out += digits[c & 15];
    }
    return out;
}

bool NeedsBytes(std::string_view code) {
    for (const unsigned char c : code) {
        if (c < 0x20 || c >= 0x7F) return true;
    }
    return false;
}

}  // namespace

void PrintDataDb(std::wstring_view path, std::string_view bytes, Report& report) {
    using namespace pintle;
    const FileLayout layout = ExamineDataDb(bytes.data(), bytes.size());
    Line header("data.db");
    header.Text("path", Utf8(path)).Int("file_size", static_cast<int64_t>(bytes.size()));
    if (!layout.header_complete) {
        report.Emit(header);
        report.Warn("the file is shorter than its 8-byte header: no version, no count");
        return;
    }
    header.Int("version", layout.version)
        .Int("count", layout.count)
        .Int("record_size", static_cast<int64_t>(layout.record_size))
        .Int("whole_records", static_cast<int64_t>(layout.whole));
    report.Emit(header);

    if (!IsKnownDataDbVersion(layout.version)) {
        report.Warn("unknown version " + std::to_string(layout.version) + ": read as " +
                    std::to_string(layout.record_size) + "-byte records; no writer appends to or upgrades it");
    }
    if (layout.CountNegative()) report.Warn("negative count " + std::to_string(layout.count) + ": readers load nothing");
    if (layout.CountBeyondFile()) {
        report.Warn("count " + std::to_string(layout.count) + " is beyond the end of the file, which holds " +
                    std::to_string(layout.whole) + " whole records");
    }
    if (layout.Torn()) {
        report.Warn("torn last record: " + std::to_string(layout.tail_bytes) + " bytes after record " +
                    std::to_string(layout.whole) + " do not make a whole record");
    }
    if (layout.Uncounted()) {
        report.Warn(std::to_string(layout.whole - static_cast<uint64_t>(layout.count)) +
                    " whole records after the counted ones are not counted");
    }

    // Which record is the one readers keep for each key: the last counted one.
    std::map<ValueKey, uint64_t> last;
    for (uint64_t i = 0; i < layout.trusted; ++i)
        last[DecodeDataDbRecord(layout.version, bytes.data() + DataDbRecordOffset(layout.version, i)).key] = i;

    for (uint64_t i = 0; i < layout.whole; ++i) {
        const char* at = bytes.data() + DataDbRecordOffset(layout.version, i);
        const StoredRecord r = DecodeDataDbRecord(layout.version, at);
        Line line("record");
        line.Int("index", static_cast<int64_t>(i)).Text("code", AnsiAsUtf8(r.key.code));
        if (NeedsBytes(r.key.code)) line.Text("code_bytes", Hex(r.key.code));
        line.Int("qualifier", r.key.qualifier)
            .Int("assistant", r.key.assistant)
            .Int("slot", r.key.slot)
            .Int("period", r.key.period)
            .Real("value", r.value)
            .Int("time", r.time)
            .Text("local_time", LocalTimeText(r.time));
        if (i >= layout.trusted) {
            line.Bool("counted", false);
        } else if (last[r.key] != i) {
            line.Int("superseded_by", static_cast<int64_t>(last[r.key]));
        }
        report.Emit(line);
    }
}

}  // namespace inspect
