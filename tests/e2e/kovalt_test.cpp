// The stand-in assistant where the plug-in's own end-to-end tests do not reach
// it: its command line, the journal's texts for payloads the plug-in never
// sends, and what refresh requests and the control messages do to its block.
// The journal is the reference the other end-to-end tests read the plug-in's
// messages from, so its texts are pinned exactly.
#include <gtest/gtest.h>

#include <tuple>

#include "support/e2e_checks.h"
#include "support/kovalt_process.h"
#include "support/temp_dir.h"
#include "support/terminal.h"

namespace pintle::test {
namespace {

HWND ToWindow(uint32_t handle) { return reinterpret_cast<HWND>(static_cast<uintptr_t>(handle)); }

LRESULT SendRequest(HWND to, ULONG_PTR kind, int assistant) {
    const CommandRecord r{.id = kCommandRecordId, .assistant = assistant};
    return SendCopyData(to, kind, &r, sizeof r);
}

TEST(Kovalt, JournalSpellsOutEveryFieldEscapesCodesAndTellsQuoteListsByKind) {
    TempDir dir(L"kovalt");
    KovaltProcess kovalt({}, dir.path());
    ASSERT_TRUE(kovalt.Started());
    EXPECT_TRUE(UniqueHandle(OpenMutexW(SYNCHRONIZE, FALSE, L"Global\\KovaltShare"))) << GetLastError();

    // A space, '=', '\' and a GBK lead byte in the code; odd values everywhere.
    const CommandRecord r{.id = kCommandRecordId, .sub_kind = 1, .code = "60 0=\\\xca", .quantity = 300,
                          .price = 10.5f, .data_value = 7, .formula = 150, .assistant = 2,
                          .reserved156 = {1, 2, 3, 4}, .selector_index = -1, .query_api = 1,
                          .quantity_unit = 0.1f, .period = 5, .last_bar_time = 4000000000u, .zero180 = -3,
                          .raw_arg4 = 12, .zero188 = 1e10f, .zero192 = -0.0f};
    EXPECT_EQ(SendCopyData(kovalt.MainWindow(), kKindOrder, &r, sizeof r), 1);
    // Flushed before the answer: readable as soon as SendMessage is back.
    EXPECT_EQ(kovalt.JournalLines().size(), 1u);

    // Two entries are as long as a record; the kind tells them apart.
    QuoteEntry q[2] = {{.key = "SH600000", .field0 = 12.5f, .field1 = 0.25f, .field2 = kQuoteMarkerPush,
                        .field3 = 1700000000, .period = 4},
                       {.key = "123456789", .field0 = -1.0f, .field2 = kQuoteMarker997, .period = 3, .zero86 = 5}};
    EXPECT_EQ(SendCopyData(kovalt.MainWindow(), kKindQuoteList, q, sizeof q, 0), 1);

    // Posted as the plug-in posts them: both from 32-bit signed values.
    EXPECT_TRUE(PostMessageW(kovalt.MainWindow(), kAssistantNoticeMessage, 1400, 3));
    EXPECT_TRUE(PostMessageW(kovalt.MainWindow(), kAssistantNoticeMessage, static_cast<WPARAM>(-2), 0));
    ASSERT_TRUE(kovalt.WaitForJournalLines(4));

    EXPECT_EQ(kovalt.JournalLines(),
              (Lines{"seq=1 window=main msg=copydata kind=1 len=196 wparam=0x10abc id=1001 sub=1 "
                     "code=60\\x200\\x3d\\x5c\\xca qty=300 price=10.5 data=7 formula=150 assistant=2 sel=-1 api=1 "
                     "unit=0.100000001 period=5 bartime=4000000000 r180=-3 arg4=12 r188=1e+10 r192=-0 bytes=" +
                         Hex(r),
                     "seq=2 window=main msg=copydata kind=12 len=196 wparam=0x0 entries=2 "
                     "e0.key=SH600000 e0.f0=12.5 e0.f1=0.25 e0.f2=999999 e0.f3=1700000000 e0.period=4 e0.r86=0 "
                     "e1.key=123456789 e1.f0=-1 e1.f1=0 e1.f2=999997 e1.f3=0 e1.period=3 e1.r86=5 bytes=" +
                         Hex(q),
                     "seq=3 window=main msg=notice wparam=1400 lparam=3",
                     "seq=4 window=main msg=notice wparam=-2 lparam=0"}));
}

// Every field the stand-in publishes, as the block holds it now.
auto Published(int number) {
    const auto b = SharedBlockView::Open(number).Snapshot();
    return b ? std::tuple(b->main_window, b->extra_receivers[0], b->refresh_receivers[0],
                          b->receiver_entries[0].assistant, b->version)
             : std::tuple(0u, 0u, 0u, 0.0f, 0);
}

void Scribble(int number) {
    SharedBlockView::Open(number, /*writable=*/true).Locked([](SharedStateBlock& block) {
        block.main_window = block.extra_receivers[0] = block.refresh_receivers[0] = 0;
        block.receiver_entries[0].assistant = 9.0f;
        block.version = 1;
    });
}

TEST(Kovalt, RefreshRequestsRepublishEvenAStaleMainWindowAndQuitClosesTheMapping) {
    TempDir dir(L"kovalt");
    KovaltProcess kovalt({.number = 4, .extra_receivers = 1, .refresh_receivers = {4}}, dir.path());
    ASSERT_TRUE(kovalt.Started());
    const auto started = Published(4);
    EXPECT_EQ(std::get<3>(started), 4.0f);
    EXPECT_EQ(std::get<4>(started), 30800);
    const HWND main = ToWindow(std::get<0>(started)), refresh = ToWindow(std::get<2>(started));

    Scribble(4);
    EXPECT_EQ(SendRequest(main, kKindOrder, 4), 1);
    EXPECT_EQ(std::get<0>(Published(4)), 0u) << "an order does not republish";
    EXPECT_EQ(SendRequest(main, kKindRefreshRequest, 4), 1);
    EXPECT_EQ(Published(4), started) << "refresh request to the main window";
    Scribble(4);
    EXPECT_EQ(SendRequest(refresh, kKindRefreshRequest, 4), 1);
    EXPECT_EQ(Published(4), started) << "refresh request to refresh receiver 0";
    EXPECT_TRUE(FieldsAre(kovalt.Messages(),
                          {"window=main kind=1", "window=main kind=2 assistant=4", "window=refresh0 kind=2"}));

    // The mapping stays and still names the destroyed window; the rest of the
    // program serves on and republishes the same stale handle.
    EXPECT_EQ(kovalt.SendControl(kKovaltDestroyMain, 0), 1);
    EXPECT_FALSE(IsWindow(main));
    EXPECT_TRUE(IsWindow(ToWindow(std::get<1>(started))));
    EXPECT_EQ(Published(4), started);
    Scribble(4);
    EXPECT_EQ(SendRequest(ToWindow(std::get<1>(started)), kKindRefreshRequest, 4), 1);
    EXPECT_EQ(Published(4), started);

    kovalt.Stop();
    EXPECT_EQ(kovalt.ExitCode(), 0u) << kovalt.Output();
    EXPECT_FALSE(SharedBlockView::Open(4)) << "nothing holds the mapping any more";
}

TEST(Kovalt, WrongCommandLinesExitWithCodeTwo) {
    // Even a Kovalt.exe that exits at once is a running assistant to a test
    // that checks none runs.
    AssistantsLock others_wait;
    TempDir dir(L"kovalt");
    for (const wchar_t* args : {L"--bogus", L"--number", L"--number x", L"--extra-receivers 6",
                                L"--refresh-receivers 1,2,3,4,5,6", L"--refresh-receivers 1,,2",
                                L"--screening Hot:3:600000", L"--screening WenCai:x:600000",
                                L"--screening AI:3:600000,,1", L"--screening WenCai:3"}) {
        EXPECT_EQ(RunProcess(BuildFile(L"Kovalt.exe"), args, dir.path()).exit_code, 2u)
            << std::string(args, args + wcslen(args));
    }
}

}  // namespace
}  // namespace pintle::test
