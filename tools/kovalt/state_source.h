// Where the stand-in assistant's published tables come from: the state file
// given with --state, read afresh whenever it may have changed. Used from the
// one UI thread.
#pragma once
#include <optional>
#include <string>

#include "state_file.h"

namespace kovalt {

class StateSource {
public:
    explicit StateSource(std::wstring path) : path_(std::move(path)) {}

    bool Enabled() const { return !path_.empty(); }

    // Reads the file; when its bytes differ from the last read (or `force`),
    // parses them. Gives the new tables when they changed and parse; a file
    // that cannot be read or parsed keeps the last good tables and prints
    // why to stderr once per distinct content.
    std::optional<StateTables> Check(bool force);

private:
    std::wstring path_;
    std::optional<std::string> last_bytes_;
};

}  // namespace kovalt
