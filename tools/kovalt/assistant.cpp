#include "assistant.h"

#include <cstdio>
#include <span>

#include "formats/command_record.h"
#include "journal_format.h"

namespace kovalt {
namespace {

constexpr DWORD kStateCheckMs = 250;

uint32_t HandleValue(HWND window) {
    // The block holds 32-bit handles; user handles fit in them on Windows.
    return static_cast<uint32_t>(reinterpret_cast<uintptr_t>(window));
}

pintle::UniqueHandle OpenEvent(const std::wstring& name, std::wstring* error) {
    // Manual reset: whoever waits for it may come late and still see it.
    HANDLE h = CreateEventW(nullptr, TRUE, FALSE, name.c_str());
    if (!h) *error = L"cannot create event " + name + L", error " + std::to_wstring(GetLastError());
    return pintle::UniqueHandle(h);
}

}  // namespace

Assistant::Assistant(Options options) : options_(std::move(options)), state_source_(options_.state_path) {}

bool Assistant::Start(std::wstring* error) {
    DWORD code = 0;
    if (!journal_.Open(options_.journal_path, options_.live, &code)) {
        *error = L"cannot create the journal " + options_.journal_path + L", error " + std::to_wstring(code);
        return false;
    }
    if (!options_.ready_event.empty() && !(ready_event_ = OpenEvent(options_.ready_event, error))) return false;
    if (!options_.quit_event.empty() && !(quit_event_ = OpenEvent(options_.quit_event, error))) return false;

    for (const std::wstring& write : options_.store_writes) {
        if (!StoreValue(write)) {
            *error = L"cannot store " + write;
            return false;
        }
    }
    if (!publisher_.Open(options_.number, error)) return false;
    if (publisher_.TookOver()) {
        std::fwprintf(stderr, L"note: mapping %ls already existed; taking it over\n",
                      MappingName(options_.number).c_str());
    }

    const int refresh_count = static_cast<int>(options_.refresh_receivers.size());
    if (!windows_.Create(this, options_.number, options_.extra_receivers, refresh_count, error)) return false;

    state_.main_window = HandleValue(windows_.Main());
    for (int i = 0; i < options_.extra_receivers; ++i) state_.extra_receivers[i] = HandleValue(windows_.Extra(i));
    for (int i = 0; i < refresh_count; ++i)
        state_.refresh_receivers.push_back({HandleValue(windows_.Refresh(i)), options_.refresh_receivers[i]});
    state_.version = options_.version;
    if (state_source_.Enabled()) {
        state_.tables = StateTables{};
        LoadState(true);
    }
    Republish();

    if (!WriteScreeningFiles(ExecutableDirectory(), options_.screening, error)) return false;

    std::fputs("ready\n", stdout);
    std::fflush(stdout);
    if (ready_event_) SetEvent(ready_event_.get());
    return true;
}

int Assistant::Run() {
    HANDLE quit = quit_event_.get();
    const DWORD count = quit ? 1 : 0;
    for (;;) {
        // MWMO_INPUTAVAILABLE: input that arrived before the wait, but was
        // not taken by the last PeekMessage pass, still wakes us.
        // With a state file, a look at it every 250 ms: an edited file is
        // published without anyone asking.
        const DWORD wait_ms = state_source_.Enabled() ? kStateCheckMs : INFINITE;
        const DWORD woke =
            MsgWaitForMultipleObjectsEx(count, quit ? &quit : nullptr, wait_ms, QS_ALLINPUT, MWMO_INPUTAVAILABLE);
        if (count == 1 && woke == WAIT_OBJECT_0) return 0;
        if (woke == WAIT_TIMEOUT) {
            if (LoadState(false)) Republish();
            continue;
        }
        if (woke == WAIT_FAILED) {
            std::fwprintf(stderr, L"message wait failed, error %lu\n", GetLastError());
            return 1;
        }
        MSG msg;
        while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
            if (msg.message == WM_QUIT) return static_cast<int>(msg.wParam);
            TranslateMessage(&msg);
            DispatchMessageW(&msg);
        }
    }
}

std::optional<LRESULT> Assistant::OnMessage(const WindowRole& role, HWND, UINT message, WPARAM wparam,
                                            LPARAM lparam) {
    switch (message) {
        case WM_COPYDATA:
            return OnCopyData(role, wparam, *reinterpret_cast<const COPYDATASTRUCT*>(lparam));

        case pintle::kAssistantNoticeMessage:
            journal_.Append(FormatNotice(RoleName(role), static_cast<int64_t>(wparam), static_cast<int64_t>(lparam)));
            return 0;

        case kControlRepublish: {
            journal_.Append(FormatOther(RoleName(role), message));
            Republish();
            std::wstring error;
            if (!WriteScreeningFiles(ExecutableDirectory(), options_.screening, &error)) {
                std::fwprintf(stderr, L"%ls\n", error.c_str());
            }
            return 1;
        }

        case kControlDestroyMain:
            journal_.Append(FormatOther(RoleName(role), message));
            // The block keeps naming the old handle: that is the point.
            windows_.DestroyMain();
            return 1;

        case kControlSetVersion:
            journal_.Append(FormatOther(RoleName(role), message));
            state_.version = static_cast<int32_t>(lparam);
            Republish();
            return 1;

        case kControlReloadState:
            journal_.Append(FormatOther(RoleName(role), message));
            LoadState(true);
            Republish();
            return 1;

        case WM_CLOSE:
            // Not DefWindowProc: that would destroy just this one window.
            PostQuitMessage(0);
            return 0;

        default:
            return std::nullopt;
    }
}

LRESULT Assistant::OnCopyData(const WindowRole& role, WPARAM wparam, const COPYDATASTRUCT& data) {
    const auto* bytes = static_cast<const uint8_t*>(data.lpData);
    const std::span<const uint8_t> payload(bytes, bytes ? data.cbData : 0);
    journal_.Append(FormatCopyData(RoleName(role), data.dwData, wparam, payload));

    if (data.dwData == pintle::kKindRefreshRequest) {
        LoadState(false);
        Republish();
    }
    if (data.dwData == kControlStoreValue) {
        const std::string text(reinterpret_cast<const char*>(payload.data()), payload.size());
        const int n = MultiByteToWideChar(CP_ACP, 0, text.data(), static_cast<int>(text.size()), nullptr, 0);
        std::wstring wide(static_cast<std::size_t>(n > 0 ? n : 0), L'\0');
        if (n > 0) MultiByteToWideChar(CP_ACP, 0, text.data(), static_cast<int>(text.size()), wide.data(), n);
        return StoreValue(wide) ? 1 : 0;
    }

    if (role.IsMain()) {
        if (options_.hang_main_ms > 0) Sleep(options_.hang_main_ms);
        if (options_.fail_main) return 0;
    }
    return 1;
}

void Assistant::Republish() { publisher_.Publish(state_); }

bool Assistant::StoreValue(const std::wstring& text) {
    const auto write = ParseStoreWrite(text);
    std::wstring error = L"expected CODE QUALIFIER ASSISTANT SLOT PERIOD VALUE [BARTIME [TIME]]";
    if (write && store_.Write(*write, &error)) return true;
    std::fwprintf(stderr, L"store: %ls: %ls\n", text.c_str(), error.c_str());
    return false;
}

bool Assistant::LoadState(bool force) {
    std::optional<StateTables> tables = state_source_.Check(force);
    if (!tables) return false;
    state_.tables = std::move(tables);
    return true;
}

}  // namespace kovalt
