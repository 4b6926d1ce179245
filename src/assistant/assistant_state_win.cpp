#include "assistant/assistant_state.h"

#include "common/clock.h"
#include "log/plugin_log.h"

namespace pintle {

namespace {
AssistantState g_assistant;
}

AssistantState& Assistant() { return g_assistant; }

int32_t CurrentAssistantNumber() { return Assistant().number; }

void SwitchAssistant(int32_t n) {
    AssistantState& s = Assistant();
    if (s.link) {
        s.link->Close();
        s.link.reset();
    }
    s.link = std::make_unique<AssistantLink>();
    s.link->Connect(n);
    s.number = n;
    CurrentMainWindow();  // reads n's directory when its window is new
}

void SelectAssistant(int32_t n) {
    if (n != Assistant().number || !Assistant().link) SwitchAssistant(n);
}

HWND CurrentMainWindow() {
    AssistantState& s = Assistant();
    if (!s.link) return nullptr;
    const HWND window = s.link->MainWindow();
    if (window != nullptr) NoteMainWindow(s.number, window);
    return window;
}

void NoteMainWindow(int32_t n, HWND window) {
    AssistantHome& home = Assistant().homes[n];
    if (home.window == window) return;
    home.window = window;
    home.error = 0;
    home.directory = AssistantExecutableDirectory(window, &home.error);
}

bool PollCurrentLink() {
    AssistantLink* link = Assistant().link.get();
    return link != nullptr && link->Poll();
}

const SharedStateBlock* CurrentBlock() {
    AssistantLink* link = Assistant().link.get();
    return link ? link->Block() : nullptr;
}

HANDLE CurrentBlockMutex() {
    AssistantLink* link = Assistant().link.get();
    return link ? link->Mutex() : nullptr;
}

void SetLookupCode(std::string ansi_code) {
    if (AssistantLink* link = Assistant().link.get()) link->SetCurrentCode(std::move(ansi_code));
}

void SetExtendedFields(bool on) {
    if (AssistantLink* link = Assistant().link.get()) link->SetExtendedFields(on);
}

void MarkQueryApiUsed() { Assistant().query_api_used = true; }

const std::wstring& AssistantDirectoryOf(int32_t n) {
    static const std::wstring kNone;
    AssistantState& s = Assistant();
    const auto it = s.homes.find(n);
    if (it == s.homes.end()) return kNone;
    const AssistantHome& home = it->second;
    if (home.directory.empty() && s.unreadable_directory.Allow(n, NowSeconds())) {
        PluginLog::Instance().WriteFormatted(L"助手%d的程序目录无法读取(错误码%d),读不到助手数据",
                                             {n, static_cast<long long>(home.error)});
    }
    return home.directory;
}

void CloseAssistant() {
    AssistantState& s = Assistant();
    if (s.link) {
        s.link->Close();
        s.link.reset();
    }
}

void ResetAssistantState() {
    CloseAssistant();
    Assistant() = AssistantState{};
}

}  // namespace pintle
