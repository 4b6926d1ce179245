// A history file: the header, the key its path names, every entry, and what
// a reader would distrust.
#include <cstring>
#include <vector>

#include "file_kinds.h"
#include "store/store_rules.h"

namespace inspect {
namespace {

// data\{assistant}\{code}\{qualifier}\{period}\{slot}.dat: the last six
// components of the path, when they have that shape.
void AddKeyFromPath(std::wstring_view path, Line& line) {
    std::vector<std::wstring> parts;
    std::wstring part;
    for (const wchar_t c : path) {
        if (c == L'\\' || c == L'/') {
            parts.push_back(part);
            part.clear();
        } else {
            part += c;
        }
    }
    parts.push_back(part);
    if (parts.size() < 6 || parts[parts.size() - 6] != L"data") return;
    const std::size_t n = parts.size();
    std::wstring slot = parts[n - 1];
    if (slot.size() > 4 && slot.substr(slot.size() - 4) == L".dat") slot.resize(slot.size() - 4);
    line.Text("key_assistant", Utf8(parts[n - 5]))
        .Text("key_code", Utf8(parts[n - 4]))
        .Text("key_qualifier", Utf8(parts[n - 3]))
        .Text("key_period", Utf8(parts[n - 2]))
        .Text("key_slot", Utf8(slot));
}

}  // namespace

void PrintHistory(std::wstring_view path, std::string_view bytes, Report& report) {
    using namespace pintle;
    const FileLayout layout = ExamineHistory(bytes.data(), bytes.size());
    Line header("history");
    header.Text("path", Utf8(path)).Int("file_size", static_cast<int64_t>(bytes.size()));
    AddKeyFromPath(path, header);
    if (!layout.header_complete) {
        report.Emit(header);
        report.Warn("the file is shorter than its 8-byte header: no count");
        return;
    }
    header.Int("format", layout.version).Int("count", layout.count).Int("whole_entries", static_cast<int64_t>(layout.whole));
    report.Emit(header);

    if (layout.version != kHistoryFormat) {
        report.Warn("format number " + std::to_string(layout.version) + " is not 2 (readers do not check it)");
    }
    if (layout.CountNegative()) report.Warn("negative count " + std::to_string(layout.count) + ": readers see no entries");
    if (layout.CountBeyondFile()) {
        report.Warn("count " + std::to_string(layout.count) + " is beyond the end of the file, which holds " +
                    std::to_string(layout.whole) + " whole entries");
    }
    if (layout.Torn()) {
        report.Warn("torn last entry: " + std::to_string(layout.tail_bytes) + " bytes after entry " +
                    std::to_string(layout.whole) + " do not make a whole entry");
    }
    if (layout.Uncounted()) {
        report.Warn(std::to_string(layout.whole - static_cast<uint64_t>(layout.count)) +
                    " whole entries after the counted ones are not counted");
    }

    uint32_t previous = 0;
    for (uint64_t i = 0; i < layout.whole; ++i) {
        HistoryEntry e;
        std::memcpy(&e, bytes.data() + HistoryEntryOffset(i), sizeof e);
        Line line("entry");
        line.Int("index", static_cast<int64_t>(i))
            .Int("time", e.time)
            .Text("local_time", LocalTimeText(e.time))
            .Real("value", e.value);
        if (i >= layout.trusted) line.Bool("counted", false);
        report.Emit(line);
        // Readers search the entries by time: they must be in order.
        if (i > 0 && i < layout.trusted && static_cast<int32_t>(e.time) < static_cast<int32_t>(previous)) {
            report.Warn("entry " + std::to_string(i) + " is older than entry " + std::to_string(i - 1));
        }
        previous = e.time;
    }
}

}  // namespace inspect
