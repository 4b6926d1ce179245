#include "startup/lifecycle.h"

#include "assistant/assistant.h"
#include "common/paths.h"
#include "common/settings.h"
#include "formula/boundary_state.h"
#include "log/plugin_log.h"
#include "startup/data_path.h"
#include "startup/version.h"
#include "store/store.h"
#include "state/state.h"

namespace pintle {

void NoteHost(std::wstring_view exe_name) {
    if (EqualsIgnoringAsciiCase(exe_name, L"Brisko.exe")) {
        Boundary().brisko_host.store(true);
    } else if (EqualsIgnoringAsciiCase(exe_name, L"Halvane.exe")) {
        Boundary().halvane_host.store(true);
    }
}

void ConnectAtLoad() {
    SwitchAssistant(CurrentAssistantNumber());
    if (CurrentMainWindow() != nullptr) {
        CurrentAssistantStore();  // opens it beside the assistant's executable
        return;
    }
    if (FindProcess(L"Kovalt.exe") != 0) {
        PluginLog::Instance().WriteFormatted(
            L"无法连接到自动交易，可能是公式里指定的软件编号(%d)和自动交易软件里设置不匹配或者权限不足,"
            L"请确认编号一致，并且以管理员权限运行大智慧或者通达信",
            {CurrentAssistantNumber()});
    } else {
        PluginLog::Instance().Write(L"无法连接到自动交易，自动交易软件未启动");
    }
}

void OpenOwnStoreAtLoad() {
    const std::wstring& custom = CurrentSettings().custom_path;
    const OwnStorePlace place = ChooseOwnStorePlace(TerminalDirectory(), custom);
    if (!place.create_dir.empty() && !PathExists(place.create_dir)) CreateOneDirectory(place.create_dir);
    OpenOwnStore(place.file, place.writable);
    if (!custom.empty()) {
        PluginLog::Instance().WriteFormatted(L"配置了自定义数据路径=%s 只读模式,只能Get不能Set ", {place.file});
    }
}

void OnProcessAttach() {
    LoadSettings();
    const std::wstring exe = TerminalExecutableName();
    PluginLog::Instance().WriteFormatted(L"Pintle.dll Version(%sVaro专用) Attach %s", {PINTLE_VERSION_WIDE, exe});
    NoteHost(exe);
    ConnectAtLoad();
    OpenOwnStoreAtLoad();
}

void OnProcessDetach() {
    CloseAssistant();
    ReleaseStores();
    ResetStateQueries();
    PluginLog::Instance().WriteFormatted(L"~Pintle.dll Version(%s) DeAttach %s",
                                         {PINTLE_VERSION_WIDE, TerminalExecutableName()});
}

}  // namespace pintle
