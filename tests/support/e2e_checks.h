// Short forms of what end-to-end tests check again and again: a stand-in
// assistant with a stand-in terminal beside it, record bytes as the journal
// prints them, chosen journal fields, call outputs and log lines.
#pragma once
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <sstream>
#include <string>
#include <vector>

#include "support/kovalt_process.h"
#include "support/terminal.h"

namespace pintle::test {

using Values = std::vector<double>;

// A stand-in assistant started in a fresh directory and a terminal beside it.
// Check kovalt.Started() before relying on it.
struct Rig {
    explicit Rig(const KovaltOptions& options, const wchar_t* host = L"Terminal.exe")
        : kovalt(options, work.path()), terminal(host) {}
    TempDir work{L"e2e"};
    KovaltProcess kovalt;
    Terminal terminal;
};

// Bytes in lowercase hex, as the journal prints a payload (bytes=).
template <class T>
std::string Hex(const T& value) {
    std::string out;
    char two[3];
    for (std::size_t i = 0; i < sizeof value; ++i) {
        std::snprintf(two, sizeof two, "%02x", reinterpret_cast<const unsigned char*>(&value)[i]);
        out += two;
    }
    return out;
}

// The messages whose field `key` reads `value`.
inline std::vector<JournalEntry> Where(const std::vector<JournalEntry>& messages, const std::string& key,
                                       const std::string& value) {
    std::vector<JournalEntry> out;
    for (const JournalEntry& m : messages) {
        if (m.Get(key) == value) out.push_back(m);
    }
    return out;
}

// The output of every call, in order.
inline std::vector<Values> ValuesOf(const RunResult& run) {
    std::vector<Values> out;
    for (const CallOutput& call : run.calls) out.push_back(call.values);
    return out;
}

// Whether message i has the fields that want[i] names ("key=value ..."), and
// there are exactly as many messages as wanted.
inline ::testing::AssertionResult FieldsAre(const std::vector<JournalEntry>& messages, const Lines& want) {
    Lines got;
    for (std::size_t i = 0; i < messages.size(); ++i) {
        if (i >= want.size()) {
            got.push_back(messages[i].line);
            continue;
        }
        std::istringstream keys(want[i]);
        std::string line, token;
        while (keys >> token) {
            const std::string key = token.substr(0, token.find('='));
            line += (line.empty() ? "" : " ") + key + "=" + messages[i].Get(key);
        }
        got.push_back(line);
    }
    if (got == want) return ::testing::AssertionSuccess();
    ::testing::AssertionResult failure = ::testing::AssertionFailure();
    for (std::size_t i = 0; i < std::max(got.size(), want.size()); ++i) {
        failure << "\n  message " << i << "\n    got:  " << (i < got.size() ? got[i] : "(none)")
                << "\n    want: " << (i < want.size() ? want[i] : "(none)");
    }
    return failure;
}

// Whether every wanted line stands in the log.
inline ::testing::AssertionResult LogHas(const Lines& log, const Lines& want) {
    ::testing::AssertionResult result = ::testing::AssertionSuccess();
    bool missing = false;
    for (const std::string& line : want) {
        if (Contains(log, line)) continue;
        if (!missing) result = ::testing::AssertionFailure();
        missing = true;
        result << "\n  missing: \"" << line << "\"";
    }
    if (missing) {
        for (const std::string& line : log) result << "\n  logged:  \"" << line << "\"";
    }
    return result;
}

}  // namespace pintle::test
