// The formula examples a trader copies (examples/formulas, README.md there):
// each NN-name.script makes the calls of its NN-name.txt on a short chart, in
// a fresh terminal beside the stand-in assistant, and the whole output (the
// answers, what the assistant received, the day's log) must be
// NN-name.expected byte for byte. Every call a formula makes must have its
// line in the script, so that an example cannot drift from what is tested.
//
// After a deliberate change, PINTLE_UPDATE_EXPECTED=1 rewrites the .expected
// files instead of comparing (read the diff before committing it).
#include <gtest/gtest.h>

#include <windows.h>

#include <algorithm>
#include <cctype>
#include <regex>
#include <set>
#include <sstream>

#include "common/text.h"
#include "support/kovalt_process.h"
#include "support/temp_dir.h"
#include "support/terminal.h"

namespace pintle::test {
namespace {

const std::wstring kExamples = std::wstring(PINTLE_SOURCE_DIR_WIN) + L"\\examples\\formulas";

// "dzh/01-buy-sell" for every dzh\*.script and tdx\*.script.
std::vector<std::string> ExampleNames() {
    std::vector<std::string> names;
    for (const char* terminal : {"dzh", "tdx"}) {
        WIN32_FIND_DATAW found;
        const std::wstring folder = kExamples + L"\\" + std::wstring(terminal, terminal + 3);
        const HANDLE h = FindFirstFileW((folder + L"\\*.script").c_str(), &found);
        if (h == INVALID_HANDLE_VALUE) continue;
        do {
            const std::string file = WideToUtf8(found.cFileName);
            names.push_back(std::string(terminal) + "/" + file.substr(0, file.size() - 7));
        } while (FindNextFileW(h, &found));
        FindClose(h);
    }
    std::sort(names.begin(), names.end());
    return names;
}

std::wstring ExampleFile(const std::string& name, const char* extension) {
    std::wstring path = kExamples + L"\\" + AnsiToWide(name) + AnsiToWide(extension);
    std::replace(path.begin(), path.end(), L'/', L'\\');
    return path;
}

std::string Replace(std::string text, const std::string& from, const std::string& to) {
    for (std::size_t at = 0; (at = text.find(from, at)) != std::string::npos; at += to.size()) text.replace(at, from.size(), to);
    return text;
}

// The environment every example runs in (examples/formulas/README.md).
class FormulaExample : public ::testing::TestWithParam<std::string> {
protected:
    std::string Run() {
        Terminal terminal(L"pintle-call.exe");
        CreateDirectoryW(terminal.File(L"USERDATA").c_str(), nullptr);
        CreateDirectoryW(terminal.File(L"USERDATA\\block").c_str(), nullptr);
        WriteFileBytes(terminal.File(L"USERDATA\\block\\自选股3.BLK"), std::string("\xa5\0\0\0", 4));
        CreateDirectoryW(terminal.File(L"T0002").c_str(), nullptr);
        CreateDirectoryW(terminal.File(L"T0002\\blocknew").c_str(), nullptr);
        const std::wstring assistant_dir = terminal.File(L"assistant");
        CreateDirectoryW(assistant_dir.c_str(), nullptr);

        KovaltOptions options;
        options.exe_dir = assistant_dir;
        options.state_path = kExamples + L"\\assistant-state.txt";
        options.screening = {L"WenCai:3:600000,000001"};
        options.store = {L"600000 0 0 30 0 1"};  // so that the assistant's store exists
        KovaltProcess assistant(options, assistant_dir);
        if (!assistant.Started()) return "the stand-in assistant did not start";

        const RunResult run = terminal.RunScript(ReadFileBytes(ExampleFile(GetParam(), ".script")));
        std::string out = Replace(run.out, "\r", "");
        if (run.exit_code != 0) out += "== exit code " + std::to_string(run.exit_code) + "\n";
        // What arrived, without the refresh requests (their number depends on
        // how long the run took), the line numbers and the raw bytes.
        out += "== assistant 0 received\n";
        for (const std::string& line : assistant.JournalLines()) {
            const JournalEntry entry = ParseJournalLine(line);
            if (entry.Get("msg") == "copydata" && entry.Get("kind") == "2") continue;
            std::string shown = line.substr(line.find(' ') + 1);
            out += shown.substr(0, shown.find(" bytes=")) + "\n";
        }
        out += "== log\n";
        const std::string dir = WideToUtf8(terminal.dir());
        for (const std::string& line : terminal.LogMessages()) out += Replace(line, dir, "<terminal>") + "\n";
        return out;
    }
};

TEST_P(FormulaExample, ScriptGivesTheExpectedOutput) {
    const std::string output = Run();
    const std::wstring expected_file = ExampleFile(GetParam(), ".expected");
    if (GetEnvironmentVariableW(L"PINTLE_UPDATE_EXPECTED", nullptr, 0) > 0) {
        ASSERT_TRUE(WriteFileBytes(expected_file, output));
        return;
    }
    EXPECT_EQ(output, ReadFileBytes(expected_file));
}

// The formula a trader pastes: UTF-8 with CR LF, and each DLL call it makes
// ("Pintle@NAME"( or TDXDLL1(n,) made by a `call NAME` or `tdx n` line of
// the script.
TEST_P(FormulaExample, FormulaCallsAreTheScriptsCalls) {
    const std::string formula = ReadFileBytes(ExampleFile(GetParam(), ".txt"));
    ASSERT_FALSE(formula.empty());
    for (std::size_t at = formula.find('\n'); at != std::string::npos; at = formula.find('\n', at + 1))
        EXPECT_TRUE(at > 0 && formula[at - 1] == '\r') << "a line without CR at byte " << at;
    EXPECT_GT(MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, formula.data(), static_cast<int>(formula.size()),
                                  nullptr, 0), 0) << "not UTF-8";

    std::set<std::string> script_calls;
    std::istringstream script(ReadFileBytes(ExampleFile(GetParam(), ".script")));
    const std::regex script_line(R"(^\s*(call|tdx)\s+(\S+))");
    std::smatch m;
    for (std::string line; std::getline(script, line);) {
        if (std::regex_search(line, m, script_line)) script_calls.insert(m[1].str() + " " + m[2].str());
    }
    const std::regex formula_call(R"re("Pintle@(\w+)"\s*\(|TDXDLL1\s*\(\s*(\d+)\s*,)re");
    int calls = 0;
    for (auto it = std::sregex_iterator(formula.begin(), formula.end(), formula_call); it != std::sregex_iterator(); ++it) {
        const std::string call = (*it)[1].matched ? "call " + (*it)[1].str() : "tdx " + (*it)[2].str();
        EXPECT_TRUE(script_calls.count(call)) << "the formula calls " << it->str() << " but the script has no `" << call << "`";
        ++calls;
    }
    EXPECT_GT(calls, 0) << "a formula example that calls nothing";
}

INSTANTIATE_TEST_SUITE_P(Examples, FormulaExample, ::testing::ValuesIn(ExampleNames()),
                         [](const ::testing::TestParamInfo<std::string>& info) {
                             std::string name = info.param;
                             for (char& c : name) c = std::isalnum(static_cast<unsigned char>(c)) ? c : '_';
                             return name;
                         });

}  // namespace
}  // namespace pintle::test
