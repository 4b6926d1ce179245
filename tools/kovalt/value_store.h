// The stand-in assistant's own key/value store: TradeSelfData\data.db and the
// history files beside Kovalt.exe, where the plug-in reads an assistant's
// values. Written with the plug-in's format headers and store rules, under
// the same named mutex "Global\KovaltKeyValueDB", so the plug-in's read-only
// assistant store can be tested against a real second process. Used from
// the one UI thread.
#pragma once
#include <cstdint>
#include <optional>
#include <string>

namespace kovalt {

// One value to store: "CODE QUALIFIER ASSISTANT SLOT PERIOD VALUE [BARTIME
// [TIME]]". BARTIME is the history entry's time (default: the record's time);
// TIME is the record's time (default: now). Times are seconds since 1970 UTC.
struct StoreWrite {
    std::wstring code;  // stored in the ANSI code page
    int32_t qualifier = 0;
    int32_t assistant = 0;
    int32_t slot = 0;
    int32_t period = 0;
    double value = 0;
    std::optional<uint32_t> bar_time;
    std::optional<uint32_t> time;
};

std::optional<StoreWrite> ParseStoreWrite(const std::wstring& text);

class ValueStore {
public:
    // The store in `directory` (with a trailing backslash)\TradeSelfData.
    explicit ValueStore(std::wstring directory);

    // Writes the value into data.db in the file's own record layout (a
    // version 1 or 2 file stays one), creating the file as {4, 0} when it is
    // missing, and appends to the key's history file for a history slot.
    bool Write(const StoreWrite& write, std::wstring* error);

private:
    std::wstring dir_;  // the TradeSelfData directory, with a trailing backslash
};

// Directory of Kovalt.exe with a trailing backslash.
std::wstring OwnDirectory();

}  // namespace kovalt
