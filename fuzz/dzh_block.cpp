// A DZH block file of any bytes (any format, any length, an ".slf" path or
// not), read, counted, and edited with keys made from any label. An edit
// either leaves the file alone or changes exactly the one record it was
// asked to change: every other byte stays, in its place. A file as the
// terminal writes it, with a key as the terminal writes it, always takes
// the edit.
#include <algorithm>

#include "blocks/blocks.h"
#include "fuzz_check.h"

namespace {

using namespace pintle;
using namespace pintle::fuzz;

constexpr std::size_t kChoiceBytes = 32;

bool Digits(std::string_view text) {
    return std::all_of(text.begin(), text.end(), [](char ch) { return ch >= '0' && ch <= '9'; });
}

// "SH" or "SZ" and six digits: what the terminal writes for a stock.
bool ValidEntry(std::string_view text) {
    return text.size() == 8 && text[0] == 'S' && (text[1] == 'H' || text[1] == 'Z') && Digits(text.substr(2));
}

// A file as the terminal writes it: format 0xA5 or 0xA6, then whole records,
// each a valid entry and zeros. Such a file must always take an edit.
bool WellFormed(std::string_view bytes, const DzhBlockFile& file) {
    if (file.format != 0xA5 && file.format != 0xA6) return false;
    const std::size_t header = file.layout.header_size, record = file.layout.record_size;
    if (bytes.size() < header || (bytes.size() - header) % record != 0) return false;
    for (std::size_t at = header; at < bytes.size(); at += record) {
        const std::string_view r = bytes.substr(at, record);
        if (!ValidEntry(r.substr(0, 8)) || r.substr(8).find_first_not_of('\0') != std::string_view::npos) return false;
    }
    return true;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
    SplitInput in(data, size, kChoiceBytes);
    FuzzedDataProvider& c = in.choices;
    const bool slf = c.ConsumeBool();
    const bool top = c.ConsumeBool();
    const uint32_t format = c.ConsumeBool() ? (c.ConsumeBool() ? 0xA5u : 0xA6u) : c.ConsumeIntegral<uint32_t>();
    const std::string label = c.ConsumeBool() ? c.ConsumeBytesAsString(c.ConsumeIntegralInRange(0, 20))
                                              : (c.ConsumeBool() ? "SH" : "") + std::to_string(c.ConsumeIntegral<uint32_t>());
    const std::string_view bytes = in.bytes;

    const DzhBlockFile file = DecodeDzhBlock(bytes, slf);
    for (const DzhBlockEntry& e : file.entries) {
        FUZZ_CHECK(e.offset + e.text.size() <= bytes.size());
        FUZZ_CHECK(bytes.substr(e.offset, e.text.size()) == e.text);
    }
    DzhBlockCount(file.format, static_cast<int64_t>(bytes.size()));
    DzhCodeValid(label);
    const std::vector<std::string> texts = DzhBlockTexts(file);

    const std::string key = DzhBlockKey(label);
    if (key.empty()) return 0;
    const bool present = std::find(texts.begin(), texts.end(), key) != texts.end();

    const DzhEdit add = AddDzhEntry(bytes, slf, key, top, format);
    const DzhEdit remove = RemoveDzhEntry(bytes, slf, key);
    if (WellFormed(bytes, file) && ValidEntry(key)) {
        FUZZ_CHECK((present ? remove : add).status == DzhEditStatus::kRewrite);
    }
    FUZZ_CHECK((add.status == DzhEditStatus::kUnchanged) == present);
    if (add.status == DzhEditStatus::kRewrite) {
        std::vector<std::string> expected = texts;
        expected.insert(top ? expected.begin() : expected.end(), key);
        FUZZ_CHECK(DzhBlockTexts(DecodeDzhBlock(add.bytes, slf)) == expected);
        if (bytes.empty()) {
            FUZZ_CHECK(add.bytes.size() == 4 + 12 || add.bytes.size() == 5 + 16);
        } else {
            // One record inserted at a record boundary; every old byte kept.
            const std::size_t record = file.layout.record_size;
            FUZZ_CHECK(add.bytes.size() == bytes.size() + record);
            const std::size_t at = file.layout.header_size + (top ? 0 : file.record_count * record);
            FUZZ_CHECK(add.bytes.substr(0, at) == bytes.substr(0, at));
            FUZZ_CHECK(add.bytes.substr(at + record) == bytes.substr(at));
        }
    }

    FUZZ_CHECK((remove.status == DzhEditStatus::kUnchanged) == !present);
    if (remove.status == DzhEditStatus::kRewrite) {
        std::vector<std::string> expected = texts;
        expected.erase(std::find(expected.begin(), expected.end(), key));
        FUZZ_CHECK(DzhBlockTexts(DecodeDzhBlock(remove.bytes, slf)) == expected);
        // One whole record taken out; the bytes before and after it kept.
        const std::size_t record = file.layout.record_size;
        bool one_record_out = false;
        for (std::size_t at = file.layout.header_size; at + record <= bytes.size() && !one_record_out; at += record) {
            one_record_out = remove.bytes.size() + record == bytes.size() &&
                             std::string_view(remove.bytes).substr(0, at) == bytes.substr(0, at) &&
                             std::string_view(remove.bytes).substr(at) == bytes.substr(at + record);
        }
        FUZZ_CHECK(one_record_out);
    }
    return 0;
}
