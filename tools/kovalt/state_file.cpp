#include "state_file.h"

#include <charconv>
#include <cstring>

namespace kovalt {
namespace {

std::vector<std::string_view> Words(std::string_view line) {
    std::vector<std::string_view> words;
    std::size_t i = 0;
    while (i < line.size()) {
        while (i < line.size() && (line[i] == ' ' || line[i] == '\t' || line[i] == '\r')) ++i;
        if (i == line.size() || line[i] == '#') break;
        const std::size_t start = i;
        while (i < line.size() && line[i] != ' ' && line[i] != '\t' && line[i] != '\r') ++i;
        words.push_back(line.substr(start, i - start));
    }
    return words;
}

template <class T>
bool ParseNumber(std::string_view text, T& out) {
    if (!text.empty() && text[0] == '+') text.remove_prefix(1);
    const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), out);
    return ec == std::errc() && end == text.data() + text.size() && !text.empty();
}

// UTF-8 to UTF-16 code units; false on a malformed sequence.
bool Utf16(std::string_view utf8, std::u16string& out) {
    for (std::size_t i = 0; i < utf8.size();) {
        const auto b = static_cast<unsigned char>(utf8[i]);
        const int extra = b < 0x80 ? 0 : (b & 0xE0) == 0xC0 ? 1 : (b & 0xF0) == 0xE0 ? 2 : (b & 0xF8) == 0xF0 ? 3 : -1;
        if (extra < 0 || utf8.size() - i <= static_cast<std::size_t>(extra)) return false;
        char32_t c = extra == 0 ? b : b & (0x3F >> extra);
        for (int k = 1; k <= extra; ++k) {
            const auto n = static_cast<unsigned char>(utf8[i + k]);
            if ((n & 0xC0) != 0x80) return false;
            c = (c << 6) | (n & 0x3F);
        }
        i += 1 + extra;
        if (c >= 0x10000) {
            c -= 0x10000;
            out += static_cast<char16_t>(0xD800 + (c >> 10));
            out += static_cast<char16_t>(0xDC00 + (c & 0x3FF));
        } else {
            out += static_cast<char16_t>(c);
        }
    }
    return true;
}

// A code into its 20-byte field: up to 10 units (10 leaves no terminator,
// which an assistant may do and the plug-in must survive).
bool SetCode(std::string_view word, char16_t (&field)[10]) {
    std::u16string units;
    if (word != "\"\"" && !Utf16(word, units)) return false;
    if (units.size() > 10) return false;
    std::memset(field, 0, sizeof field);
    for (std::size_t i = 0; i < units.size(); ++i) field[i] = units[i];
    return true;
}

class Parser {
public:
    StateParse Run(std::string_view text) {
        int number = 0;
        std::size_t start = 0;
        while (start <= text.size()) {
            std::size_t end = text.find('\n', start);
            if (end == std::string_view::npos) end = text.size();
            ++number;
            const std::string why = Line(Words(text.substr(start, end - start)));
            if (!why.empty()) return {std::nullopt, "line " + std::to_string(number) + ": " + why};
            start = end + 1;
        }
        return {std::move(tables_), {}};
    }

private:
    std::string Line(const std::vector<std::string_view>& w) {
        if (w.empty()) return {};
        if (w[0] == "account") return Account(w);
        if (w[0] == "position") return Position(w);
        if (w[0] == "order") return Order(w);
        if (w[0] == "count") return Count(w);
        return "unknown item " + std::string(w[0]);
    }

    std::string Account(const std::vector<std::string_view>& w) {
        int figure = 0, index = -1;
        float value = 0;
        if (w.size() < 3 || !ParseNumber(w[1], figure) || !ParseNumber(w[2], value)) return "account F VALUE [index=I]";
        for (std::size_t i = 3; i < w.size(); ++i) {
            if (w[i].substr(0, 6) != "index=" || !ParseNumber(w[i].substr(6), index) || index < 0 || index > 9)
                return "index takes 0 to 9";
        }
        if (index >= 0) {
            if (figure < 0 || figure > 3) return "figures 0 to 3 have one per index";
            tables_.account_by_index[figure][index] = value;
        } else {
            if (figure < 0 || figure > 8 || figure == 4) return "figures are 0 to 3 and 5 to 8";
            tables_.account[figure] = value;
        }
        return {};
    }

