// The terminals' block files (stock lists): a DZH-style binary file
// (USERDATA\block\NAME.BLK) with its format, layout and entries as the
// terminal reads them, or a TDX text file (T0002\blocknew\NAME.blk) line by
// line, and what a reader would distrust in either.
#include "blocks/blocks.h"
#include "common/paths.h"
#include "file_kinds.h"

namespace inspect {
namespace {

bool EndsWithIgnoringCase(std::wstring_view name, std::wstring_view tail) {
    return name.size() >= tail.size() && pintle::EqualsIgnoringAsciiCase(name.substr(name.size() - tail.size()), tail);
}

bool ContainsIgnoringCase(std::wstring_view text, std::wstring_view part) {
    for (std::size_t i = 0; i + part.size() <= text.size(); ++i) {
        if (pintle::EqualsIgnoringAsciiCase(text.substr(i, part.size()), part)) return true;
    }
    return false;
}

}  // namespace

bool IsBlockFile(std::wstring_view file_name) {
    return EndsWithIgnoringCase(file_name, L".blk") || EndsWithIgnoringCase(file_name, L".slf");
}

void PrintDzhBlock(std::wstring_view path, std::string_view bytes, Report& report) {
    using namespace pintle;
    const bool slf = ContainsIgnoringCase(path, L".slf");
    const DzhBlockFile file = DecodeDzhBlock(bytes, slf);
    Line header("dzh-block");
    header.Text("path", Utf8(path))
        .Int("file_size", static_cast<int64_t>(bytes.size()))
        .Int("format", file.format)
        .Int("header_size", static_cast<int64_t>(file.layout.header_size))
        .Int("record_size", static_cast<int64_t>(file.layout.record_size))
        .Int("whole_records", static_cast<int64_t>(file.record_count))
        .Int("terminal_count", DzhBlockCount(file.format, static_cast<int64_t>(bytes.size())))
        .Bool("scanned", file.scanned);
    report.Emit(header);

    if (bytes.size() < file.layout.header_size) report.Warn("the file is shorter than its header: it holds no entries");
    if (file.format != kDzhBlockFormatA5 && file.format != kDzhBlockFormatA6 && !bytes.empty()) {
        report.Warn("format " + std::to_string(file.format) +
                    " is neither 0xA5 nor 0xA6: read as 12-byte records after a 4-byte header");
    }
    if (file.tail_size != 0) {
        report.Warn("torn last record: " + std::to_string(file.tail_size) + " bytes after record " +
                    std::to_string(file.record_count) + " do not make a whole record");
    }
    for (std::size_t i = 0; i < file.entries.size(); ++i) {
        const DzhBlockEntry& e = file.entries[i];
        Line line("entry");
        line.Int("index", static_cast<int64_t>(i)).Int("offset", static_cast<int64_t>(e.offset)).Text("text", AnsiAsUtf8(e.text));
        report.Emit(line);
    }
}

void PrintTdxBlock(std::wstring_view path, std::string_view bytes, Report& report) {
    using namespace pintle;
    const std::vector<std::string> lines = SplitTdxLines(bytes);
    Line header("tdx-block");
    header.Text("path", Utf8(path))
        .Int("file_size", static_cast<int64_t>(bytes.size()))
        .Int("lines", static_cast<int64_t>(lines.size()));
    report.Emit(header);
    if (bytes.size() >= 2 && bytes.substr(bytes.size() - 2) == "\r\n") {
        report.Warn("the file ends with a line end: the plug-in writes none after the last line");
    }
    for (std::size_t i = 0; i < lines.size(); ++i) {
        const std::string& text = lines[i];
        Line line("line");
        line.Int("index", static_cast<int64_t>(i)).Text("text", AnsiAsUtf8(text));
        if (text.size() == 7) line.Text("market", text.substr(0, 1)).Text("code", text.substr(1));
        report.Emit(line);
        if (text.size() != 7) report.Warn("line " + std::to_string(i) + " is not a market digit and a six-digit code");
    }
}

// A .blk file is the TDX terminal's when it lies under blocknew or reads as
// text (its first byte a digit); otherwise it is a DZH-style binary file.
void PrintBlock(std::wstring_view path, std::string_view bytes, Report& report) {
    const bool tdx = ContainsIgnoringCase(path, L"blocknew") ||
                     (!bytes.empty() && bytes[0] >= '0' && bytes[0] <= '9');
    (tdx ? PrintTdxBlock : PrintDzhBlock)(path, bytes, report);
}

}  // namespace inspect
