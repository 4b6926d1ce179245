// The tools as command-line programs: --help is an answer (exit 0), and a
// command that cannot be done says why and exits non-zero, so that scripts
// and people notice.
#include <gtest/gtest.h>

#include <windows.h>

#include "support/temp_dir.h"
#include "support/terminal.h"

namespace pintle::test {
namespace {

struct Case {
    const wchar_t* program;
    const wchar_t* args;
    unsigned long exit_code;
    const char* first_line;  // of what it printed (stdout and stderr)
};

TEST(ToolsCommandLine, HelpExitsZeroAndEveryFailureSaysWhyAndExitsNonZero) {
    // pintle-call with the DLL in a folder of its own: the DLL writes its log
    // and store beside the program that loads it.
    TempDir dir(L"cli");
    for (const wchar_t* file : {L"Pintle.dll", L"pintle-call.exe"})
        ASSERT_TRUE(CopyFileW(BuildFile(file).c_str(), dir.File(file).c_str(), FALSE));
    WriteFileBytes(dir.File(L"script.txt"), "call Buy\ncall RUNMODE\n");
    const std::wstring script = QuoteArg(dir.File(L"script.txt"));
    const Case cases[] = {
        {L"pintle-call.exe", L"--help", 0, "usage: pintle-call [--dll PATH] COMMAND..."},
        {L"pintle-call.exe", L"call RUNMODE", 0, "call RUNMODE -> 0"},
        {L"pintle-call.exe", L"call Buy", 1, "error no export Buy in " },
        {L"pintle-call.exe", L"--dll Z:\\no\\such.dll call BUY", 1, "error cannot load Z:\\no\\such.dll (126)"},
        {L"pintle-call.exe", L"tdx 99", 1, "error no TDX function 99"},
        {L"pintle-call.exe", L"call BUY --bars x", 2, "error bad option --bars x"},
        {L"pintle-call.exe", L"tdx 1 --a", 2, "error option --a needs a value"},
        {L"pintle-call.exe", L"bogus", 2, "error unknown command bogus"},
        {L"Kovalt.exe", L"--help", 0, "usage: Kovalt [--number N] [--version V] [--extra-receivers K]"},
        {L"pintle-inspect.exe", L"--help", 0, "usage: pintle-inspect [--json] [--kind KIND] FILE..."},
        {L"pintle-inspect.exe", L"--kind", 2, "pintle-inspect: --kind needs a value"},
        {L"pintle-bench.exe", L"--help", 0, "usage: pintle-bench [--only NAME] [--repeat N [--side path|floor]]"},
        {L"pintle-bench.exe", L"--repeat x", 2, "pintle-bench: --repeat takes a count of 1 or more"},
        {L"pintle-bench.exe", L"--bogus", 2, "pintle-bench: unknown option --bogus"},
    };
    for (const Case& c : cases) {
        const std::wstring program = std::wstring(c.program) == L"pintle-call.exe" ? dir.File(c.program) : BuildFile(c.program);
        const RunResult run = RunProcess(program, c.args, dir.path());
        const std::string first = run.out.substr(0, run.out.find_first_of("\r\n"));
        EXPECT_EQ(run.exit_code, c.exit_code) << run.out;
        EXPECT_EQ(first.substr(0, std::string(c.first_line).size()), c.first_line) << run.out;
    }
    // A script runs to its end, then says that a line failed.
    const RunResult run = RunProcess(dir.File(L"pintle-call.exe"), L"--script " + script, dir.path());
    EXPECT_EQ(run.exit_code, 1u);
    EXPECT_EQ(run.calls.size(), 1u) << run.out;
    EXPECT_NE(run.out.find("error in line 1 of "), std::string::npos) << run.out;
}

}  // namespace
}  // namespace pintle::test
