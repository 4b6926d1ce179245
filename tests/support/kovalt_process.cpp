// Starting, stopping and reading the stand-in assistant for end-to-end tests.
#include "support/kovalt_process.h"

#include <gtest/gtest.h>

#include <atomic>
#include <cstring>
#include <sstream>

#include "common/text.h"
#include "support/terminal.h"

namespace pintle::test {
namespace {

constexpr wchar_t kAssistantsLockName[] = L"PintleTest-Assistants";
constexpr DWORD kLockWaitMs = 250000;
constexpr DWORD kReadyWaitMs = 20000;
constexpr DWORD kExitWaitMs = 10000;

std::optional<std::vector<uint8_t>> DecodeHex(const std::string& hex) {
    if (hex.size() % 2 != 0 || hex.find_first_not_of("0123456789abcdef") != std::string::npos) return std::nullopt;
    std::vector<uint8_t> bytes;
    for (std::size_t i = 0; i < hex.size(); i += 2)
        bytes.push_back(static_cast<uint8_t>(std::stoi(hex.substr(i, 2), nullptr, 16)));
    return bytes;
}

std::wstring UniqueEventName(const wchar_t* what) {
    static std::atomic<int> counter{0};
    return L"PintleTest-Kovalt-" + std::to_wstring(GetCurrentProcessId()) + L"-" + std::to_wstring(++counter) +
           L"-" + what;
}

// A guard against a hung test, not part of any check.
LRESULT SendGuarded(HWND to, UINT message, WPARAM wparam, LPARAM lparam) {
    DWORD_PTR answer = 0;
    if (!SendMessageTimeoutW(to, message, wparam, lparam, SMTO_NORMAL, 20000, &answer))
        ADD_FAILURE() << "message " << message << " was not answered, error " << GetLastError();
    return static_cast<LRESULT>(answer);
}

}  // namespace

// ---------------------------------------------------------------- journal

std::string JournalEntry::Get(const std::string& key) const {
    const auto it = fields.find(key);
    return it == fields.end() ? std::string() : it->second;
}

std::optional<CommandRecord> JournalEntry::Record() const {
    if (!bytes || bytes->size() != sizeof(CommandRecord)) return std::nullopt;
    CommandRecord record;
    std::memcpy(&record, bytes->data(), sizeof record);
    return record;
}

std::vector<QuoteEntry> JournalEntry::Quotes() const {
    std::vector<QuoteEntry> quotes;
    if (!bytes || bytes->empty() || bytes->size() % sizeof(QuoteEntry) != 0) return quotes;
    quotes.resize(bytes->size() / sizeof(QuoteEntry));
    std::memcpy(quotes.data(), bytes->data(), bytes->size());
    return quotes;
}

JournalEntry ParseJournalLine(const std::string& line) {
    JournalEntry entry;
    entry.line = line;
    std::istringstream words(line);
    for (std::string token; words >> token;) {
        const std::size_t eq = token.find('=');
        if (eq != std::string::npos) entry.fields[token.substr(0, eq)] = token.substr(eq + 1);
    }
    if (entry.fields.count("bytes")) entry.bytes = DecodeHex(entry.Get("bytes"));
    return entry;
}

std::wstring KovaltMappingName(int number) {
    std::wstring name = kMappingBaseName;
    if (number != 0) name += std::to_wstring(number);
    return name;
}

// ---------------------------------------------------------------- lock

AssistantsLock::AssistantsLock() : mutex_(CreateMutexW(nullptr, FALSE, kAssistantsLockName)) {
    if (!mutex_) {
        ADD_FAILURE() << "cannot create the assistants lock, error " << GetLastError();
        return;
    }
    // An abandoned lock (a test program that died holding it) is ours now.
    const DWORD waited = WaitForSingleObject(mutex_.get(), kLockWaitMs);
    held_ = waited == WAIT_OBJECT_0 || waited == WAIT_ABANDONED;
    if (!held_) ADD_FAILURE() << "another test kept the assistants lock for " << kLockWaitMs / 1000 << " s";
}

AssistantsLock::~AssistantsLock() {
    if (held_) ReleaseMutex(mutex_.get());
}

// ---------------------------------------------------------------- block

SharedBlockView SharedBlockView::Open(int number, bool writable) {
    SharedBlockView view;
    const DWORD access = writable ? FILE_MAP_READ | FILE_MAP_WRITE : FILE_MAP_READ;
    const std::wstring name = KovaltMappingName(number);
    view.mapping_.reset(OpenFileMappingW(access, FALSE, name.c_str()));
    if (view.mapping_) view.view_.reset(MapViewOfFile(view.mapping_.get(), access, 0, 0, kSharedStateBlockSize));
    if (view.view_) view.mutex_.reset(CreateMutexW(nullptr, FALSE, kBlockMutexName));
    return view;
}

std::unique_ptr<SharedStateBlock> SharedBlockView::Snapshot() const {
    if (!view_) return nullptr;
    auto copy = std::make_unique<SharedStateBlock>();
    Locked([&](const SharedStateBlock& block) { std::memcpy(copy.get(), &block, sizeof block); });
    return copy;
}

// ---------------------------------------------------------------- process

KovaltProcess::KovaltProcess(const KovaltOptions& options, const std::wstring& work_dir)
    : options_(options),
      journal_path_(work_dir + L"\\kovalt-journal.txt"),
      output_path_(work_dir + L"\\kovalt-output.txt") {
    const std::wstring ready_name = UniqueEventName(L"ready");
    const std::wstring quit_name = UniqueEventName(L"quit");
    UniqueHandle ready(CreateEventW(nullptr, TRUE, FALSE, ready_name.c_str()));
    quit_event_.reset(CreateEventW(nullptr, TRUE, FALSE, quit_name.c_str()));
    if (!ready || !quit_event_) {
        ADD_FAILURE() << "cannot create the Kovalt events, error " << GetLastError();
        return;
    }

    std::wstring exe = std::wstring(PINTLE_BUILD_DIR_WIN) + L"\\Kovalt.exe";
    if (!options.exe_dir.empty()) {
        const std::wstring copy = options.exe_dir + L"\\Kovalt.exe";
        if (!CopyFileW(exe.c_str(), copy.c_str(), FALSE)) {
            ADD_FAILURE() << "cannot copy Kovalt.exe to " << WideToUtf8(copy) << ", error " << GetLastError();
            return;
        }
        exe = copy;
    }
    std::wstring command = L"--number " + std::to_wstring(options.number);
    auto add = [&](const wchar_t* name, const std::wstring& value) { command += L" " + std::wstring(name) + L" " + QuoteArg(value); };
    add(L"--version", std::to_wstring(options.version));
    add(L"--extra-receivers", std::to_wstring(options.extra_receivers));
    if (!options.refresh_receivers.empty()) {
        std::wstring list;
        for (const int n : options.refresh_receivers) list += (list.empty() ? L"" : L",") + std::to_wstring(n);
        add(L"--refresh-receivers", list);
    }
    for (const auto& value : options.screening) add(L"--screening", value);
    if (options.fail_main) command += L" --fail-main";
    if (options.hang_main_ms > 0) add(L"--hang-main-ms", std::to_wstring(options.hang_main_ms));
    for (const std::wstring& write : options.store) add(L"--store", write);
    if (!options.state_path.empty()) add(L"--state", options.state_path);
    add(L"--journal", journal_path_);
    add(L"--ready-event", ready_name);
    add(L"--quit-event", quit_name);

    // Its console output goes to a file: readable after a failed start, and
    // no pipe of ctest's is left open in a child that outlives a test.
    SECURITY_ATTRIBUTES inherit = {sizeof inherit, nullptr, TRUE};
    UniqueHandle output(CreateFileW(output_path_.c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                    &inherit, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (output) process_.reset(StartProcess(exe, command, work_dir, output.get(), &process_id_));
    if (!process_) {
        ADD_FAILURE() << "cannot start " << WideToUtf8(exe) << ", error " << GetLastError();
        return;
    }
    HANDLE waits[] = {ready.get(), process_.get()};
    const DWORD woke = WaitForMultipleObjects(2, waits, FALSE, kReadyWaitMs);
    if (woke == WAIT_OBJECT_0) {
        started_ = true;
        main_window_ = MainWindow();
        return;
    }
    if (woke == WAIT_OBJECT_0 + 1) {
        ADD_FAILURE() << "Kovalt.exe exited with code " << ExitCode() << " before it was ready:\n" << Output();
    } else {
        ADD_FAILURE() << "Kovalt.exe was not ready within " << kReadyWaitMs / 1000 << " s:\n" << Output();
    }
}


void KovaltProcess::Stop() {
    if (!process_) return;
    if (ExitCode() == STILL_ACTIVE) {
        SetEvent(quit_event_.get());
        if (WaitForSingleObject(process_.get(), kExitWaitMs) != WAIT_OBJECT_0) {
            ADD_FAILURE() << "Kovalt.exe did not exit within " << kExitWaitMs / 1000 << " s of the quit event";
            TerminateProcess(process_.get(), 99);
            WaitForSingleObject(process_.get(), kExitWaitMs);
        }
    }
}

bool KovaltProcess::WaitForExit(DWORD timeout_ms) {
    return process_ && WaitForSingleObject(process_.get(), timeout_ms) == WAIT_OBJECT_0;
}

DWORD KovaltProcess::ExitCode() const {
    DWORD code = STILL_ACTIVE;
    if (process_) GetExitCodeProcess(process_.get(), &code);
    return code;
}

std::string KovaltProcess::Output() const { return ReadFileBytes(output_path_); }

std::vector<std::string> KovaltProcess::JournalLines() const {
    const std::string bytes = ReadFileBytes(journal_path_);
    std::vector<std::string> lines;
    std::size_t start = 0;
    // A last line without its '\n' is still being written: left out.
    for (std::size_t end; (end = bytes.find('\n', start)) != std::string::npos; start = end + 1)
        lines.push_back(bytes.substr(start, end - start));
    return lines;
}

std::vector<JournalEntry> KovaltProcess::Messages() const {
    std::vector<JournalEntry> entries;
    for (const std::string& line : JournalLines()) entries.push_back(ParseJournalLine(line));
    return entries;
}

std::vector<JournalEntry> KovaltProcess::MessagesOfKind(int kind, const std::string& window) const {
    std::vector<JournalEntry> out;
    for (auto& m : Messages()) {
        if (m.Get("msg") == "copydata" && m.Get("window") == window && m.Get("kind") == std::to_string(kind)) {
            out.push_back(std::move(m));
        }
    }
    return out;
}

std::vector<CommandRecord> KovaltProcess::CommandsOfKind(int kind, const std::string& window) const {
    std::vector<CommandRecord> out;
    for (const auto& m : MessagesOfKind(kind, window)) {
        if (auto r = m.Record()) out.push_back(*r);
    }
    return out;
}

bool KovaltProcess::WaitForJournalLines(std::size_t count, DWORD timeout_ms) const {
    const ULONGLONG deadline = GetTickCount64() + timeout_ms;
    for (;;) {
        if (JournalLines().size() >= count) return true;
        if (GetTickCount64() >= deadline) return false;
        // Waiting on the process: a stand-in that died ends the wait early.
        if (process_ && WaitForSingleObject(process_.get(), 20) == WAIT_OBJECT_0)
            return JournalLines().size() >= count;
    }
}

HWND KovaltProcess::MainWindow() const {
    const SharedBlockView view = SharedBlockView::Open(options_.number);
    uint32_t handle = 0;
    view.Locked([&](const SharedStateBlock& block) { handle = block.main_window; });
    return reinterpret_cast<HWND>(static_cast<uintptr_t>(handle));
}

LRESULT KovaltProcess::SendControl(UINT message, LPARAM lparam) { return SendGuarded(main_window_, message, 0, lparam); }

bool KovaltProcess::StoreValue(const std::wstring& write) {
    const std::string text = WideToAnsi(write);
    return SendCopyData(main_window_, kKovaltStoreValue, text.data(), static_cast<DWORD>(text.size()), 0) == 1;
}

LRESULT SendCopyData(HWND to, ULONG_PTR kind, const void* data, DWORD size, WPARAM wparam) {
    COPYDATASTRUCT envelope = {kind, size, const_cast<void*>(data)};
    return SendGuarded(to, WM_COPYDATA, wparam, reinterpret_cast<LPARAM>(&envelope));
}

}  // namespace pintle::test
