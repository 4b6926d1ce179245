// The journal file: one line per message received, each written and flushed
// to disk before the window procedure returns, so whoever sent the message
// can read its line as soon as SendMessage is back. Used from the one UI
// thread only.
#pragma once
#include <cstdint>
#include <string>
#include <string_view>

#include "common/win.h"

namespace kovalt {

class Journal {
public:
    // Creates (truncates) the file. Other processes may read it while it is
    // open. False with the system error code in *error on failure.
    bool Open(const std::wstring& path, bool live, DWORD* error);

    // Writes "seq=<n> " + body + "\n" in one write and flushes it; also to
    // stdout when live. Numbers start at 1.
    void Append(std::string_view body);

private:
    pintle::UniqueHandle file_;
    bool live_ = false;
    uint64_t next_seq_ = 1;
};

}  // namespace kovalt
