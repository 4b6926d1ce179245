// The stand-in assistant's command line. Pure C++: parsing only, no Windows
// header, so it can be checked in a native build as well.
#pragma once
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "formats/shared_state_block.h"
#include "screening_files.h"

namespace kovalt {

constexpr int kMaxExtraReceivers = pintle::kReceiverSlots;
constexpr int kMaxRefreshReceivers = pintle::kReceiverSlots;

struct Options {
    int number = 0;                                     // assistant number
    int32_t version = pintle::kMinimumAssistantVersion;  // written to the block
    int extra_receivers = 0;                            // 0..5
    std::vector<int> refresh_receivers;                 // assistant numbers, up to 5
    bool fail_main = false;     // main window answers WM_COPYDATA with 0
    uint32_t hang_main_ms = 0;  // main window waits this long before answering
    std::wstring journal_path = L"kovalt-journal.txt";
    std::wstring state_path;    // empty: the tables are not published
    bool live = false;          // echo journal lines to stdout
    std::wstring ready_event;   // empty: none
    std::wstring quit_event;    // empty: none
    std::vector<std::wstring> store_writes;  // --store: values written at start
    std::vector<ScreeningFile> screening;  // result files written at start
};

struct ParseResult {
    std::optional<Options> options;  // empty when the command line is wrong
    std::wstring error;              // why, for the usage message
};

// `args` are the arguments after the program name.
ParseResult ParseCommandLine(const std::vector<std::wstring>& args);

std::wstring UsageText();

}  // namespace kovalt
