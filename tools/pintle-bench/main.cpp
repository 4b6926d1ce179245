// pintle-bench: how much each hot formula call costs next to its floor, the
// bare system calls that call cannot avoid. Run it with ./pintle bench: it
// sits in a directory of its own beside Pintle.dll (the terminal directory:
// the own store and the log go there) and bonus-server.exe (the finance
// site), with the stand-in assistant in the sub-directory "assistant". It
// starts the assistant and the site, loads the real Pintle.dll as a
// terminal does, measures, and prints a table and one
// "BENCH name median_us=.. floor_us=.. ratio=.." line per figure. It
// asserts nothing: the figures are for people and for scripts that compare
// runs.
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <cwchar>
#include <string>

#include "cases.h"
#include "common/win.h"
#include "stand_in.h"

namespace {

std::wstring OwnDirectory() {
    wchar_t buf[MAX_PATH] = {};
    GetModuleFileNameW(nullptr, buf, MAX_PATH);
    std::wstring path(buf);
    const auto pos = path.find_last_of(L"\\/");
    return pos == std::wstring::npos ? L"" : path.substr(0, pos + 1);
}

std::string ReadSmallFile(const std::wstring& path) {
    pintle::UniqueHandle f(CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                       OPEN_EXISTING, 0, nullptr));
    char buf[64] = {};
    DWORD got = 0;
    if (!f || !ReadFile(f.get(), buf, sizeof buf - 1, &got, nullptr)) return {};
    return std::string(buf, got);
}

