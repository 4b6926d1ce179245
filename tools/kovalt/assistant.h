// The stand-in assistant itself: ties the options, the journal, the published
// block and the windows together, answers the windows' messages and runs the
// message loop. Everything runs on the one UI thread that calls Start and Run.
//
// Control messages (any window of the program accepts them; tests send them
// to the main window):
//   kControlRepublish       rewrite the block from the current state, and
//                           the screening result files
//   kControlDestroyMain     destroy the main window; mapping and block stay
//                           as they are (the block keeps the old handle)
//   kControlSetVersion      lParam = new version number, then republish
//   WM_COPYDATA with dwData kControlStoreValue: the payload is a store write
//                           (value_store.h) in the ANSI code page; answers 1
//                           when it was stored, 0 when not
//   kControlReloadState     read the state file again, then republish
//   WM_CLOSE                leave the message loop and exit with code 0
#pragma once
#include <optional>
#include <string>

#include "assistant_windows.h"
#include "block_state.h"
#include "common/win.h"
#include "journal.h"
#include "options.h"
#include "publisher.h"
#include "value_store.h"
#include "state_source.h"

namespace kovalt {

constexpr UINT kControlRepublish = WM_APP + 1;
constexpr UINT kControlDestroyMain = WM_APP + 2;
constexpr UINT kControlSetVersion = WM_APP + 3;
constexpr ULONG_PTR kControlStoreValue = WM_APP + 4;
constexpr UINT kControlReloadState = WM_APP + 5;

class Assistant final : public MessageSink {
public:
    explicit Assistant(Options options);

    // Opens the journal and the events, creates the named objects and the
    // windows, publishes the block, prints "ready" and sets the ready event.
    // False with a message on failure.
    bool Start(std::wstring* error);

    // Runs until WM_CLOSE, WM_QUIT or the quit event; gives the exit code.
    int Run();

    std::optional<LRESULT> OnMessage(const WindowRole& role, HWND window, UINT message, WPARAM wparam,
                                     LPARAM lparam) override;

private:
    LRESULT OnCopyData(const WindowRole& role, WPARAM wparam, const COPYDATASTRUCT& data);
    void Republish();
    bool StoreValue(const std::wstring& text);
    // Takes the state file's tables when it changed (or `force`); true when
    // the published state changed.
    bool LoadState(bool force);

    Options options_;
    PublishedState state_;
    Journal journal_;
    Publisher publisher_;
    ValueStore store_{OwnDirectory()};
    StateSource state_source_;
    pintle::UniqueHandle ready_event_;
    pintle::UniqueHandle quit_event_;
    // Last, so the windows go first and no message arrives at a half-gone
    // assistant.
    WindowSet windows_;
};

}  // namespace kovalt
