#include "assistant/quotes.h"

#include <cstdlib>
#include <cstring>
#include <string>
#include <unordered_map>
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
    // Where each label's entry is: a screen quotes hundreds of labels
    // before one send, and each call finds its own in one step. An entry's
    // key is its label as given (labels longer than a key are refused).
    std::unordered_map<std::string, std::size_t> where;
    uint32_t last_call = 0;  // tick of the last SendQuote call, 0 = never

    void Clear() {
        entries.clear();
        where.clear();
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
    PluginLog::Instance().WriteFormatted(L"%s %d %.2f", {AnsiToWide(label), field, static_cast<double>(value)});
    if (label.size() > kQuoteKeyMax) {
        // The key holds 9 bytes: a cut label could name another code.
        PluginLog::Instance().WriteFormatted(L"SendQuote: %s 超过9个字符, 不能放进行情记录, 已忽略",
                                             {AnsiToWide(label)});
        return 0;
    }

    ScopedLock quote_lock(QuoteLock());
    const uint32_t now = TickMs();
    const uint32_t elapsed = now - g_batch.last_call;
    const std::string key(label);
    auto at = g_batch.where.find(key);
    if (at == g_batch.where.end()) {
        QuoteEntry fresh{};
        CopyToField(fresh.key, sizeof fresh.key, label);
        g_batch.entries.push_back(fresh);
        try {
            at = g_batch.where.emplace(key, g_batch.entries.size() - 1).first;
        } catch (...) {
            g_batch.entries.pop_back();  // never an entry the index does not know
            throw;
        }
    }
    QuoteEntry* entry = &g_batch.entries[at->second];
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
