// Journal line texts. Records are read from the payload by memcpy into the
// shared layout structs, so a short or odd payload is never read past its end.
#include "journal_format.h"

#include <charconv>
#include <cstring>
#include <vector>

#include "formats/command_record.h"
#include "formats/quote_entry.h"

namespace kovalt {
namespace {

constexpr char kHexDigits[] = "0123456789abcdef";

// Text of a fixed narrow field up to its first zero byte.
std::string_view FieldText(const char* field, std::size_t size) {
    const void* zero = std::memchr(field, 0, size);
    return std::string_view(field, zero ? static_cast<const char*>(zero) - field : size);
}

class Line {
public:
    void Add(std::string_view key, std::string_view value) {
        if (!text_.empty()) text_ += ' ';
        text_.append(key).append("=").append(value);
    }
    void Add(std::string_view key, long long value) { Add(key, std::to_string(value)); }
    void Add(std::string_view key, unsigned long long value) { Add(key, std::to_string(value)); }
    void Add(std::string_view key, int value) { Add(key, static_cast<long long>(value)); }
    void Add(std::string_view key, unsigned value) { Add(key, static_cast<unsigned long long>(value)); }
    void Add(std::string_view key, float value) { Add(key, FloatText(value)); }
    std::string Take() { return std::move(text_); }

private:
    std::string text_;
};

std::string HexNumber(uint64_t value) {
    char digits[2 + 16 + 1] = "0x";
    const auto end = std::to_chars(digits + 2, digits + sizeof digits, value, 16).ptr;
    return std::string(digits, end);
}

void AddCommandRecord(Line& line, const pintle::CommandRecord& r) {
    line.Add("id", r.id);
    line.Add("sub", r.sub_kind);
    line.Add("code", EscapeText(FieldText(r.code, sizeof r.code)));
    line.Add("qty", r.quantity);
    line.Add("price", r.price);
    line.Add("data", r.data_value);
    line.Add("formula", r.formula);
    line.Add("assistant", r.assistant);
    line.Add("sel", r.selector_index);
    line.Add("api", r.query_api);
    line.Add("unit", r.quantity_unit);
    line.Add("period", r.period);
    line.Add("bartime", r.last_bar_time);
    line.Add("r180", r.zero180);
    line.Add("arg4", r.raw_arg4);
    line.Add("r188", r.zero188);
    line.Add("r192", r.zero192);
}

void AddQuoteEntry(Line& line, std::size_t i, const pintle::QuoteEntry& q) {
    const std::string prefix = "e" + std::to_string(i) + ".";
    line.Add(prefix + "key", EscapeText(FieldText(q.key, sizeof q.key)));
    line.Add(prefix + "f0", q.field0);
    line.Add(prefix + "f1", q.field1);
    line.Add(prefix + "f2", q.field2);
    line.Add(prefix + "f3", q.field3);
    line.Add(prefix + "period", q.period);
    line.Add(prefix + "r86", q.zero86);
}

}  // namespace

std::string FormatCopyData(std::string_view window, uint64_t kind, uint64_t wparam,
                           std::span<const uint8_t> payload) {
    Line line;
    line.Add("window", window);
    line.Add("msg", "copydata");
    line.Add("kind", static_cast<unsigned long long>(kind));
    line.Add("len", static_cast<unsigned long long>(payload.size()));
    line.Add("wparam", HexNumber(wparam));

    // A two-entry quote list is 196 bytes too; its kind tells it apart.
    const bool quote_list = kind == pintle::kKindQuoteList;
    if (quote_list && !payload.empty() && payload.size() % sizeof(pintle::QuoteEntry) == 0) {
        const std::size_t count = payload.size() / sizeof(pintle::QuoteEntry);
        line.Add("entries", static_cast<unsigned long long>(count));
        for (std::size_t i = 0; i < count; ++i) {
            pintle::QuoteEntry entry;
            std::memcpy(&entry, payload.data() + i * sizeof entry, sizeof entry);
            AddQuoteEntry(line, i, entry);
        }
    } else if (!quote_list && payload.size() == sizeof(pintle::CommandRecord)) {
        pintle::CommandRecord record;
        std::memcpy(&record, payload.data(), sizeof record);
        AddCommandRecord(line, record);
    }

    line.Add("bytes", HexBytes(payload));
    return line.Take();
}

std::string FormatNotice(std::string_view window, int64_t wparam, int64_t lparam) {
    Line line;
    line.Add("window", window);
    line.Add("msg", "notice");
    line.Add("wparam", static_cast<long long>(wparam));
    line.Add("lparam", static_cast<long long>(lparam));
    return line.Take();
}

std::string FormatOther(std::string_view window, unsigned message) {
    Line line;
    line.Add("window", window);
    line.Add("msg", "other");
    line.Add("id", message);
    return line.Take();
}

std::string EscapeText(std::string_view bytes) {
    std::string out;
    out.reserve(bytes.size());
    for (const char c : bytes) {
        const auto b = static_cast<unsigned char>(c);
        if (b > 0x20 && b < 0x7f && b != '=' && b != '\\') {
            out += c;
        } else {
            out += "\\x";
            out += kHexDigits[b >> 4];
            out += kHexDigits[b & 0xf];
        }
    }
    return out;
}

std::string HexBytes(std::span<const uint8_t> bytes) {
    std::string out;
    out.reserve(bytes.size() * 2);
    for (const uint8_t b : bytes) {
        out += kHexDigits[b >> 4];
        out += kHexDigits[b & 0xf];
    }
    return out;
}

std::string FloatText(float value) {
    char text[48];
    const auto result = std::to_chars(text, text + sizeof text, value, std::chars_format::general, 9);
    return std::string(text, result.ptr);
}

}  // namespace kovalt
