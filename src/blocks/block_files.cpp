// The byte-level rules of the terminals' block files: reading, keys, edits.
// No Windows header: the file adapter (block_files_win.cpp) brings the bytes.
#include <algorithm>
#include <cstring>

#include "blocks/blocks.h"

namespace pintle {
namespace {

bool StartsWith(std::string_view text, std::string_view prefix) {
    return text.size() >= prefix.size() && text.substr(0, prefix.size()) == prefix;
}

char Upper(char c) { return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c; }

// "SH" or "SZ" whatever the case of the two letters; empty otherwise.
std::string MarketPrefix(std::string_view two) {
    if (two.size() != 2) return {};
    const char a = Upper(two[0]), b = Upper(two[1]);
    if (a != 'S' || (b != 'H' && b != 'Z')) return {};
    return std::string{a, b};
}

void EraseAll(std::string& text, std::string_view mark) {
    for (auto pos = text.find(mark); pos != std::string::npos; pos = text.find(mark, pos)) text.erase(pos, mark.size());
}

void ScanEntries(std::string_view bytes, DzhBlockFile& file) {
    const std::string_view body = bytes.substr(kDzhScanStart);
    std::size_t i = 0;
    while (i + kDzhEntrySize <= body.size()) {
        if (body[i] == 'S' && (body[i + 1] == 'H' || body[i + 1] == 'Z')) {
            if (DzhCodeValid(body.substr(i + 2, kDzhEntrySize - 2))) {
                file.entries.push_back({std::string(body.substr(i, kDzhEntrySize)), kDzhScanStart + i});
            }
            i += kDzhEntrySize;
        } else {
            ++i;
        }
    }
}

void ReadRecords(std::string_view bytes, DzhBlockFile& file) {
    const DzhBlockLayout l = kDzhLayoutA5;
    for (std::size_t at = l.header_size; at + l.record_size <= bytes.size(); at += l.record_size) {
        const std::string_view record = bytes.substr(at, l.record_size);
        const std::string_view text = record.substr(0, std::min(record.find('\0'), record.size()));
        if (!text.empty()) file.entries.push_back({std::string(text), at});
    }
}

std::string Record(std::string_view key, std::size_t size) {
    std::string record(key.substr(0, std::min(key.size(), size)));
    record.resize(size, '\0');
    return record;
}

// The header an empty file gets: DzhBlockFormat's four bytes, and a zero
// fifth byte for the 16-byte layout.
std::string HeaderOf(uint32_t format, const DzhBlockLayout& layout) {
    std::string header(layout.header_size, '\0');
    for (std::size_t i = 0; i < 4 && i < header.size(); ++i) header[i] = static_cast<char>((format >> (8 * i)) & 0xFF);
    return header;
}

// The edit is only taken when the reader sees exactly the expected list:
// every other entry as before, and the changed one where it was put.
DzhEdit Checked(std::string bytes, bool slf_path, const std::vector<std::string>& expected) {
    if (DzhBlockTexts(DecodeDzhBlock(bytes, slf_path)) != expected) return {DzhEditStatus::kUnreadableKey, {}};
    return {DzhEditStatus::kRewrite, std::move(bytes)};
}

bool HasText(const DzhBlockFile& file, std::string_view key) {
    return std::any_of(file.entries.begin(), file.entries.end(), [&](const DzhBlockEntry& e) { return e.text == key; });
}

}  // namespace

bool DzhCodeValid(std::string_view code_bytes) {
    std::string code(code_bytes.substr(0, std::min(code_bytes.find('\0'), code_bytes.size())));
    EraseAll(code, "sz");
    EraseAll(code, "sh");
    return code.size() >= 5 && std::all_of(code.begin(), code.end(), [](char c) { return c >= '0' && c <= '9'; });
}

DzhBlockFile DecodeDzhBlock(std::string_view bytes, bool slf_path) {
    DzhBlockFile file;
    if (bytes.size() >= 2) {
        file.format = static_cast<uint16_t>(static_cast<uint8_t>(bytes[0]) | (static_cast<uint8_t>(bytes[1]) << 8));
    }
    file.scanned = file.format == kDzhBlockFormatA5 || file.format == kDzhBlockFormatA6 || slf_path;
    file.layout = file.format == kDzhBlockFormatA6 ? kDzhLayoutA6 : kDzhLayoutA5;
    if (bytes.size() >= file.layout.header_size) {
        const std::size_t body = bytes.size() - file.layout.header_size;
        file.record_count = body / file.layout.record_size;
        file.tail_size = body % file.layout.record_size;
    } else {
        file.tail_size = bytes.size();
    }
    if (bytes.size() < kDzhScanStart) return file;
    if (file.scanned) {
        ScanEntries(bytes, file);
    } else {
        ReadRecords(bytes, file);
    }
    return file;
}

std::vector<std::string> DzhBlockTexts(const DzhBlockFile& file) {
    std::vector<std::string> texts;
    texts.reserve(file.entries.size());
    for (const auto& e : file.entries) texts.push_back(e.text);
    return texts;
}

std::string DzhBlockKey(std::string_view label) {
    if (label.empty()) return {};
    // A market prefix in front, in any case: "SH600000" stays as it is,
    // "sh600000" would otherwise become "SZsh600000", which no reader finds.
    if (const std::string prefix = MarketPrefix(label.substr(0, std::min<std::size_t>(2, label.size())));
        !prefix.empty()) {
        if (label.size() == 2) return {};
        if (StartsWith(label, prefix)) return std::string(label);
        return prefix + std::string(label.substr(2));
    }
    // A market suffix after a dot: "600000.SH".
    if (const auto dot = label.rfind('.'); dot != std::string_view::npos) {
        const std::string prefix = MarketPrefix(label.substr(dot + 1));
        if (!prefix.empty()) return dot == 0 ? std::string() : prefix + std::string(label.substr(0, dot));
    }
    if (label.find("SH") != std::string_view::npos || label.find("SZ") != std::string_view::npos) {
        return std::string(label);
    }
    return (label[0] == '6' ? "SH" : "SZ") + std::string(label);
}

int32_t DzhBlockCount(uint16_t format, int64_t file_size) {
    const int64_t n = format == kDzhBlockFormatA5 ? (file_size - 4) / 12 : (file_size - 5) / 16;
    return static_cast<int32_t>(std::clamp<int64_t>(n, INT32_MIN, INT32_MAX));
}

DzhEdit AddDzhEntry(std::string_view bytes, bool slf_path, std::string_view key, bool top, uint32_t format) {
    const DzhBlockFile file = DecodeDzhBlock(bytes, slf_path);
    if (HasText(file, key)) return {};
    std::vector<std::string> expected = DzhBlockTexts(file);
    expected.insert(top ? expected.begin() : expected.end(), std::string(key));

    if (bytes.empty()) {
        const DzhBlockLayout layout = (format & 0xFF) == 0xA5 ? kDzhLayoutA5 : kDzhLayoutA6;
        return Checked(HeaderOf(format, layout) + Record(key, layout.record_size), slf_path, expected);
    }
    // Shorter than its own header: a damaged file, nothing to build on.
    if (bytes.size() < file.layout.header_size) return {DzhEditStatus::kBadLayout, {}};
    const std::size_t at = file.layout.header_size + (top ? 0 : file.record_count * file.layout.record_size);
    std::string out(bytes.substr(0, at));
    out += Record(key, file.layout.record_size);
    out += bytes.substr(at);
    return Checked(std::move(out), slf_path, expected);
}

DzhEdit RemoveDzhEntry(std::string_view bytes, bool slf_path, std::string_view key) {
    const DzhBlockFile file = DecodeDzhBlock(bytes, slf_path);
    const auto hit = std::find_if(file.entries.begin(), file.entries.end(),
                                  [&](const DzhBlockEntry& e) { return e.text == key; });
    if (hit == file.entries.end()) return {};
    const DzhBlockLayout& l = file.layout;
    // Only a whole record goes: an entry found across a record boundary
    // cannot be taken out without cutting its neighbours.
    if (hit->offset < l.header_size || (hit->offset - l.header_size) % l.record_size != 0 ||
        hit->offset + l.record_size > bytes.size()) {
        return {DzhEditStatus::kBadLayout, {}};
    }
    std::vector<std::string> expected = DzhBlockTexts(file);
    expected.erase(expected.begin() + (hit - file.entries.begin()));
    std::string out(bytes.substr(0, hit->offset));
    out += bytes.substr(hit->offset + l.record_size);
    return Checked(std::move(out), slf_path, expected);
}

std::vector<std::string> SplitTdxLines(std::string_view bytes) {
    std::vector<std::string> lines;
    std::size_t start = 0;
    while (start < bytes.size()) {
        std::size_t end = bytes.find('\n', start);
        if (end == std::string_view::npos) end = bytes.size();
        std::string line(bytes.substr(start, end - start));
        line.erase(std::remove(line.begin(), line.end(), '\r'), line.end());
        lines.push_back(std::move(line));
        start = end + 1;
    }
    return lines;
}

std::string JoinTdxLines(const std::vector<std::string>& lines) {
    std::string out;
    for (std::size_t i = 0; i < lines.size(); ++i) {
        if (i > 0) out += "\r\n";
        out += lines[i];
    }
    return out;
}

char TdxMarketDigit(std::string_view code) {
    if (StartsWith(code, "8")) return '2';
    for (std::string_view p : {"6", "5", "7", "204", "113", "122", "124", "110"}) {
        if (StartsWith(code, p)) return '1';
    }
    return '0';
}

}  // namespace pintle
