#include "assistant/assistant_state.h"
#include "common/clock.h"
#include "common/throttle.h"
#include "formats/command_record.h"
#include "log/plugin_log.h"

namespace pintle {

void PostAssistantNotice(int32_t code, int32_t number, const wchar_t* text) {
    AssistantState& s = Assistant();
    const int64_t now = NowSeconds();
    if (SecondsSince(s.last_notice_time, now) < 3) return;
    s.last_notice_time = now;
    const int32_t lparam = number != 0 ? number : s.number;
    if (s.link) {
        const HWND w = s.link->MainWindow();
        if (w != nullptr && IsWindow(w)) {
            PostMessageW(w, kAssistantNoticeMessage, static_cast<WPARAM>(static_cast<uint32_t>(code)),
                         static_cast<LPARAM>(lparam));
            return;
        }
    }
    if (text != nullptr) PluginLog::Instance().Write(text);
}

}  // namespace pintle
