#include "startup/lifecycle.h"

#include "common/paths.h"
#include "log/plugin_log.h"
#include "plugin/boundary_state.h"
#include "startup/version.h"

namespace pintle {

void NoteHost(std::wstring_view exe_name) {
    if (EqualsIgnoringAsciiCase(exe_name, L"Brisko.exe")) {
        Boundary().brisko_host.store(true);
    } else if (EqualsIgnoringAsciiCase(exe_name, L"Halvane.exe")) {
        Boundary().halvane_host.store(true);
    }
}

void OnProcessAttach() {
    const std::wstring exe = TerminalExecutableName();
    PluginLog::Instance().WriteFormatted(L"Pintle.dll Version(%sVaro专用) Attach %s", {PINTLE_VERSION_WIDE, exe});
    NoteHost(exe);
}

void OnProcessDetach() {
    PluginLog::Instance().WriteFormatted(L"~Pintle.dll Version(%s) DeAttach %s",
                                         {PINTLE_VERSION_WIDE, TerminalExecutableName()});
}

}  // namespace pintle
