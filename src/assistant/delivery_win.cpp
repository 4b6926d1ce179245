#include "assistant/delivery.h"

#include "assistant/assistant_state.h"
#include "common/clock.h"
#include "common/text.h"
#include "formats/shared_state_block.h"
#include "log/plugin_log.h"

namespace pintle {

bool SendCopyData(HWND to, HWND terminal_window, COPYDATASTRUCT& cds) {
    DWORD_PTR answer = 0;
    SetLastError(0);
    const LRESULT sent = SendMessageTimeoutW(to, WM_COPYDATA, reinterpret_cast<WPARAM>(terminal_window),
                                             reinterpret_cast<LPARAM>(&cds), SMTO_ABORTIFHUNG, kSendTimeoutMs, &answer);
    if (sent == 0) {
        if (GetLastError() == 0) SetLastError(ERROR_TIMEOUT);
        return false;
    }
    return answer != 0;
}

HWND TerminalWindow() {
    HWND& cached = Assistant().terminal_window;
    if (cached != nullptr && IsWindow(cached)) return cached;
    cached = nullptr;
    const DWORD self = GetCurrentProcessId();
    for (HWND w = GetTopWindow(nullptr); w != nullptr; w = GetWindow(w, GW_HWNDNEXT)) {
        DWORD pid = 0;
        GetWindowThreadProcessId(w, &pid);
        if (pid == self) {
            cached = w;
            break;
        }
    }
    return cached;
}

Delivery Deliver(uint32_t kind, const void* data, uint32_t size, Sender sender) {
    AssistantLink* link = Assistant().link.get();
    return DeliverTo(link ? link->MainWindow() : nullptr, kind, data, size, sender);
}

Delivery DeliverCommand(HWND main, uint32_t kind, const CommandRecord& rec, Sender sender, const wchar_t* function) {
    if (main == nullptr || !Assistant().link) {
        // Every recalculation would say it again: once a minute per
        // assistant, function and code is enough to be found.
        const std::wstring code = AnsiToWide(FieldText(rec.code, sizeof rec.code));
        if (Assistant().undelivered.Allow({rec.assistant, function, code}, NowSeconds())) {
            PluginLog::Instance().WriteFormatted(L"助手%d未运行,未发出 %s %s", {rec.assistant, function, code});
        }
        return {};
    }
    return DeliverTo(main, kind, &rec, sizeof rec, sender);
}

Delivery DeliverTo(HWND main, uint32_t kind, const void* data, uint32_t size, Sender sender) {
    Delivery result;
    const HWND terminal = TerminalWindow();
    AssistantLink* link = Assistant().link.get();
    if (main == nullptr || link == nullptr) return result;
    result.had_window = true;

    if (sender == Sender::DzhCommand) {
        const bool mapped = link->Poll();
        if (!mapped || link->Block()->version < kMinimumAssistantVersion) {
            PluginLog::Instance().Write(L"无法连接自动交易软件下单,请更新到最新版本");
            result.refused = true;
            return result;
        }
    }

    COPYDATASTRUCT cds{kind, size, const_cast<void*>(data)};
    result.main_accepted = SendCopyData(main, terminal, cds);
    if (!result.main_accepted && (sender == Sender::DzhCommand || sender == Sender::TdxCommand)) {
        const int32_t error = static_cast<int32_t>(GetLastError());
        PluginLog::Instance().WriteFormatted(
            sender == Sender::DzhCommand ? L"无法连接自动交易软件下单,请以管理员权限运行大智慧或通达信试试.错误码(%d)"
                                         : L"无法连接自动交易下单,请以管理员权限运行通达信试试.错误码(%d)",
            {error});
        PostAssistantNotice(error, 0, nullptr);
    }

    // A receiver that is no window any more refuses the send by itself:
    // asking first would cost every live receiver a look-up.
    if (const SharedStateBlock* block = link->Block()) {
        for (int i = 0; i < kReceiverSlots; ++i) {
            const HWND w = WindowFromBlock(block->extra_receivers[i]);
            if (w != nullptr) SendCopyData(w, terminal, cds);
        }
    }
    return result;
}

}  // namespace pintle
