#include "assistant/link.h"

#include <psapi.h>
#include <shlwapi.h>
#include <tlhelp32.h>

#include <cstring>

#include "assistant/assistant_state.h"
#include "assistant/delivery.h"
#include "common/clock.h"
#include "common/paths.h"
#include "common/text.h"
#include "common/throttle.h"
#include "formats/command_record.h"
#include "log/plugin_log.h"

namespace pintle {

std::wstring MappingNameFor(int32_t n) {
    return n == 0 ? std::wstring(kMappingBaseName) : std::wstring(kMappingBaseName) + std::to_wstring(n);
}

bool AssistantLink::Connect(int32_t n) {
    mutex_.reset(CreateMutexW(nullptr, FALSE, kBlockMutexName));
    if (!mutex_) {
        mutex_.reset();
        PluginLog::Instance().WriteFormatted(L"Create KovaltShare Mutex fail error = %d",
                                             {static_cast<long long>(GetLastError())});
    }
    const bool ok = OpenMapping(MappingNameFor(n));
    number_ = n;
    return ok;
}

bool AssistantLink::OpenMapping(const std::wstring& name) {
    view_size_ = kSharedStateBlockSize;
    mapping_name_ = name;
    last_error_ = 0;
    mapping_.reset(OpenFileMappingW(FILE_MAP_ALL_ACCESS, FALSE, name.c_str()));
    if (mapping_) {
        view_.reset(MapViewOfFile(mapping_.get(), FILE_MAP_ALL_ACCESS, 0, 0, static_cast<SIZE_T>(view_size_)));
        if (view_) return true;
        last_error_ = static_cast<int32_t>(GetLastError());
        if (FindProcess(L"Kovalt.exe") != 0) {
            PluginLog::Instance().WriteFormatted(L"Could not map view of file (%d).\n", {last_error_});
        }
        mapping_.reset();
        return false;
    }
    mapping_.reset();
    last_error_ = static_cast<int32_t>(GetLastError());

    // The failure message is throttled per assistant number: every formula
    // call retries while no assistant runs.
    const std::wstring base(kMappingBaseName);
    const auto pos = name.find(base);
    if (pos == std::wstring::npos) return false;
    const std::wstring suffix = name.substr(pos + base.size());
    long long k = 0;
    if (!suffix.empty()) {
        k = -1;
        if (suffix.size() <= 9 && suffix.find_first_not_of(L"0123456789") == std::wstring::npos) {
            k = std::stoll(suffix);
        }
    }
    if (k < 0 || k > 9) return false;
    int64_t& last = Assistant().connection_message_times[k];
    const int64_t now = NowSeconds();
    if (SecondsSince(last, now) <= 300) return false;
    last = now;
    if (suffix.empty()) {
        PluginLog::Instance().WriteFormatted(
            L"不能连接编号为 0 的 助手,  Pintle.dll将不能连接助手下单 错误=%d, "
            L"请确保助手号正确并确保助手正在运行,或者以管理员身份运行行情软件(如大智慧通达信)试试",
            {last_error_});
    } else {
        PluginLog::Instance().WriteFormatted(
            L"不能连接编号为  %s 的 助手, Pintle.dll将不能连接助手下单 错误=%d, "
            L"请确保助手号正确并确保助手正在运行,或者以管理员身份运行行情软件(如大智慧通达信)试试",
            {suffix, last_error_});
    }
    return false;
}

void AssistantLink::ReleaseView() {
    view_.reset();
    mapping_.reset();
}

void AssistantLink::Close() {
    current_code_.clear();
    ReleaseView();
    mapping_name_.clear();
    mutex_.reset();
}

HWND AssistantLink::MainWindow() {
    if (view_) main_window_ = WindowFromBlock(Block()->main_window);
    if (main_window_ != nullptr && IsWindow(main_window_)) return main_window_;

    ReleaseView();
    mutex_.reset();
    Connect(number_);
    if (view_) {
        main_window_ = WindowFromBlock(Block()->main_window);
        if (main_window_ != nullptr && IsWindow(main_window_)) return main_window_;
        view_.reset();
    }
    mapping_.reset();
    main_window_ = nullptr;
    return nullptr;
}

bool AssistantLink::Poll() {
    const uint32_t now = TickMs();
    if (last_poll_ != 0 && now - last_poll_ < 3000) return static_cast<bool>(view_);
    last_poll_ = now;
    RefreshRequest();
    return static_cast<bool>(view_);
}

void AssistantLink::RefreshRequest() {
    // Null unless IsWindow just said it is one.
    const HWND main = MainWindow();
    CommandRecord rec{};
    rec.id = kCommandRecordId;
    rec.sub_kind = extended_fields_ ? 1 : 0;
    CopyToField(rec.code, sizeof rec.code, current_code_);
    rec.assistant = number_;
    COPYDATASTRUCT cds{kKindRefreshRequest, sizeof rec, &rec};
    if (main != nullptr) SendCopyData(main, nullptr, cds);
    if (!view_) return;
    for (int i = 0; i < kReceiverSlots; ++i) {
        const HWND w = WindowFromBlock(Block()->refresh_receivers[i]);
        if (w == nullptr || !IsWindow(w)) continue;
        if (Block()->receiver_entries[i].assistant != static_cast<float>(number_)) continue;
        SendCopyData(w, nullptr, cds);
    }
}

uint32_t FindProcess(const wchar_t* exe_name) {
    UniqueHandle snapshot(CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0));
    if (!snapshot) return 0;
    PROCESSENTRY32W entry{};
    entry.dwSize = sizeof entry;
    for (BOOL more = Process32FirstW(snapshot.get(), &entry); more; more = Process32NextW(snapshot.get(), &entry)) {
        if (EqualsIgnoringAsciiCase(FileNamePart(entry.szExeFile), exe_name)) return entry.th32ProcessID;
    }
    return 0;
}

std::wstring AssistantExecutableDirectory(HWND window, uint32_t* error) {
    uint32_t ignored = 0;
    uint32_t& why = error ? *error : ignored;
    DWORD pid = 0;
    GetWindowThreadProcessId(window, &pid);
    if (pid == 0) {
        why = GetLastError();
        return {};
    }
    UniqueHandle process(OpenProcess(PROCESS_QUERY_INFORMATION | PROCESS_VM_READ, FALSE, pid));
    if (!process) {
        why = GetLastError();
        return {};
    }
    wchar_t path[MAX_PATH] = {};
    if (GetModuleFileNameExW(process.get(), nullptr, path, MAX_PATH) == 0) {
        why = GetLastError();
        return {};
    }
    process.reset();
    wchar_t canonical[MAX_PATH] = {};
    if (!PathCanonicalizeW(canonical, path)) {
        why = GetLastError();
        return {};
    }
    return DirectoryPart(canonical);
}

}  // namespace pintle
