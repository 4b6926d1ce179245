// Runs the stand-in assistant Kovalt.exe (from the build directory) for an
// end-to-end test, and reads what it published and journalled.
//
// Assistants are machine-wide: the block mapping of a number and the block
// mutex are seen by every process under the same wineserver, and ctest runs
// test programs side by side. So every KovaltProcess holds the assistants
// lock (AssistantsLock) for its lifetime, and a test that relies on some
// assistant number NOT running holds one too. The lock is a named mutex:
// recursive within a thread, so a test may run several assistants, but it
// must create and destroy them on one thread.
#pragma once
#include <windows.h>

#include <cstdint>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "common/win.h"
#include "formats/command_record.h"
#include "formats/quote_entry.h"
#include "formats/shared_state_block.h"

namespace pintle::test {

// Control messages the stand-in accepts (docs/kovalt.md).
constexpr UINT kKovaltRepublish = WM_APP + 1;
constexpr UINT kKovaltDestroyMain = WM_APP + 2;
constexpr ULONG_PTR kKovaltStoreValue = WM_APP + 4;  // dwData of a WM_COPYDATA store write
constexpr UINT kKovaltReloadState = WM_APP + 5;

struct KovaltOptions {
    int number = 0;
    int version = 30800;
    int extra_receivers = 0;
    std::vector<int> refresh_receivers;
    bool fail_main = false;
    int hang_main_ms = 0;
    std::wstring exe_dir;  // run a copy there, so that its value store (TradeSelfData beside it) is the test's own
    std::vector<std::wstring> store;  // --store writes at start
    std::vector<std::wstring> screening;  // --screening KIND:N:CODES, written at start
    std::wstring state_path;  // the state file (docs/kovalt.md); empty: none
};

// One journal line ("key=value key=value ..."), split into its fields.
struct JournalEntry {
    std::string line;
    std::map<std::string, std::string> fields;
    std::optional<std::vector<uint8_t>> bytes;  // the payload, when the line has bytes=

    // The field's text, or "" when the line has no such field.
    std::string Get(const std::string& key) const;
    // The payload as a CommandRecord, when it is exactly 196 bytes.
    std::optional<CommandRecord> Record() const;
    // The payload as QuoteEntry records, when it is a non-zero multiple of 98 bytes.
    std::vector<QuoteEntry> Quotes() const;
};
JournalEntry ParseJournalLine(const std::string& line);

// WM_COPYDATA as the plug-in sends it; gives the answer. An answer that does
// not come within 20 s (a guard, not part of any check) is a test failure.
LRESULT SendCopyData(HWND to, ULONG_PTR kind, const void* data, DWORD size, WPARAM wparam = 0x10abc);

// "KovaltFileMappingObject", followed by the number unless it is 0.
std::wstring KovaltMappingName(int number);

// Holds the machine-wide assistants lock for its lifetime (see above). Waits
// for it at most 250 s and reports a test failure if it cannot have it.
class AssistantsLock {
public:
    AssistantsLock();
    ~AssistantsLock();
    AssistantsLock(const AssistantsLock&) = delete;
    AssistantsLock& operator=(const AssistantsLock&) = delete;

private:
    UniqueHandle mutex_;
    bool held_ = false;
};

// A view of an assistant's published block, opened by name like the plug-in
// does. Empty when no mapping of that name exists.
class SharedBlockView {
public:
    static SharedBlockView Open(int number, bool writable = false);
    explicit operator bool() const { return static_cast<bool>(view_); }

    // Copy of the whole block, taken under the block mutex; null without a view.
    std::unique_ptr<SharedStateBlock> Snapshot() const;
    // Runs fn(SharedStateBlock&) with the block mutex held.
    template <class Fn>
    void Locked(Fn&& fn) const {
        if (!view_) return;
        MutexHold hold(mutex_.get());
        fn(*static_cast<SharedStateBlock*>(view_.get()));
    }

private:
    UniqueHandle mapping_;
    UniqueHandle mutex_;
    MappedView view_;
};

class KovaltProcess {
public:
    // Starts Kovalt.exe with its journal and console output in work_dir and
    // waits (at most 20 s) until it has published its block; a failure to
    // start is reported, and Started() is then false. Stop() at the end.
    KovaltProcess(const KovaltOptions& options, const std::wstring& work_dir);
    ~KovaltProcess() { Stop(); }
    KovaltProcess(const KovaltProcess&) = delete;
    KovaltProcess& operator=(const KovaltProcess&) = delete;

    bool Started() const { return started_; }
    DWORD ProcessId() const { return process_id_; }

    // Complete lines of the journal, read fresh from the file.
    std::vector<std::string> JournalLines() const;
    std::vector<JournalEntry> Messages() const;
    // The WM_COPYDATA messages of one kind that arrived at one window.
    std::vector<JournalEntry> MessagesOfKind(int kind, const std::string& window = "main") const;
    // The same, as CommandRecords (messages of another length are skipped).
    std::vector<CommandRecord> CommandsOfKind(int kind, const std::string& window = "main") const;
    // Waits at most timeout_ms until the journal holds `count` lines (posted
    // messages arrive after the poster goes on); false when they did not.
    bool WaitForJournalLines(std::size_t count, DWORD timeout_ms = 10000) const;

    // The main window as published in the block now (null when the block is
    // gone; whatever a test wrote there when it scribbled over it).
    HWND MainWindow() const;

    // Sends a control message (kKovalt...) to the main window published at
    // start, whatever the block says now; gives the window's answer.
    LRESULT SendControl(UINT message, LPARAM lparam);
    // Has the stand-in store a value: "CODE QUALIFIER ASSISTANT SLOT PERIOD
    // VALUE [BARTIME [TIME]]" (docs/kovalt.md); true when it did.
    bool StoreValue(const std::wstring& write);

    // Sets the quit event and waits for the exit; after 10 s a failure, and
    // the process is terminated. Idempotent.
    void Stop();
    // Waits for the process to end by itself (e.g. after WM_CLOSE).
    bool WaitForExit(DWORD timeout_ms);
    // Exit code once the process has ended; STILL_ACTIVE before.
    DWORD ExitCode() const;
    // What the process printed (stdout and stderr).
    std::string Output() const;

private:
    KovaltOptions options_;
    AssistantsLock lock_;
    std::wstring journal_path_;
    std::wstring output_path_;
    UniqueHandle quit_event_;
    UniqueHandle process_;
    DWORD process_id_ = 0;
    HWND main_window_ = nullptr;  // as published at start
    bool started_ = false;
};

}  // namespace pintle::test
