// Command-line parsing for the stand-in assistant. Every option that takes a
// value takes it as the next argument; numbers are plain decimal.
#include "options.h"

#include <limits>

namespace kovalt {
namespace {

// Whole decimal text with an optional minus sign, within int32 range.
std::optional<int64_t> ParseInteger(const std::wstring& text) {
    std::size_t i = 0;
    bool negative = false;
    if (i < text.size() && (text[i] == L'-' || text[i] == L'+')) {
        negative = text[i] == L'-';
        ++i;
    }
    if (i == text.size()) return std::nullopt;
    int64_t value = 0;
    for (; i < text.size(); ++i) {
        if (text[i] < L'0' || text[i] > L'9') return std::nullopt;
        value = value * 10 + (text[i] - L'0');
        if (value > int64_t{std::numeric_limits<int32_t>::max()} + 1) return std::nullopt;
    }
    value = negative ? -value : value;
    if (value < std::numeric_limits<int32_t>::min() || value > std::numeric_limits<int32_t>::max())
        return std::nullopt;
    return value;
}

std::optional<std::vector<int>> ParseNumberList(const std::wstring& text) {
    std::vector<int> numbers;
    std::size_t start = 0;
    for (;;) {
        const std::size_t comma = text.find(L',', start);
        const auto value = ParseInteger(text.substr(start, comma == std::wstring::npos ? comma : comma - start));
        if (!value) return std::nullopt;
        numbers.push_back(static_cast<int>(*value));
        if (comma == std::wstring::npos) return numbers;
        start = comma + 1;
    }
}

}  // namespace

ParseResult ParseCommandLine(const std::vector<std::wstring>& args) {
    Options options;
    auto fail = [](std::wstring why) { return ParseResult{std::nullopt, std::move(why)}; };

    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::wstring& name = args[i];
        if (name == L"--fail-main") {
            options.fail_main = true;
            continue;
        }
        if (name == L"--live") {
            options.live = true;
            continue;
        }
        static const wchar_t* const kValueOptions[] = {L"--number",       L"--version",    L"--extra-receivers",
                                                       L"--refresh-receivers", L"--hang-main-ms", L"--journal",
                                                       L"--ready-event",  L"--quit-event", L"--store",
                                                       L"--screening",
                                                       L"--state"};
        bool known = false;
        for (const wchar_t* option : kValueOptions) known = known || name == option;
        if (!known) return fail(L"unknown argument " + name);
        if (i + 1 >= args.size()) return fail(L"missing value for " + name);
        const std::wstring& value = args[i + 1];
        if (name == L"--number") {
            const auto n = ParseInteger(value);
            if (!n) return fail(L"--number needs a whole number");
            options.number = static_cast<int>(*n);
        } else if (name == L"--version") {
            const auto n = ParseInteger(value);
            if (!n) return fail(L"--version needs a whole number");
            options.version = static_cast<int32_t>(*n);
        } else if (name == L"--extra-receivers") {
            const auto n = ParseInteger(value);
            if (!n || *n < 0 || *n > kMaxExtraReceivers) return fail(L"--extra-receivers takes 0 to 5");
            options.extra_receivers = static_cast<int>(*n);
        } else if (name == L"--refresh-receivers") {
            auto list = ParseNumberList(value);
            if (!list || list->size() > static_cast<std::size_t>(kMaxRefreshReceivers))
                return fail(L"--refresh-receivers takes up to 5 comma-separated numbers");
            options.refresh_receivers = std::move(*list);
        } else if (name == L"--hang-main-ms") {
            const auto n = ParseInteger(value);
            if (!n || *n < 0) return fail(L"--hang-main-ms needs a number of milliseconds");
            options.hang_main_ms = static_cast<uint32_t>(*n);
        } else if (name == L"--journal") {
            if (value.empty()) return fail(L"--journal needs a path");
            options.journal_path = value;
        } else if (name == L"--state") {
            if (value.empty()) return fail(L"--state needs a path");
            options.state_path = value;
        } else if (name == L"--ready-event") {
            options.ready_event = value;
        } else if (name == L"--quit-event") {
            options.quit_event = value;
        } else if (name == L"--store") {
            options.store_writes.push_back(value);
        } else if (name == L"--screening") {
            auto file = ParseScreeningOption(value);
            if (!file) return fail(L"--screening takes KIND:N:CODE,CODE,... with KIND WenCai, HotStocks or AI");
            options.screening.push_back(std::move(*file));
        }
        ++i;
    }
    return ParseResult{std::move(options), {}};
}

std::wstring UsageText() {
    return L"usage: Kovalt [--number N] [--version V] [--extra-receivers K]\n"
           L"              [--refresh-receivers N,N,...] [--fail-main] [--hang-main-ms MS]\n"
           L"              [--journal PATH] [--live] [--ready-event NAME] [--quit-event NAME]\n"
           L"              [--store \"CODE QUALIFIER ASSISTANT SLOT PERIOD VALUE [BARTIME [TIME]]\"]...\n"
           L"              [--screening KIND:N:CODE,CODE,...]...\n"
           L"              [--state PATH]\n";
}

}  // namespace kovalt
