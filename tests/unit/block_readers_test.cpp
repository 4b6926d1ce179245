// The block readers against counts another program may write: whatever a
// count says, nothing outside the 425992 bytes is read. The block sits
// against an inaccessible page on either side, so one byte too far ends the
// test program.
#ifdef _WIN32
#include <windows.h>
#else
#include <sys/mman.h>
#endif

#include <gtest/gtest.h>

#include <climits>
#include <cstring>

#include "state/block_readers.h"

namespace pintle::test {
namespace {

// One block in pages of its own, against the inaccessible page that follows
// them or the one before them.
class GuardedBlock {
public:
    explicit GuardedBlock(bool against_end) {
#ifdef _WIN32
        base_ = static_cast<char*>(VirtualAlloc(nullptr, kSize, MEM_RESERVE | MEM_COMMIT, PAGE_READWRITE));
        DWORD old = 0;
        VirtualProtect(base_, kPage, PAGE_NOACCESS, &old);
        VirtualProtect(base_ + kSize - kPage, kPage, PAGE_NOACCESS, &old);
#else
        base_ = static_cast<char*>(mmap(nullptr, kSize, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0));
        mprotect(base_, kPage, PROT_NONE);
        mprotect(base_ + kSize - kPage, kPage, PROT_NONE);
#endif
        char* start = against_end ? base_ + kSize - kPage - sizeof(SharedStateBlock) : base_ + kPage;
        block_ = static_cast<SharedStateBlock*>(std::memset(start, 0, sizeof(SharedStateBlock)));
    }
    ~GuardedBlock() {
#ifdef _WIN32
        VirtualFree(base_, 0, MEM_RELEASE);
#else
        munmap(base_, kSize);
#endif
    }
    SharedStateBlock& operator*() const { return *block_; }

private:
    static constexpr std::size_t kPage = 4096;
    static constexpr std::size_t kSize = ((sizeof(SharedStateBlock) + kPage - 1) / kPage + 2) * kPage;
    char* base_;
    SharedStateBlock* block_;
};

void SetCode(char16_t (&field)[10], std::u16string_view code) {
    std::memset(field, 0, sizeof field);
    std::memcpy(field, code.data(), code.size() * sizeof(char16_t));
}

// Every record of every table in use, so that a count read too far shows.
void FillEveryRecord(SharedStateBlock& b) {
    for (PositionRecord& r : b.positions) {
        SetCode(r.code, u"600000");
        r.value0 = 1;
        r.value2_to_9[0] = 1.0f;
    }
    SetCode(b.positions[kPositionCapacity - 1].code, u"999999");
    for (OrderRecord& r : b.orders) {
        SetCode(r.code, u"600000");
        r.quantity = 2;
        r.filled = 1;
    }
    for (auto& table : b.receiver_positions) {
        for (PositionRecord& r : table) SetCode(r.code, u"300750");
    }
    SetCode(b.receiver_positions[kReceiverSlots - 1][kPositionCapacity - 1].code, u"888888");
    for (int k = 0; k < kReceiverSlots; ++k) b.refresh_receivers[k] = 0x1234u + k;
}

bool AnyWindow(uint32_t) { return true; }

TEST(BlockReaders, CountsAreClampedToTheTablesWhateverTheAssistantWrote) {
    struct Case {
        int32_t count;
        int32_t positions, orders;  // records read
    };
    const Case cases[] = {{INT_MAX, 1000, 43}, {INT_MIN, 0, 0}, {-1, 0, 0},  {0, 0, 0},
                          {1001, 1000, 43},    {999, 999, 43},  {44, 44, 43}, {1, 1, 1}};
    for (const bool against_end : {true, false}) {
        GuardedBlock block(against_end);
        SharedStateBlock& b = *block;
        FillEveryRecord(b);
        for (const Case& c : cases) {
            SCOPED_TRACE(testing::Message() << "count " << c.count << (against_end ? " at the end" : " at the start"));
            b.position_count = b.order_count = c.count;
            for (RefreshReceiverEntry& e : b.receiver_entries) e.count = c.count;
            const bool all = c.positions == 1000;

            EXPECT_EQ(CountHeldPositions(b, -1), c.positions);
            EXPECT_EQ(AccountValue(b, 4, 0), static_cast<float>(c.positions));
            EXPECT_EQ(HeldPositionCodes(b, -1).size(), c.positions == 0 ? 0u : 7u * c.positions - 1);
            EXPECT_EQ(FindPosition(b, L"999999", -1, 0, AnyWindow) != nullptr, all);
            EXPECT_EQ(FindPosition(b, L"888888", -1, 0, AnyWindow) != nullptr, all);
            EXPECT_EQ(FindPosition(b, L"300750", -1, 0, AnyWindow) != nullptr, c.positions > 0);
            const auto orders = CollectOrders(b, L"", 0, -1, 0);
            EXPECT_EQ(orders.size(), static_cast<std::size_t>(c.orders));
            EXPECT_EQ(OrderValue(orders, 0, 0), static_cast<float>(c.orders));
        }
    }
}

// OrderInfo's one-scan value is OrderValue over CollectOrders, selection by
// selection.
TEST(BlockReaders, OneScanOrderValueIsTheValueOfTheCollectedOrders) {
    GuardedBlock block(false);
    SharedStateBlock& b = *block;
    FillEveryRecord(b);
    b.order_count = 43;
    for (int i = 0; i < 43; ++i) {
        OrderRecord& r = b.orders[i];
        r.trade_kind = i % 3;
        r.quantity = 100 * (i % 5) - 50;
        r.filled = i % 4 == 0 ? 2147483647 : 30;
        r.time = i % 7 == 0 ? 0 : 1700000000 + i;
        r.selector_index = static_cast<float>(i % 2);
        r.filter = static_cast<float>(i % 3);
        if (i % 4 == 1) SetCode(r.code, u"00001");
    }
    for (const std::wstring_view code : {L"", L"600000", L"000001"})
        for (const int64_t kind : {0, 1, 2, -1})
            for (const int32_t s : {-1, 0, 1})
                for (const int32_t f : {0, 1, 2})
                    for (const int32_t selector : {0, 1, 2})
                        EXPECT_EQ(SelectedOrdersValue(b, code, kind, s, f, selector, 1800000000),
                                  OrderValue(CollectOrders(b, code, kind, s, f), selector, 1800000000))
                            << kind << " " << s << " " << f << " " << selector;
}

TEST(BlockReaders, FiveCharacterCodesAnswerSixOnlyInTheMainTables) {
    struct Case {
        std::u16string_view record;
        std::wstring_view query;
        bool matches, equals;
    };
    const Case cases[] = {
        {u"00700", L"000700", true, false},      {u"00700", L"900700", true, false},
        {u"000700", L"000700", true, true},      {u"0700", L"00700", false, false},
        {u"00700", L"0000700", false, false},    {u"", L"", true, true},
        {u"1234567890", L"1234567890", true, true},  // no terminator in the field
        {u"1234567890", L"12345678901", false, false},
    };
    for (const Case& c : cases) {
        char16_t field[10];
        SetCode(field, c.record);
        SCOPED_TRACE(testing::Message() << std::wstring(c.query));
        EXPECT_EQ(CodeMatches(field, c.query), c.matches);
        EXPECT_EQ(CodeEquals(field, c.query), c.equals);
    }
}

}  // namespace
}  // namespace pintle::test
