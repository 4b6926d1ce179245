#include "support/terminal.h"

#include <windows.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <sstream>

#include "common/clock.h"
#include "common/local_time.h"
#include "common/text.h"
#include "common/win.h"
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

}  // namespace

std::wstring QuoteArg(const std::wstring& arg) {
    if (!arg.empty() && arg.find_first_of(L" \t\"") == std::wstring::npos) return arg;
    std::wstring out = L"\"";
    std::size_t backslashes = 0;
    for (const wchar_t c : arg) {
        if (c == L'\\') {
            ++backslashes;
            continue;
        }
        out.append(c == L'"' ? backslashes * 2 + 1 : backslashes, L'\\');
        backslashes = 0;
        out += c;
    }
    out.append(backslashes * 2, L'\\');
    return out + L'"';
}

void* StartProcess(const std::wstring& exe, const std::wstring& args, const std::wstring& cwd, void* output,
                   unsigned long* id) {
    STARTUPINFOW si{};
    si.cb = sizeof si;
    if (output) {
        si.dwFlags = STARTF_USESTDHANDLES;
        si.hStdOutput = si.hStdError = output;
    }
    PROCESS_INFORMATION pi{};
    std::wstring command = QuoteArg(exe) + L" " + args;
    for (int attempt = 0; attempt < 3; ++attempt) {
        if (CreateProcessW(exe.c_str(), command.data(), nullptr, nullptr, output != nullptr, CREATE_NO_WINDOW, nullptr,
                           cwd.empty() ? nullptr : cwd.c_str(), &si, &pi)) {
            CloseHandle(pi.hThread);
            if (id) *id = pi.dwProcessId;
            return pi.hProcess;
        }
        if (GetLastError() != ERROR_INTERNAL_ERROR) break;
        Sleep(200);
    }
    return nullptr;
}

RunResult RunProcess(const std::wstring& exe, const std::wstring& args, const std::wstring& cwd, unsigned timeout_ms) {
    RunResult result;
    SECURITY_ATTRIBUTES sa{sizeof sa, nullptr, TRUE};
    HANDLE read_end = nullptr, write_end = nullptr;
    if (!CreatePipe(&read_end, &write_end, &sa, 0)) {
        ADD_FAILURE() << "CreatePipe failed";
        return result;
    }
    UniqueHandle reading(read_end), writing(write_end);
    SetHandleInformation(read_end, HANDLE_FLAG_INHERIT, 0);
    UniqueHandle process(StartProcess(exe, args, cwd, write_end));
    if (!process) {
        ADD_FAILURE() << "cannot start " << WideToUtf8(exe) << ", error " << GetLastError();
        return result;
    }
    writing.reset();
    char buf[4096];
    DWORD n = 0;
    while (ReadFile(read_end, buf, sizeof buf, &n, nullptr) && n > 0) result.out.append(buf, n);
    if (WaitForSingleObject(process.get(), timeout_ms) != WAIT_OBJECT_0) {
        ADD_FAILURE() << "process did not end in time";
        TerminateProcess(process.get(), 99);
    }
    GetExitCodeProcess(process.get(), &result.exit_code);
    result.calls = ParseCalls(result.out);
    return result;
}

Terminal::Terminal(const std::wstring& exe_name) : dir_(L"terminal"), exe_(dir_.File(exe_name)) {
    EXPECT_TRUE(CopyFileW(BuildFile(L"Pintle.dll").c_str(), dir_.File(L"Pintle.dll").c_str(), FALSE));
    EXPECT_TRUE(CopyFileW(BuildFile(L"pintle-call.exe").c_str(), exe_.c_str(), FALSE));
}

RunResult Terminal::Run(const std::vector<std::wstring>& args) const {
    std::wstring line;
    for (const auto& a : args) line += (line.empty() ? L"" : L" ") + QuoteArg(a);
    return RunProcess(exe_, line, dir_.path());
}

RunResult Terminal::RunScript(const std::string& script, unsigned timeout_ms) const {
    static std::atomic<int> counter{0};
    const std::wstring file = dir_.File(L"script-" + std::to_wstring(++counter) + L".txt");
    WriteFileBytes(file, script);
    return RunProcess(exe_, L"--script " + QuoteArg(file), dir_.path(), timeout_ms);
}

std::string Terminal::LogBytes() const {
    return ReadFileBytes(dir_.File(std::wstring(kLogDirectoryName) + L"\\" + LogFileName(ToLocalTime(NowSeconds()))));
}

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
