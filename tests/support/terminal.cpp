#include "support/terminal.h"

#include <windows.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <sstream>

#include "common/clock.h"
#include "common/local_time.h"
#include "log/log_line.h"

namespace pintle::test {
namespace {

std::vector<CallOutput> ParseCalls(const std::string& out) {
    std::vector<CallOutput> calls;
    std::istringstream in(out);
    std::string line;
    while (std::getline(in, line)) {
        if (!line.empty() && line.back() == '\r') line.pop_back();
        std::istringstream words(line);
        std::string first;
        words >> first;
        if (first == "call") {
            CallOutput c;
            std::string arrow;
            words >> c.name >> arrow >> c.ret;
            calls.push_back(c);
        } else if (first == "tdx") {
            CallOutput c;
            std::string number;
            words >> number;
            c.name = "tdx " + number;
            calls.push_back(c);
        } else if ((first == "result" || first == "out") && !calls.empty()) {
            std::string v;
            while (words >> v) calls.back().values.push_back(v == "nan" ? 0.0 / 0.0 : std::stod(v));
        }
    }
    return calls;
}

std::wstring Quote(const std::wstring& a) {
    if (!a.empty() && a.find_first_of(L" \t\"") == std::wstring::npos) return a;
    std::wstring q = L"\"";
    for (wchar_t c : a) {
        if (c == L'"') q += L'\\';
        q += c;
    }
    return q + L"\"";
}

}  // namespace

RunResult RunProcess(const std::wstring& exe, const std::wstring& args, const std::wstring& cwd, unsigned timeout_ms) {
    RunResult result;
    SECURITY_ATTRIBUTES sa{sizeof sa, nullptr, TRUE};
    HANDLE read_end = nullptr, write_end = nullptr;
    if (!CreatePipe(&read_end, &write_end, &sa, 0)) {
        ADD_FAILURE() << "CreatePipe failed";
        return result;
    }
    SetHandleInformation(read_end, HANDLE_FLAG_INHERIT, 0);
    STARTUPINFOW si{};
    si.cb = sizeof si;
    si.dwFlags = STARTF_USESTDHANDLES;
    si.hStdOutput = write_end;
    si.hStdError = write_end;
    si.hStdInput = GetStdHandle(STD_INPUT_HANDLE);
    PROCESS_INFORMATION pi{};
    std::wstring cmd = Quote(exe) + L" " + args;
    // Under load Wine now and then fails a start with error 1359: try again.
    bool started = false;
    for (int attempt = 0; attempt < 3 && !started; ++attempt) {
        started = CreateProcessW(exe.c_str(), cmd.data(), nullptr, nullptr, TRUE, 0, nullptr,
                                 cwd.empty() ? nullptr : cwd.c_str(), &si, &pi) != 0;
        if (!started && GetLastError() != ERROR_INTERNAL_ERROR) break;
    }
    if (!started) {
        ADD_FAILURE() << "cannot start process, error " << GetLastError();
        CloseHandle(read_end);
        CloseHandle(write_end);
        return result;
    }
    CloseHandle(write_end);
    char buf[4096];
    DWORD n = 0;
    while (ReadFile(read_end, buf, sizeof buf, &n, nullptr) && n > 0) result.out.append(buf, n);
    CloseHandle(read_end);
    if (WaitForSingleObject(pi.hProcess, timeout_ms) != WAIT_OBJECT_0) {
        ADD_FAILURE() << "process did not end in time";
        TerminateProcess(pi.hProcess, 99);
    }
    GetExitCodeProcess(pi.hProcess, &result.exit_code);
    CloseHandle(pi.hProcess);
    CloseHandle(pi.hThread);
    result.calls = ParseCalls(result.out);
    return result;
}

Terminal::Terminal(const std::wstring& exe_name) : dir_(L"terminal"), exe_(dir_.File(exe_name)) {
    EXPECT_TRUE(CopyFileW(BuildFile(L"Pintle.dll").c_str(), dir_.File(L"Pintle.dll").c_str(), FALSE));
    EXPECT_TRUE(CopyFileW(BuildFile(L"pintle-call.exe").c_str(), exe_.c_str(), FALSE));
}

RunResult Terminal::Run(const std::vector<std::wstring>& args) const {
    std::wstring line;
    for (const auto& a : args) line += (line.empty() ? L"" : L" ") + Quote(a);
    return RunProcess(exe_, line, dir_.path());
}

RunResult Terminal::RunScript(const std::string& script) const {
    static int counter = 0;
    const std::wstring file = dir_.File(L"script-" + std::to_wstring(++counter) + L".txt");
    WriteFileBytes(file, script);
    return RunProcess(exe_, L"--script " + Quote(file), dir_.path());
}

std::wstring Terminal::LogPath() const {
    return dir_.File(std::wstring(kLogDirectoryName) + L"\\" + LogFileName(ToLocalTime(NowSeconds())));
}

std::string Terminal::LogBytes() const { return ReadFileBytes(LogPath()); }

std::vector<std::string> Terminal::LogMessages() const { return LogMessagesOf(LogBytes()); }

bool Contains(const std::vector<std::string>& lines, const std::string& line) {
    return std::find(lines.begin(), lines.end(), line) != lines.end();
}

std::vector<std::string> LogMessagesOf(const std::string& bytes) {
    std::vector<std::string> lines;
    std::size_t start = 0;
    while (start < bytes.size()) {
        auto end = bytes.find("\r\n", start);
        if (end == std::string::npos) end = bytes.size();
        const std::string line = bytes.substr(start, end - start);
        lines.push_back(line.size() >= 20 ? line.substr(20) : line);
        start = end + 2;
    }
    return lines;
}

}  // namespace pintle::test
