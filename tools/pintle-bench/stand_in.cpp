#include "stand_in.h"

namespace bench {
namespace {

std::wstring Quote(const std::wstring& arg) {
    if (!arg.empty() && arg.find_first_of(L" \t\"") == std::wstring::npos) return arg;
    std::wstring out = L"\"";
    for (const wchar_t c : arg) {
        if (c == L'"') out += L'\\';
        out += c;
    }
    return out + L"\"";
}

}  // namespace

bool StandIn::Start(const std::wstring& dir, const std::wstring& exe_name, const std::vector<std::wstring>& options,
                    std::wstring* error) {
    const std::wstring tag = exe_name + L"-" + std::to_wstring(GetCurrentProcessId());
    const std::wstring ready_name = L"PintleBench-ready-" + tag, quit_name = L"PintleBench-quit-" + tag;
    pintle::UniqueHandle ready(CreateEventW(nullptr, TRUE, FALSE, ready_name.c_str()));
    quit_.reset(CreateEventW(nullptr, TRUE, FALSE, quit_name.c_str()));
    const std::wstring exe = dir + exe_name;
    std::wstring command = Quote(exe);
    for (const auto& o : options) command += L" " + Quote(o);
    command += L" --ready-event " + ready_name + L" --quit-event " + quit_name;

    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION info{};
    // Under load Wine now and then fails a start with error 1359: try again.
    bool created = false;
    for (int attempt = 0; attempt < 3 && !created; ++attempt) {
        created = CreateProcessW(exe.c_str(), command.data(), nullptr, nullptr, FALSE, CREATE_NO_WINDOW, nullptr,
                                 dir.c_str(), &startup, &info) != 0;
        if (!created && GetLastError() != ERROR_INTERNAL_ERROR) break;
    }
    if (!created) {
        *error = L"cannot start " + exe + L", error " + std::to_wstring(GetLastError());
        return false;
    }
    CloseHandle(info.hThread);
    process_.reset(info.hProcess);
    HANDLE waits[] = {ready.get(), process_.get()};
    if (WaitForMultipleObjects(2, waits, FALSE, 20000) != WAIT_OBJECT_0) {
        *error = exe_name + L" did not say it is ready";
        Stop();
        return false;
    }
    return true;
}

void StandIn::Stop() {
    if (!process_) return;
    SetEvent(quit_.get());
    if (WaitForSingleObject(process_.get(), 10000) != WAIT_OBJECT_0) TerminateProcess(process_.get(), 99);
    process_.reset();
}

}  // namespace bench
