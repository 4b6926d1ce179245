// Kovalt.exe, the stand-in assistant: publishes a SharedStateBlock with real
// windows and journals every message the plug-in sends them. See
// docs/kovalt.md for the command line, the journal and the control messages.
#include <cstdio>
#include <string>
#include <utility>
#include <vector>

#include "assistant.h"
#include "options.h"

int wmain(int argc, wchar_t** argv) {
    const std::vector<std::wstring> args(argv + 1, argv + argc);
    if (args.size() == 1 && (args[0] == L"--help" || args[0] == L"-h")) {
        std::fwprintf(stdout, L"%ls", kovalt::UsageText().c_str());
        return 0;
    }
    kovalt::ParseResult parsed = kovalt::ParseCommandLine(args);
    if (!parsed.options) {
        std::fwprintf(stderr, L"Kovalt: %ls\n%ls", parsed.error.c_str(), kovalt::UsageText().c_str());
        return 2;
    }

    kovalt::Assistant assistant(std::move(*parsed.options));
    std::wstring error;
    if (!assistant.Start(&error)) {
        std::fwprintf(stderr, L"Kovalt: %ls\n", error.c_str());
        return 1;
    }
    return assistant.Run();
}
