#include "assistant/quotes.h"

#include <array>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "assistant/assistant_state.h"
#include "assistant/delivery.h"
#include "common/clock.h"
#include "common/local_time.h"
#include "common/text.h"
#include "formats/command_record.h"
#include "formats/quote_entry.h"
#include "formula/call_lock.h"
#include "formula/formula.h"
#include "formula/tdx_arrays.h"
#include "log/plugin_log.h"

namespace pintle {
namespace {

// The SendQuote batch: touched only under the quote lock.
struct QuoteBatch {
    std::vector<QuoteEntry> entries;
    uint32_t last_call = 0;  // tick of the last SendQuote call, 0 = never

    // The entry whose key is the label (its label as given: longer labels
    // are refused), appended when there is none.
    QuoteEntry& EntryOf(std::string_view label) {
        std::size_t free_slot = kSlots;
        std::size_t i = Hash(label) & (kSlots - 1);
        for (std::size_t probes = 0; probes < kSlots; ++probes, i = (i + 1) & (kSlots - 1)) {
            if (slots[i] == 0) {
                free_slot = i;
                break;
            }
            QuoteEntry& e = entries[slots[i] - 1u];
            if (FieldText(e.key, sizeof e.key) == label) return e;
        }
        if (free_slot == kSlots) {
            // Only if sends kept failing past the cap: look the slow way.
            for (QuoteEntry& e : entries) {
                if (FieldText(e.key, sizeof e.key) == label) return e;
            }
        }
        QuoteEntry fresh{};
        CopyToField(fresh.key, sizeof fresh.key, label);
        entries.push_back(fresh);
        if (free_slot != kSlots) slots[free_slot] = static_cast<uint16_t>(entries.size());
        return entries.back();
    }

    void Clear() {
        entries.clear();
        slots.fill(0);
    }

private:
    // Where each label's entry is, by a hash of the label: a screen quotes
    // hundreds of labels before one send, and each call finds its own in a
    // step or two. Entry number + 1, 0 for a free slot; twice as many slots
    // as the batch holds entries before it is sent, so it never fills in
    // use and never allocates.
    static constexpr std::size_t kSlots = 2048;
    static_assert(kSlots >= 2 * kQuoteBatchCap && kSlots <= 65535);
    std::array<uint16_t, kSlots> slots{};

