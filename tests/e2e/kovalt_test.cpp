// The stand-in assistant, as the plug-in meets it: the names it publishes
// under, the block fields it writes, the answers its windows give and the
// journal lines it keeps. The journal is the reference the other end-to-end
// tests read the plug-in's messages from, so its texts are pinned exactly.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "support/kovalt_process.h"
#include "support/temp_dir.h"
#include "support/terminal.h"

namespace pintle::test {
namespace {

constexpr WPARAM kSenderWindow = 0x10abc;  // stands for the terminal window

HWND ToWindow(uint32_t handle) { return reinterpret_cast<HWND>(static_cast<uintptr_t>(handle)); }

// WM_COPYDATA as the plug-in sends it; gives the window's answer.
LRESULT SendCopyData(HWND to, ULONG_PTR kind, const void* data, DWORD size, WPARAM wparam = kSenderWindow) {
    COPYDATASTRUCT envelope = {kind, size, const_cast<void*>(data)};
    DWORD_PTR answer = 0;
    // The time-out is a guard against a hung test, not part of any check.
    if (!SendMessageTimeoutW(to, WM_COPYDATA, wparam, reinterpret_cast<LPARAM>(&envelope), SMTO_NORMAL, 20000,
                             &answer)) {
        ADD_FAILURE() << "WM_COPYDATA not answered, error " << GetLastError();
    }
    return static_cast<LRESULT>(answer);
}

LRESULT SendRecord(HWND to, ULONG_PTR kind, const CommandRecord& record) {
    return SendCopyData(to, kind, &record, sizeof record);
}

CommandRecord RefreshRequest(int assistant) {
    CommandRecord r = {};
    r.id = kCommandRecordId;
    r.assistant = assistant;
    return r;
}

std::vector<uint8_t> BytesOf(const void* data, std::size_t size) {
    const auto* p = static_cast<const uint8_t*>(data);
    return std::vector<uint8_t>(p, p + size);
}

// The journal line up to (not including) its bytes= field.
std::string WithoutBytes(const std::string& line) {
    const std::size_t at = line.find(" bytes=");
    return at == std::string::npos ? line : line.substr(0, at);
}

DWORD OwnerProcess(HWND window) {
    DWORD pid = 0;
    GetWindowThreadProcessId(window, &pid);
    return pid;
}

class KovaltTest : public ::testing::Test {
protected:
    TempDir dir_{L"kovalt"};
};

// ------------------------------------------------------------ names

class KovaltNames : public KovaltTest {};

TEST_F(KovaltNames, NumberZeroPublishesUnderTheBareNameAndCreatesTheBlockMutex) {
    KovaltProcess kovalt({}, dir_.path());
    ASSERT_TRUE(kovalt.Started());

    // Before this process creates the mutex itself through a block view.
    UniqueHandle mutex(OpenMutexW(SYNCHRONIZE, FALSE, L"Global\\KovaltShare"));
    EXPECT_TRUE(mutex) << "error " << GetLastError();

    // Ours, not one a plug-in of another test still holds.
    const auto block = SharedBlockView::Open(0).Snapshot();
    ASSERT_TRUE(block) << "KovaltFileMappingObject";
    EXPECT_EQ(OwnerProcess(ToWindow(block->main_window)), kovalt.ProcessId());
    for (const int other : {3, 10}) {
        const SharedBlockView view = SharedBlockView::Open(other);
        EXPECT_FALSE(view) << other;
        EXPECT_EQ(view.Error(), static_cast<DWORD>(ERROR_FILE_NOT_FOUND)) << other;
    }
    UniqueHandle zero_suffix(OpenFileMappingW(FILE_MAP_READ, FALSE, L"KovaltFileMappingObject0"));
    EXPECT_FALSE(zero_suffix) << "number 0 takes no suffix";
}

// ------------------------------------------------------------ block

class KovaltBlock : public KovaltTest {};

TEST_F(KovaltBlock, PublishesWindowsReceiversAndVersion) {
    KovaltOptions options;
    options.number = 2;
    options.version = 31234;
    options.extra_receivers = 2;
    options.refresh_receivers = {2, 7};
    KovaltProcess kovalt(options, dir_.path());
    ASSERT_TRUE(kovalt.Started());

    const auto block = SharedBlockView::Open(2).Snapshot();
    ASSERT_TRUE(block);

    const HWND main = ToWindow(block->main_window);
    EXPECT_TRUE(IsWindow(main));
    EXPECT_EQ(OwnerProcess(main), kovalt.ProcessId());
    EXPECT_EQ(kovalt.MainWindow(), main);

    std::vector<HWND> seen = {main};
    for (int i = 0; i < 2; ++i) {
        const HWND extra = ToWindow(block->extra_receivers[i]);
        EXPECT_TRUE(IsWindow(extra)) << "extra " << i;
        EXPECT_EQ(OwnerProcess(extra), kovalt.ProcessId()) << "extra " << i;
        const HWND refresh = ToWindow(block->refresh_receivers[i]);
        EXPECT_TRUE(IsWindow(refresh)) << "refresh " << i;
        EXPECT_EQ(OwnerProcess(refresh), kovalt.ProcessId()) << "refresh " << i;
        seen.push_back(extra);
        seen.push_back(refresh);
    }
    for (std::size_t a = 0; a < seen.size(); ++a)
        for (std::size_t b = a + 1; b < seen.size(); ++b) EXPECT_NE(seen[a], seen[b]) << a << " " << b;

    for (int i = 2; i < kReceiverSlots; ++i) {
        EXPECT_EQ(block->extra_receivers[i], 0u) << i;
        EXPECT_EQ(block->refresh_receivers[i], 0u) << i;
        EXPECT_EQ(block->receiver_entries[i].assistant, 0.0f) << i;
    }
    EXPECT_EQ(block->receiver_entries[0].assistant, 2.0f);
    EXPECT_EQ(block->receiver_entries[1].assistant, 7.0f);
    EXPECT_EQ(block->receiver_entries[0].count, 0);
    EXPECT_EQ(block->version, 31234);
    EXPECT_EQ(block->position_count, 0);
    EXPECT_EQ(block->order_count, 0);
}

// ------------------------------------------------------------ WM_COPYDATA

class KovaltCopyData : public KovaltTest {};

TEST_F(KovaltCopyData, CommandRecordIsAnsweredAndJournalledFieldByFieldAndByteByByte) {
    KovaltProcess kovalt({}, dir_.path());
    ASSERT_TRUE(kovalt.Started());

    CommandRecord r = {};
    r.id = kCommandRecordId;
    r.sub_kind = 1;
    // A space, '=', '\' and a GBK lead byte: all escaped.
    std::memcpy(r.code, "60 0=\\\xca", 7);
    r.quantity = 300;
    r.price = 10.5f;
    r.data_value = 7;
    r.formula = 150;
    r.assistant = 2;
    std::memcpy(r.reserved156, "\x01\x02\x03\x04", 4);  // only in bytes=
    r.selector_index = -1;
    r.query_api = 1;
    r.quantity_unit = 0.1f;
    r.period = 5;
    r.last_bar_time = 4000000000u;
    r.zero180 = -3;
    r.raw_arg4 = 12;
    r.zero188 = 1e10f;
    r.zero192 = -0.0f;

    EXPECT_EQ(SendRecord(kovalt.MainWindow(), kKindOrder, r), 1);

    // Flushed before the answer: readable as soon as SendMessage is back.
    const auto lines = kovalt.JournalLines();
    ASSERT_EQ(lines.size(), 1u);
    EXPECT_EQ(WithoutBytes(lines[0]),
              "seq=1 window=main msg=copydata kind=1 len=196 wparam=0x10abc id=1001 sub=1 "
              "code=60\\x200\\x3d\\x5c\\xca qty=300 price=10.5 data=7 formula=150 assistant=2 sel=-1 api=1 "
              "unit=0.100000001 period=5 bartime=4000000000 r180=-3 arg4=12 r188=1e+10 r192=-0");

    const JournalEntry entry = ParseJournalLine(lines[0]);
    ASSERT_TRUE(entry.bytes);
    EXPECT_EQ(*entry.bytes, BytesOf(&r, sizeof r));
    EXPECT_EQ(entry.Get("bytes").size(), 2 * sizeof r) << "bytes= is the last field";
    EXPECT_EQ(entry.Get("bytes").substr(0, 8), "e9030000") << "lowercase, in payload order";
}

TEST_F(KovaltCopyData, QuoteListOfTwoEntriesIsDecodedAsQuotesNotAsARecord) {
    KovaltProcess kovalt({}, dir_.path());
    ASSERT_TRUE(kovalt.Started());

    QuoteEntry q[2] = {};
    std::memcpy(q[0].key, "SH600000", 8);
    q[0].field0 = 12.5f;
    q[0].field1 = 0.25f;
    q[0].field2 = kQuoteMarkerPush;
    q[0].field3 = 1700000000;
    q[0].period = 4;
    std::memcpy(q[1].key, "123456789", 9);  // the longest key, with its zero
    q[1].field0 = -1.0f;
    q[1].field2 = kQuoteMarker997;
    q[1].period = 3;
    q[1].zero86 = 5;
    static_assert(sizeof q == sizeof(CommandRecord), "same length, told apart by the kind");

    EXPECT_EQ(SendCopyData(kovalt.MainWindow(), kKindQuoteList, q, sizeof q, 0), 1);

    const auto messages = kovalt.Messages();
    ASSERT_EQ(messages.size(), 1u);
    EXPECT_EQ(WithoutBytes(messages[0].line),
              "seq=1 window=main msg=copydata kind=12 len=196 wparam=0x0 entries=2 "
              "e0.key=SH600000 e0.f0=12.5 e0.f1=0.25 e0.f2=999999 e0.f3=1700000000 e0.period=4 e0.r86=0 "
              "e1.key=123456789 e1.f0=-1 e1.f1=0 e1.f2=999997 e1.f3=0 e1.period=3 e1.r86=5");
    const auto quotes = messages[0].Quotes();
    ASSERT_EQ(quotes.size(), 2u);
    EXPECT_EQ(BytesOf(quotes.data(), sizeof q), BytesOf(q, sizeof q));
}

TEST_F(KovaltCopyData, FailMainAnswersZeroFromTheMainWindowOnlyAndStillJournals) {
    KovaltOptions options;
    options.fail_main = true;
    options.extra_receivers = 1;
    KovaltProcess kovalt(options, dir_.path());
    ASSERT_TRUE(kovalt.Started());
    const auto block = SharedBlockView::Open(0).Snapshot();
    ASSERT_TRUE(block);

    CommandRecord r = {};
    r.id = kCommandRecordId;
    EXPECT_EQ(SendRecord(ToWindow(block->main_window), kKindOrder, r), 0);
    EXPECT_EQ(SendRecord(ToWindow(block->extra_receivers[0]), kKindOrder, r), 1);

    const auto messages = kovalt.Messages();
    ASSERT_EQ(messages.size(), 2u);
    EXPECT_EQ(messages[0].Get("window"), "main");
    EXPECT_EQ(messages[1].Get("window"), "extra0");
}

// ------------------------------------------------------------ republishing

class KovaltRefresh : public KovaltTest {};

// Overwrites every field the stand-in publishes.
void Scribble(const SharedBlockView& view) {
    view.Locked([](SharedStateBlock& block) {
        block.main_window = 0;
        block.extra_receivers[0] = 0;
        block.refresh_receivers[0] = 0;
        block.receiver_entries[0].assistant = 9.0f;
        block.version = 1;
    });
}

void ExpectPublished(const SharedBlockView& view, const SharedStateBlock& original, const char* after) {
    const auto block = view.Snapshot();
    ASSERT_TRUE(block);
    EXPECT_EQ(block->main_window, original.main_window) << after;
    EXPECT_EQ(block->extra_receivers[0], original.extra_receivers[0]) << after;
    EXPECT_EQ(block->refresh_receivers[0], original.refresh_receivers[0]) << after;
    EXPECT_EQ(block->receiver_entries[0].assistant, 4.0f) << after;
    EXPECT_EQ(block->version, 30800) << after;
}

TEST_F(KovaltRefresh, RefreshRequestToAnyWindowRepublishesOtherKindsDoNot) {
    KovaltOptions options;
    options.number = 4;
    options.extra_receivers = 1;
    options.refresh_receivers = {4};
    KovaltProcess kovalt(options, dir_.path());
    ASSERT_TRUE(kovalt.Started());
    const SharedBlockView view = SharedBlockView::Open(4, /*writable=*/true);
    ASSERT_TRUE(view) << "error " << view.Error();
    const auto original = view.Snapshot();
    const HWND main = ToWindow(original->main_window);
    const HWND refresh = ToWindow(original->refresh_receivers[0]);

    Scribble(view);
    EXPECT_EQ(SendRecord(main, kKindOrder, RefreshRequest(4)), 1);
    EXPECT_EQ(view.Snapshot()->main_window, 0u) << "an order does not republish";

    EXPECT_EQ(SendRecord(main, kKindRefreshRequest, RefreshRequest(4)), 1);
    ExpectPublished(view, *original, "refresh request to the main window");

    Scribble(view);
    EXPECT_EQ(SendRecord(refresh, kKindRefreshRequest, RefreshRequest(4)), 1);
    ExpectPublished(view, *original, "refresh request to refresh receiver 0");

    const auto messages = kovalt.Messages();
    ASSERT_EQ(messages.size(), 3u);
    EXPECT_EQ(messages[1].Get("kind"), "2");
    EXPECT_EQ(messages[1].Get("assistant"), "4");
    EXPECT_EQ(messages[2].Get("window"), "refresh0");
}

TEST_F(KovaltRefresh, DestroyMainLeavesTheMappingAndTheStaleHandle) {
    KovaltOptions options;
    options.extra_receivers = 1;
    KovaltProcess kovalt(options, dir_.path());
    ASSERT_TRUE(kovalt.Started());
    const HWND main = kovalt.MainWindow();
    ASSERT_TRUE(IsWindow(main));

    EXPECT_EQ(kovalt.SendControl(kKovaltDestroyMain, 0), 1);

    EXPECT_FALSE(IsWindow(main));
    const SharedBlockView view = SharedBlockView::Open(0);
    ASSERT_TRUE(view) << "the mapping stays open";
    const auto block = view.Snapshot();
    EXPECT_EQ(ToWindow(block->main_window), main) << "the block still names the old window";
    EXPECT_TRUE(IsWindow(ToWindow(block->extra_receivers[0])));

    // The rest of the program still serves: a refresh request to the extra
    // receiver republishes the same stale handle.
    EXPECT_EQ(SendRecord(ToWindow(block->extra_receivers[0]), kKindRefreshRequest, RefreshRequest(0)), 1);
    EXPECT_EQ(ToWindow(view.Snapshot()->main_window), main);

    kovalt.Stop();
    EXPECT_EQ(kovalt.ExitCode(), 0u);
}

// ------------------------------------------------------------ notice

class KovaltNotice : public KovaltTest {};

TEST_F(KovaltNotice, PostedNoticesAreJournalledWithSignedCodes) {
    KovaltProcess kovalt({}, dir_.path());
    ASSERT_TRUE(kovalt.Started());
    const HWND main = kovalt.MainWindow();

    // As the plug-in posts it: wParam the code, lParam the number, both from
    // 32-bit signed values.
    EXPECT_TRUE(PostMessageW(main, kAssistantNoticeMessage, 1400, 3));
    EXPECT_TRUE(PostMessageW(main, kAssistantNoticeMessage, static_cast<WPARAM>(-2), 0));
    ASSERT_TRUE(kovalt.WaitForJournalLines(2));

    const auto lines = kovalt.JournalLines();
    ASSERT_EQ(lines.size(), 2u);
    EXPECT_EQ(lines[0], "seq=1 window=main msg=notice wparam=1400 lparam=3");
    EXPECT_EQ(lines[1], "seq=2 window=main msg=notice wparam=-2 lparam=0");
}

// ------------------------------------------------------------ exit

class KovaltExit : public KovaltTest {};

TEST_F(KovaltExit, QuitEventEndsWithCodeZeroAndTheMappingGoesAway) {
    KovaltOptions options;
    options.number = 5;
    options.extra_receivers = 1;
    options.refresh_receivers = {5};
    KovaltProcess kovalt(options, dir_.path());
    ASSERT_TRUE(kovalt.Started());
    ASSERT_TRUE(SharedBlockView::Open(5));

    kovalt.Stop();
    EXPECT_EQ(kovalt.ExitCode(), 0u) << kovalt.Output();
    EXPECT_FALSE(SharedBlockView::Open(5)) << "nothing holds the mapping any more";
}

TEST_F(KovaltExit, WrongCommandLinesExitWithCodeTwo) {
    // Even a Kovalt.exe that exits at once is a running assistant to a test
    // that checks none runs.
    AssistantsLock others_wait;
    const std::wstring exe = BuildFile(L"Kovalt.exe");
    for (const wchar_t* args : {L"--bogus", L"--number", L"--number x", L"--extra-receivers 6",
                                L"--refresh-receivers 1,2,3,4,5,6", L"--refresh-receivers 1,,2",
                                L"--screening Hot:3:600000", L"--screening WenCai:x:600000",
                                L"--screening AI:3:600000,,1", L"--screening WenCai:3"}) {
        EXPECT_EQ(RunProcess(exe, args, dir_.path()).exit_code, 2u) << std::string(args, args + wcslen(args));
    }
}

}  // namespace
}  // namespace pintle::test
