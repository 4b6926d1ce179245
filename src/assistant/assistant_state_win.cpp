#include "assistant/assistant_state.h"

#include <shlwapi.h>

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
    if (s.link->MainWindow() != nullptr) RefreshAssistantDirectory();
}

void SelectAssistant(int32_t n) {
    if (n != Assistant().number || !Assistant().link) SwitchAssistant(n);
}

HWND CurrentMainWindow() {
    AssistantLink* link = Assistant().link.get();
    return link ? link->MainWindow() : nullptr;
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

void RefreshAssistantDirectory() {
    AssistantState& s = Assistant();
    if (!s.directory.empty() && PathFileExistsW(s.directory.c_str())) return;
    if (HWND w = CurrentMainWindow()) s.directory = AssistantExecutableDirectory(w);
}

const std::wstring& AssistantDirectory() {
    RefreshAssistantDirectory();
    return Assistant().directory;
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
