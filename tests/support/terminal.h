// A stand-in terminal for end-to-end tests: a fresh terminal directory with
// the real Pintle.dll and pintle-call.exe copied in under the executable name
// a test chooses (Brisko.exe, Halvane.exe, ...), run as a separate process.
#pragma once
#include <string>
#include <vector>

#include "support/temp_dir.h"

namespace pintle::test {

using Lines = std::vector<std::string>;

struct CallOutput {
    std::string name;            // export name, or "tdx N"
    int ret = 0;                 // the export's return value
    std::vector<double> values;  // result buffer or TDX output array
};

struct RunResult {
    unsigned long exit_code = 0;
    std::string out;               // stdout as UTF-8
    std::vector<CallOutput> calls;  // parsed from out
};

class Terminal {
public:
    explicit Terminal(const std::wstring& exe_name = L"Terminal.exe");

    const std::wstring& dir() const { return dir_.path(); }
    std::wstring File(const std::wstring& name) const { return dir_.File(name); }

    // One command on pintle-call's command line.
    RunResult Run(const std::vector<std::wstring>& args) const;
    // Several commands in one process (UTF-8 script, one command per line).
    RunResult RunScript(const std::string& script, unsigned timeout_ms = 60000) const;

    // The day's log as bytes (by today's local date); empty when absent.
    std::string LogBytes() const;
    // Log lines without their time stamps and CR LF.
    std::vector<std::string> LogMessages() const;

private:
    TempDir dir_;
    std::wstring exe_;
};

// Whether one of the lines is exactly `line`.
bool Contains(const std::vector<std::string>& lines, const std::string& line);

// Splits a log file into its message texts (drops "YYYY-MM-DD HH:MM:SS ").
std::vector<std::string> LogMessagesOf(const std::string& bytes);

// Runs a program and captures its stdout (at most `timeout_ms`).
RunResult RunProcess(const std::wstring& exe, const std::wstring& args, const std::wstring& cwd,
                     unsigned timeout_ms = 60000);

// Starts a program (no window) with its stdout and stderr to `output`, an
// inheritable handle or null. Tries again when Wine under load fails a start
// with error 1359. The process handle for the caller to close, or null with
// the error in GetLastError().
void* StartProcess(const std::wstring& exe, const std::wstring& args, const std::wstring& cwd, void* output,
                   unsigned long* id = nullptr);

// One argument quoted the way CommandLineToArgvW and the C run-time split it.
std::wstring QuoteArg(const std::wstring& arg);

}  // namespace pintle::test