bool WriteSmallFile(const std::wstring& path, const std::string& bytes) {
    pintle::UniqueHandle f(
        CreateFileW(path.c_str(), GENERIC_WRITE, FILE_SHARE_READ, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
    DWORD put = 0;
    return f && WriteFile(f.get(), bytes.data(), static_cast<DWORD>(bytes.size()), &put, nullptr) &&
           put == bytes.size();
}

int Fail(const std::wstring& why) {
    std::fwprintf(stderr, L"pintle-bench: %ls\n", why.c_str());
    return 1;
}

const wchar_t kUsage[] =
    L"usage: pintle-bench [--only NAME] [--repeat N [--side path|floor]]\n"
    L"  --only NAME   only the rows whose name contains NAME\n"
    L"  --repeat N    run one side of the rows N times without timing, after a 3-second pause\n"
    L"  --side S      the side --repeat runs: path (the default) or floor\n"
    L"Runs from a directory with Pintle.dll beside it and Kovalt.exe in assistant\\ (./pintle bench\n"
    L"lays that out). Exit code: 0 measured, 1 could not run, 2 wrong arguments.\n";

int WrongArguments(const std::wstring& why) {
    std::fwprintf(stderr, L"pintle-bench: %ls\n%ls", why.c_str(), kUsage);
    return 2;
}

// A hidden top-level window of this process, as every terminal has: the
// plug-in sends it as wParam with each command.
HWND TerminalWindow() {
    WNDCLASSW wc{};
    wc.lpfnWndProc = DefWindowProcW;
    wc.hInstance = GetModuleHandleW(nullptr);
    wc.lpszClassName = L"PintleBenchTerminal";
    RegisterClassW(&wc);
    return CreateWindowExW(0, wc.lpszClassName, L"pintle-bench", WS_OVERLAPPEDWINDOW, 0, 0, 100, 100, nullptr, nullptr,
                           wc.hInstance, nullptr);
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
    bench::Options options;
    if (argc == 2 && (std::wstring(argv[1]) == L"--help" || std::wstring(argv[1]) == L"-h")) {
        std::fwprintf(stdout, L"%ls", kUsage);
        return 0;
    }
    for (int i = 1; i < argc; i += 2) {
        const std::wstring name = argv[i];
        if (name != L"--only" && name != L"--repeat" && name != L"--side") return WrongArguments(L"unknown option " + name);
        if (i + 1 >= argc) return WrongArguments(name + L" needs a value");
        const std::wstring value = argv[i + 1];
        wchar_t* end = nullptr;
        if (name == L"--only") {
            options.only.assign(value.begin(), value.end());
        } else if (name == L"--repeat") {
            options.repeat = static_cast<int>(std::wcstol(value.c_str(), &end, 10));
            if (value.empty() || *end != L'\0' || options.repeat < 1) return WrongArguments(L"--repeat takes a count of 1 or more");
        } else if (value == L"path" || value == L"floor") {
            options.floor = value == L"floor";
        } else {
            return WrongArguments(L"--side takes path or floor");
        }
    }
    bench::Context ctx;
    ctx.dir = OwnDirectory();
    ctx.assistant_dir = ctx.dir + L"assistant\\";
    std::wstring error;
    if (!bench::WriteAssistantFiles(ctx.assistant_dir, &error)) return Fail(error);

    // One extra receiver; the journal goes nowhere, as a real assistant
    // keeps none; the value the assistant-slot Get reads.
    bench::StandIn assistant;
    if (!assistant.Start(ctx.assistant_dir, L"Kovalt.exe",
                         {L"--number", L"0", L"--extra-receivers", L"1", L"--journal", L"NUL", L"--state",
                          ctx.assistant_dir + L"state.txt", L"--store", L"600001 0 0 30 0 2.5"},
                         &error))
        return Fail(error);

    // The finance site, serving a full page of dividend rows for every code,
    // named in Pintle.ini before the plug-in loads (it reads it at load).
    bench::StandIn site;
    if (GetFileAttributesW((ctx.dir + L"bonus-server.exe").c_str()) != INVALID_FILE_ATTRIBUTES) {
        const std::wstring port_file = ctx.dir + L"bonus-server-port.txt";
        if (!site.Start(ctx.dir, L"bonus-server.exe", {L"--mode", L"rows", L"--port-file", port_file}, &error))
            return Fail(error);
        const int port = std::atoi(ReadSmallFile(port_file).c_str());
        if (port == 0 || !WriteSmallFile(ctx.dir + L"Pintle.ini", "[Settings]\r\nShareBonusHost=127.0.0.1:" +
                                                                       std::to_string(port) + "\r\n"))
            return Fail(L"cannot point Pintle.ini at the finance site");
        ctx.has_site = true;
    }

    pintle::UniqueHandle mapping(OpenFileMappingW(FILE_MAP_READ, FALSE, pintle::kMappingBaseName));
    pintle::MappedView view(mapping ? MapViewOfFile(mapping.get(), FILE_MAP_READ, 0, 0, pintle::kSharedStateBlockSize)
                                    : nullptr);
    if (!view) return Fail(L"cannot map the assistant's block");
    ctx.block = static_cast<const pintle::SharedStateBlock*>(view.get());
    pintle::UniqueHandle block_mutex(CreateMutexW(nullptr, FALSE, pintle::kBlockMutexName));
    pintle::UniqueHandle store_mutex(CreateMutexW(nullptr, FALSE, L"Global\\KovaltKeyValueDB"));
    ctx.block_mutex = block_mutex.get();
    ctx.store_mutex = store_mutex.get();
    ctx.main_window = reinterpret_cast<HWND>(static_cast<uintptr_t>(ctx.block->main_window));
    ctx.extra_window = reinterpret_cast<HWND>(static_cast<uintptr_t>(ctx.block->extra_receivers[0]));
    ctx.terminal = TerminalWindow();

    ctx.dll = LoadLibraryW((ctx.dir + L"Pintle.dll").c_str());
    if (ctx.dll == nullptr) return Fail(L"cannot load Pintle.dll from " + ctx.dir);

    std::printf("pintle-bench: every hot call next to its floor, timed in alternating pairs (microseconds)\n");
    const std::vector<bench::Row> rows = bench::RunCases(ctx, options);
    if (options.repeat == 0) bench::PrintReport(rows);

    FreeLibrary(ctx.dll);
    site.Stop();
    assistant.Stop();
    return 0;
}
