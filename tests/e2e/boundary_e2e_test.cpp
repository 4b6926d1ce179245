// The built DLL as a terminal sees it: its export directory, imports and
// version resource, and the lines it writes when a terminal loads it.
#include <gtest/gtest.h>

#include <windows.h>

#include <algorithm>
#include <regex>
#include <set>

#include "plugin/export_table.h"
#include "startup/version.h"
#include "support/kovalt_process.h"
#include "support/pe_image.h"
#include "support/temp_dir.h"
#include "support/terminal.h"

namespace pintle::test {
namespace {

std::map<std::string, std::string> TableNameToSymbol() {
    std::map<std::string, std::string> rows;
    for (std::size_t i = 0; i < ExportTableSize(); ++i) rows[ExportTable()[i].name] = ExportTable()[i].symbol;
    return rows;
}

TEST(ExportTable, DefFileSaysWhatTheTableSays) {
    const std::string def = ReadFileBytes(std::wstring(PINTLE_SOURCE_DIR_WIN) + L"\\src\\plugin\\Pintle.def");
    ASSERT_FALSE(def.empty());
    std::map<std::string, std::string> from_def;
    std::regex row(R"(^\s+(\S+)=(\S+)\s*$)");
    std::smatch m;
    std::istringstream in(def);
    std::string line;
    while (std::getline(in, line)) {
        if (!line.empty() && line.back() == '\r') line.pop_back();
        if (std::regex_match(line, m, row)) {
            EXPECT_TRUE(from_def.emplace(m[1], m[2]).second) << "listed twice: " << m[1];
        }
    }
    EXPECT_EQ(from_def, TableNameToSymbol());
}

TEST(ExportTable, BuiltDllExportsExactlyTheTableAndAliasesShareTheirFunction) {
    const PeImage dll = ReadPeImage(BuildFile(L"Pintle.dll"));
    ASSERT_TRUE(dll.ok);
    const auto table = TableNameToSymbol();
    std::set<std::string> exported, listed;
    for (const auto& [name, rva] : dll.exports) exported.insert(name);
    for (const auto& [name, symbol] : table) listed.insert(name);
    EXPECT_EQ(exported, listed);

    std::map<std::string, uint32_t> symbol_rva;
    for (const auto& [name, symbol] : table) {
        auto it = dll.exports.find(name);
        if (it == dll.exports.end()) continue;
        auto [pos, fresh] = symbol_rva.emplace(symbol, it->second);
        EXPECT_EQ(pos->second, it->second) << name << " is not the same function as the other names of " << symbol;
    }
    std::set<uint32_t> distinct;
    for (const auto& [symbol, rva] : symbol_rva) distinct.insert(rva);
    EXPECT_EQ(distinct.size(), symbol_rva.size()) << "two functions share one address";
}

TEST(BuiltDll, ImportsSystemDllsOnly) {
    const PeImage dll = ReadPeImage(BuildFile(L"Pintle.dll"));
    ASSERT_TRUE(dll.ok);
    for (const std::string& name : dll.imports) EXPECT_TRUE(IsWindowsSystemDll(name)) << "imports " << name;
}

TEST(BuiltDll, CarriesTheVersionItLogs) {
    const std::wstring path = BuildFile(L"Pintle.dll");
    DWORD ignored = 0;
    const DWORD size = GetFileVersionInfoSizeW(path.c_str(), &ignored);
    ASSERT_GT(size, 0u);
    std::vector<char> data(size);
    ASSERT_TRUE(GetFileVersionInfoW(path.c_str(), 0, size, data.data()));
    auto text = [&](const wchar_t* key) {
        void* p = nullptr;
        UINT len = 0;
        const std::wstring sub = std::wstring(L"\\StringFileInfo\\040904b0\\") + key;
        if (!VerQueryValueW(data.data(), sub.c_str(), &p, &len) || len == 0) return std::wstring();
        return std::wstring(static_cast<wchar_t*>(p));
    };
    EXPECT_EQ(text(L"FileVersion"), PINTLE_VERSION_WIDE);
    EXPECT_EQ(text(L"ProductName"), L"Pintle");
    EXPECT_FALSE(text(L"FileDescription").empty());
    VS_FIXEDFILEINFO* fixed = nullptr;
    UINT len = 0;
    ASSERT_TRUE(VerQueryValueW(data.data(), L"\\", reinterpret_cast<void**>(&fixed), &len));
    EXPECT_EQ(fixed->dwFileVersionMS, (3u << 16) | 3u);
    EXPECT_EQ(fixed->dwFileVersionLS, (7u << 16) | 5u);
}

TEST(Load, WritesAttachAndDetachLinesAndAppendsOnTheNextRun) {
    TempDir work(L"attach");
    // Connected, and its value store is there: no diagnosis lines.
    KovaltProcess kovalt({.number = 0, .exe_dir = work.path(), .store = {L"600000 0 0 100 0 1"}}, work.path());
    ASSERT_TRUE(kovalt.Started());
    Terminal terminal(L"Brisko.exe");
    const RunResult first = terminal.Run({L"call", L"RUNMODE"});
    ASSERT_EQ(first.exit_code, 0u) << first.out;
    ASSERT_EQ(first.calls.size(), 1u);
    EXPECT_EQ(first.calls[0].ret, 0);

    const std::string attach = "Pintle.dll Version(3.3.7.5Varo\xe4\xb8\x93\xe7\x94\xa8) Attach Brisko.exe";
    const std::string detach = "~Pintle.dll Version(3.3.7.5) DeAttach Brisko.exe";
    EXPECT_EQ(terminal.LogMessages(), (std::vector<std::string>{attach, detach}));

    terminal.Run({L"call", L"RUNMODE"});
    const std::string bytes = terminal.LogBytes();
    EXPECT_EQ(LogMessagesOf(bytes), (std::vector<std::string>{attach, detach, attach, detach}));
    EXPECT_NE(bytes.substr(0, 3), "\xEF\xBB\xBF");
    const std::regex line(R"(\d{4}-\d{2}-\d{2} \d{2}:\d{2}:\d{2} [^\r\n]*\r\n)");
    std::string rest = bytes;
    std::smatch m;
    int lines = 0;
    while (std::regex_search(rest, m, line, std::regex_constants::match_continuous)) {
        rest = m.suffix();
        ++lines;
    }
    EXPECT_EQ(lines, 4);
    EXPECT_EQ(rest, "");
}

TEST(Load, NoOperationNamesReturnZero) {
    Terminal terminal;
    std::string script;
    for (const char* name : {"Buy1", "Buy1_rz", "Sell1", "Sell1_hk", "Sell1_rq", "CancelOrder1", "InitReceiveQuote",
                             "RegisterQuote", "SetBuyCondition", "_SetBuyCondition", "SetSellCondition",
                             "_SetSellCondition", "RUNMODE", "SETRUNMODE"}) {
        script += std::string("call ") + name + " --bars 3 --arg 1 --arg 2\n";
    }
    const RunResult run = terminal.RunScript(script);
    ASSERT_EQ(run.exit_code, 0u) << run.out;
    ASSERT_EQ(run.calls.size(), 14u);
    for (const auto& c : run.calls) {
        EXPECT_EQ(c.ret, 0) << c.name;
        EXPECT_EQ(c.values, (std::vector<double>{-1, -1, -1})) << c.name << " touched the result buffer";
    }
}

TEST(Load, RecordsFromABadTerminalDoNotCrashTheHost) {
    TempDir work(L"bad-input");
    KovaltProcess kovalt({.number = 0}, work.path());
    ASSERT_TRUE(kovalt.Started());
    Terminal terminal;
    std::string script;
    for (const char* name : {"SETRUNMODE", "BUY", "CLEARPOSITION", "SENDQUOTE", "SendQuote"}) {
        for (const char* bad : {"--label-hex 4141414141414141414141414141414141414141 --bar-by-bar 1",
                                "--no-result --no-bars --bars 5", "--bars -3 --bar-by-bar 1 --index -4",
                                "--bars 2 --index 99 --arg @1,2 --arg @300,300 --arg 3 --arg 0",
                                "--argc 4 --arg null --arg null --arg null --arg null"}) {
            script += std::string("call ") + name + " " + bad + "\n";
        }
    }
    const RunResult run = terminal.RunScript(script);
    EXPECT_EQ(run.exit_code, 0u) << run.out;
    EXPECT_EQ(run.calls.size(), 25u);
    // The index outside the bars reads the constants (0): BUY sends nothing
    // for quantity 0 instead of reading past the series.
    for (const auto& m : kovalt.Messages()) {
        if (m.Get("kind") == "1") {
            EXPECT_NE(m.Record()->quantity, 300) << m.line;
        }
    }
}

}  // namespace
}  // namespace pintle::test
