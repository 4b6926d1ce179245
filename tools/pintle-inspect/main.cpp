// pintle-inspect: prints the store files that the plug-in and the assistant
// share (data.db of any version, history files) field by field, as text or
// as one JSON object per line, and says what a reader would distrust. It
// only reads: the files may be in use by a terminal or an assistant.
#include <windows.h>

#include <fcntl.h>
#include <io.h>

#include <cstdio>
#include <string>
#include <vector>

#include "common/win.h"
#include "file_kinds.h"

namespace {

std::wstring Usage() {
    std::wstring text =
        L"usage: pintle-inspect [--json] [--kind KIND] FILE...\n"
        L"  --json       one JSON object per line (header, record or entry, warning)\n"
        L"  --kind KIND  read the files as KIND instead of going by their names:\n";
    for (const auto& kind : inspect::FileKinds()) {
        const std::string name = kind.name, describe = kind.describe;
        text += L"      " + std::wstring(name.begin(), name.end()) + L": ";
        for (const char c : describe) text += static_cast<wchar_t>(static_cast<unsigned char>(c));
        text += L"\n";
    }
    return text +
           L"exit code: 0 printed, 1 a file could not be read or its kind not told, 2 wrong arguments\n";
}

bool ReadWholeFile(const std::wstring& path, std::string* bytes) {
    // Shared with a terminal or assistant that has the file open.
    pintle::UniqueHandle file(CreateFileW(path.c_str(), GENERIC_READ,
                                          FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                          OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file) return false;
    char buffer[65536];
    DWORD got = 0;
    while (ReadFile(file.get(), buffer, sizeof buffer, &got, nullptr) && got > 0) bytes->append(buffer, got);
    return true;
}

// UTF-8 to a pipe or file; wide characters to a console, which shows them
// whatever its code page.
void Write(HANDLE out, const std::string& utf8) {
    DWORD mode = 0;
    if (GetConsoleMode(out, &mode)) {
        const int n = MultiByteToWideChar(CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()), nullptr, 0);
        std::wstring wide(static_cast<std::size_t>(n > 0 ? n : 0), L'\0');
        if (n > 0) MultiByteToWideChar(CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()), wide.data(), n);
        DWORD written = 0;
        WriteConsoleW(out, wide.data(), static_cast<DWORD>(wide.size()), &written, nullptr);
        return;
    }
    std::fwrite(utf8.data(), 1, utf8.size(), stdout);
    std::fflush(stdout);
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
    bool json = false;
    std::string kind_name;
    std::vector<std::wstring> files;
    for (int i = 1; i < argc; ++i) {
        const std::wstring arg = argv[i];
        if (arg == L"--help" || arg == L"-h") {
            std::fwprintf(stdout, L"%ls", Usage().c_str());
            return 0;
        }
        if (arg == L"--json") {
            json = true;
        } else if (arg == L"--kind" && i + 1 >= argc) {
            std::fwprintf(stderr, L"pintle-inspect: --kind needs a value\n%ls", Usage().c_str());
            return 2;
        } else if (arg == L"--kind") {
            const std::wstring name = argv[++i];
            kind_name.assign(name.begin(), name.end());
            if (!inspect::FindFileKind(kind_name, L"")) {
                std::fwprintf(stderr, L"pintle-inspect: unknown kind %ls\n%ls", name.c_str(), Usage().c_str());
                return 2;
            }
        } else if (arg.rfind(L"--", 0) == 0) {
            std::fwprintf(stderr, L"pintle-inspect: unknown option %ls\n%ls", arg.c_str(), Usage().c_str());
            return 2;
        } else {
            files.push_back(arg);
        }
    }
    if (files.empty()) {
        std::fwprintf(stderr, L"%ls", Usage().c_str());
        return 2;
    }

    const HANDLE out = GetStdHandle(STD_OUTPUT_HANDLE);
    _setmode(_fileno(stdout), _O_BINARY);  // lines end with \n alone
    int exit_code = 0;
    for (const std::wstring& path : files) {
        const inspect::FileKind* kind = inspect::FindFileKind(kind_name, path);
        std::string bytes;
        if (!kind) {
            std::fwprintf(stderr, L"pintle-inspect: %ls: cannot tell the kind of file; name it with --kind\n",
                          path.c_str());
            exit_code = 1;
            continue;
        }
        if (!ReadWholeFile(path, &bytes)) {
            std::fwprintf(stderr, L"pintle-inspect: cannot read %ls (error %lu)\n", path.c_str(), GetLastError());
            exit_code = 1;
            continue;
        }
        inspect::Report report(json);
        kind->print(path, bytes, report);
        Write(out, report.Output());
    }
    return exit_code;
}