    std::string Position(const std::vector<std::string_view>& w) {
        pintle::PositionRecord r{};
        int receiver = -1;
        if (w.size() < 2 || !SetCode(w[1], r.code)) return "position CODE (at most 10 characters)";
        for (std::size_t i = 2; i < w.size(); ++i) {
            const auto [key, value] = Split(w[i]);
            bool ok = false;
            if (key == "v0") ok = ParseNumber(value, r.value0);
            else if (key == "v1") ok = ParseNumber(value, r.value1);
            else if (key.size() == 2 && key[0] == 'v' && key[1] >= '2' && key[1] <= '9')
                ok = ParseNumber(value, r.value2_to_9[key[1] - '2']);
            else if (key == "index") ok = ParseNumber(value, r.selector_index);
            else if (key == "receiver") ok = ParseNumber(value, receiver) && receiver >= 0 && receiver <= 4;
            if (!ok) return "bad field " + std::string(w[i]);
        }
        auto& table = receiver < 0 ? tables_.positions : tables_.receiver_positions[receiver];
        if (table.size() >= pintle::kPositionCapacity) return "a position table holds 1000 records";
        table.push_back(r);
        return {};
    }

    std::string Order(const std::vector<std::string_view>& w) {
        pintle::OrderRecord r{};
        if (w.size() < 2 || !SetCode(w[1], r.code)) return "order CODE (at most 10 characters)";
        for (std::size_t i = 2; i < w.size(); ++i) {
            const auto [key, value] = Split(w[i]);
            bool ok = false;
            if (key == "kind") ok = ParseNumber(value, r.trade_kind);
            else if (key == "qty") ok = ParseNumber(value, r.quantity);
            else if (key == "filled") ok = ParseNumber(value, r.filled);
            else if (key == "time") ok = ParseNumber(value, r.time);
            else if (key == "index") ok = ParseNumber(value, r.selector_index);
            else if (key == "filter") ok = ParseNumber(value, r.filter);
            if (!ok) return "bad field " + std::string(w[i]);
        }
        if (tables_.orders.size() >= pintle::kOrderCapacity) return "the order table holds 43 records";
        tables_.orders.push_back(r);
        return {};
    }

    std::string Count(const std::vector<std::string_view>& w) {
        int32_t n = 0;
        if (w.size() != 3 || !ParseNumber(w[2], n)) return "count TABLE N";
        if (w[1] == "positions") {
            tables_.position_count = n;
        } else if (w[1] == "orders") {
            tables_.order_count = n;
        } else if (w[1].size() == 9 && w[1].substr(0, 8) == "receiver" && w[1][8] >= '0' && w[1][8] <= '4') {
            tables_.receiver_counts[w[1][8] - '0'] = n;
        } else {
            return "count of positions, orders or receiver0 to receiver4";
        }
        return {};
    }

    static std::pair<std::string_view, std::string_view> Split(std::string_view word) {
        const auto eq = word.find('=');
        if (eq == std::string_view::npos) return {word, {}};
        return {word.substr(0, eq), word.substr(eq + 1)};
    }

    StateTables tables_;
};

}  // namespace

StateParse ParseStateFile(std::string_view utf8) { return Parser().Run(utf8); }

void WriteTables(pintle::SharedStateBlock& block, const StateTables& t) {
    block.account0 = t.account[0];
    block.account1 = t.account[1];
    block.account2 = t.account[2];
    block.account3 = t.account[3];
    block.account5 = t.account[5];
    block.account6 = t.account[6];
    block.account7 = t.account[7];
    block.account8 = t.account[8];
    for (int i = 0; i < 10; ++i) {
        block.account0_by_index[i] = t.account_by_index[0][i];
        block.account1_by_index[i] = t.account_by_index[1][i];
        block.account2_by_index[i] = t.account_by_index[2][i];
        block.account3_by_index[i] = t.account_by_index[3][i];
    }
    auto fill = [](pintle::PositionRecord* table, const std::vector<pintle::PositionRecord>& records) {
        std::memset(table, 0, sizeof(pintle::PositionRecord) * pintle::kPositionCapacity);
        if (!records.empty()) std::memcpy(table, records.data(), records.size() * sizeof records[0]);
    };
    fill(block.positions, t.positions);
    block.position_count = t.position_count.value_or(static_cast<int32_t>(t.positions.size()));
    std::memset(block.orders, 0, sizeof block.orders);
    if (!t.orders.empty()) std::memcpy(block.orders, t.orders.data(), t.orders.size() * sizeof t.orders[0]);
    block.order_count = t.order_count.value_or(static_cast<int32_t>(t.orders.size()));
    for (int k = 0; k < pintle::kReceiverSlots; ++k) {
        fill(block.receiver_positions[k], t.receiver_positions[k]);
        block.receiver_entries[k].count =
            t.receiver_counts[k].value_or(static_cast<int32_t>(t.receiver_positions[k].size()));
    }
}

}  // namespace kovalt