    static std::size_t Hash(std::string_view label) {
        uint64_t h = 14695981039346656037ULL;  // FNV-1a
        for (const char c : label) h = (h ^ static_cast<unsigned char>(c)) * 1099511628211ULL;
        return static_cast<std::size_t>(h ^ (h >> 29));
    }
};

QuoteBatch g_batch;

CommandRecord SingleQuoteRecord(std::string_view code, int32_t sub_kind, float price, int32_t selector_index) {
    CommandRecord rec{};
    rec.id = kCommandRecordId;
    rec.sub_kind = sub_kind;
    rec.price = price;
    CopyToField(rec.code, sizeof rec.code, code);
    rec.assistant = Assistant().number;
    rec.selector_index = selector_index;
    return rec;
}

}  // namespace

int32_t SendSingleQuote(FormulaCall& call) {
    if (call.bar_count <= 0) return 0;
    if (!LastBarGate(call)) return 0;
    const float p1 = ReadArg(call, 1), p2 = ReadArg(call, 2), p3 = ReadArg(call, 3);
    const bool priced = ArgPresent(call, 1) && ArgPresent(call, 2);
    const AssistantSelector sel = SplitSelector(TruncateToInt(p3));
    SelectAssistant(sel.assistant);
    const CommandRecord rec =
        SingleQuoteRecord(LabelText(call), priced ? TruncateToInt(p2) : 0, priced ? p1 : 0.0f, sel.index);
    Deliver(kKindSingleQuote, &rec, sizeof rec, Sender::Quote);
    WriteResult(call, priced ? p1 : 0.0f, false);
    return 0;
}

void SendTdxSingleQuote(float code_number, float price, float sub_kind) {
    const CommandRecord rec = SingleQuoteRecord(TdxCodeText(code_number), TruncateToInt(sub_kind), price, 0);
    Deliver(kKindSingleQuote, &rec, sizeof rec, Sender::Quote);
}

int32_t SendQuoteBatch(FormulaCall& call) {
    if (!LastBarGate(call)) return 0;
    const float value = ReadArg(call, 1);
    const int32_t field = TruncateToInt(ReadArg(call, 2));
    const int32_t assistant = TruncateToInt(ReadArg(call, 3));
    const std::string_view label = LabelText(call);
    // The label as wide text, on the stack when it is ASCII (at most 20 bytes).
    wchar_t ascii[sizeof call.label];
    std::wstring converted;
    std::wstring_view shown;
    if (IsAscii(label)) {
        for (std::size_t i = 0; i < label.size(); ++i) ascii[i] = static_cast<wchar_t>(label[i]);
        shown = std::wstring_view(ascii, label.size());
    } else {
        converted = AnsiToWide(label);
        shown = converted;
    }
    PluginLog::Instance().WriteFormatted(L"%s %d %.2f", {shown, field, static_cast<double>(value)});
    if (label.size() > kQuoteKeyMax) {
        // The key holds 9 bytes: a cut label could name another code.
        PluginLog::Instance().WriteFormatted(L"SendQuote: %s 超过9个字符, 不能放进行情记录, 已忽略",
                                             {AnsiToWide(label)});
        return 0;
    }

    ScopedLock quote_lock(QuoteLock());
    const uint32_t now = TickMs();
    const uint32_t elapsed = now - g_batch.last_call;
    QuoteEntry* entry = &g_batch.EntryOf(label);
    switch (field) {
    case 0: entry->field0 = value; break;
    case 1: entry->field1 = value; break;
    case 2: entry->field2 = TruncateToInt(value); break;
    case 3: entry->field3 = TruncateToInt(value); break;
    case 4:
        if (const BarRecord* last = LastBar(call)) {
            Assistant().quote_push = true;
            entry->field3 = static_cast<int32_t>(last->time);
            entry->field2 = kQuoteMarkerPush;
            entry->field0 = last->close;
            entry->period = call.period;
        }
        break;
    default: break;
    }

    bool send = field == 4;
    if (field == 3 || field >= 5) {
        send = g_batch.entries.size() >= 100 || (g_batch.last_call != 0 && elapsed >= 1000);
    }
    if (g_batch.entries.size() >= kQuoteBatchCap) send = true;
    if (send) {
        CallLockHold call_lock;
        SelectAssistant(assistant);
        Deliver(kKindQuoteList, g_batch.entries.data(),
                static_cast<uint32_t>(g_batch.entries.size() * sizeof(QuoteEntry)), Sender::Quote);
        g_batch.Clear();
    }
    WriteResult(call, 1.0f, false);
    g_batch.last_call = TickMs();
    return 0;
}

void SendQuoteMarker(int32_t count, float* out, float code_number, float date, float value, int32_t marker) {
    if (marker == kQuoteMarker997) {
        // 999997 goes out only when no TDX order ran since the last call.
        CallLockHold call_lock;
        const bool ran = Assistant().tdx_order_ran;
        Assistant().tdx_order_ran = false;
        if (ran) return;
    }
    std::string code = TdxCodeText(code_number);
    int32_t market = 3;
    if (code.size() > 6) {
        const std::string lead = code.substr(0, code.size() - 6);
        long m = std::strtol(lead.c_str(), nullptr, 10);
        if (m > 9) m %= 10;
        market = static_cast<int32_t>(m) + 3;
        code = code.substr(code.size() - 6);
    }
    const int32_t d = TruncateToInt(date);
    const int64_t midnight = LocalMidnight(d / 10000 + 1900, d / 100 % 100, d % 100);

    QuoteEntry entry{};
    CopyToField(entry.key, sizeof entry.key, code);
    entry.field0 = value;
    entry.field2 = marker;
    entry.field3 = static_cast<int32_t>(midnight);
    entry.period = market;

    CallLockHold call_lock;
    Assistant().quote_push = true;
    const Delivery sent = Deliver(kKindQuoteList, &entry, sizeof entry, Sender::QuoteMarker);
    if (sent.had_window) FillOutput(count, out, sent.main_accepted ? 1.0f : 0.0f);
}

bool QuotePushActive() { return Assistant().quote_push; }

void ResetQuoteBatch() {
    ScopedLock quote_lock(QuoteLock());
    g_batch.Clear();
    g_batch.last_call = 0;
}

}  // namespace pintle
