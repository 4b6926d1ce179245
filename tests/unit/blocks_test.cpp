// Block lists: the terminals' files byte for byte after each export and TDX
// number, and the cases where an edit must refuse rather than lose entries.
#include <gtest/gtest.h>

#include <windows.h>

#include "common/text.h"
#include "common/win.h"
#include "plugin/exports.h"
#include "plugin/tdx_numbered.h"
#include "support/block_bytes.h"
#include "support/formula_builder.h"
#include "support/plugin_sandbox.h"
#include "support/formula_calls.h"

namespace pintle::test {
namespace {

class BlockFiles : public SandboxTest {
protected:
    void SetUp() override { MakeBlockDirectories(dir_.path()); }
    std::wstring Dzh(const std::wstring& name) const { return dir_.File(L"USERDATA\\block\\" + name + L".BLK"); }
    std::wstring Tdx(const std::wstring& name) const { return dir_.File(L"T0002\\blocknew\\" + name + L".blk"); }

    // Calls an export with `label` and the arguments; gives the result buffer.
    static std::vector<double> Call(pintle_FormulaFn fn, const char* label, std::initializer_list<double> args) {
        FormulaBuilder f(3, label);
        for (double a : args) f.Arg(a);
        EXPECT_EQ(fn(f.get()), 0);
        return f.result();
    }
};

struct DzhCase {
    std::string before;
    pintle_FormulaFn fn;
    const char* label;
    std::initializer_list<double> args;
    std::vector<double> result;
    std::string after;
};

TEST_F(BlockFiles, DzhEditsChangeOneRecordAndKeepEveryOther) {
    const auto add = pintle_save2blk, del = pintle_del2blk;
    const std::string mixed = A5({"BJ430047", "SH60000X", "SH600000"}), odd = std::string("\x01\0\0\0", 4);
    const DzhCase cases[] = {
        {A5({"SH600036"}), add, "600000", {1, 3, 0}, {0, 0, 1}, A5({"SH600036", "SH600000"})},
        {A5({"SH600036"}), add, "000002", {1, 3, 1}, {0, 0, 1}, A5({"SZ000002", "SH600036"})},
        {A5({"SH600036"}), add, "SH600036", {1, 3, 0}, {0, 0, 1}, A5({"SH600036"})},
        {A6({"SZ000001"}), add, "sh600000", {1, 3, 0}, {0, 0, 1}, A6({"SZ000001", "SH600000"})},
        {A5({"SH600000"}), add, "600000.SH", {1, 3, 0}, {1, 1, 1}, A5({"SH600000"})},  // all bars: dotted
        {mixed, add, "SZ000001", {1, 3, 1}, {0, 0, 1}, A5({"SZ000001", "BJ430047", "SH60000X", "SH600000"})},
        {mixed, del, "SH600000", {1, 3}, {0, 0, 1}, A5({"BJ430047", "SH60000X"})},
        {A6({"SH600000", "SZ000001", "SH600000"}), del, "SH600000", {1, 3}, {0, 0, 1}, A6({"SZ000001", "SH600000"})},
        {A5({"SH600000"}), del, "SH600000", {1, 3}, {0, 0, 1}, A5({})},
        {A5({"SH600036"}), del, "SH600000", {1, 3}, {0, 0, 1}, A5({"SH600036"})},
        {odd + Records("", 12, {"SH600036"}), add, "SH600000", {1, 3, 0}, {0, 0, 1},
         odd + Records("", 12, {"SH600036", "SH600000"})},
        {A5({"SH600036"}), add, "", {1, 3, 0}, {0, 0, 0}, A5({"SH600036"})},               // no code
        {A5({}).substr(0, 3), add, "SH600000", {1, 3, 0}, {0, 0, 0}, A5({}).substr(0, 3)},  // damaged
        {A5({}), add, "BJ430047", {1, 3, 0}, {0, 0, 0}, A5({})},  // stored as SZBJ430047, which no reader finds
        {A5({}), add, "SH600000", {0, 3, 0}, {0, 0, 0}, A5({})},  // inactive
    };
    for (std::size_t i = 0; i < std::size(cases); ++i) {
        const DzhCase& c = cases[i];
        SCOPED_TRACE(i);
        ASSERT_TRUE(WriteFileBytes(Dzh(L"自选股3"), c.before));
        EXPECT_EQ(Call(c.fn, c.label, c.args), c.result);
        EXPECT_EQ(ReadFileBytes(Dzh(L"自选股3")), c.after);
    }
    // A repeat leaves even the file's time alone: nothing was written (and
    // with the file held open, a rewrite could not have succeeded).
    ASSERT_TRUE(WriteFileBytes(Dzh(L"自选股3"), A5({"SH600000"})));
    const FILETIME old{0x12345678, 0x01D00000};
    FILETIME now{};
    UniqueHandle h(CreateFileW(Dzh(L"自选股3").c_str(), GENERIC_READ | FILE_WRITE_ATTRIBUTES, FILE_SHARE_READ,
                               nullptr, OPEN_EXISTING, 0, nullptr));
    ASSERT_TRUE(SetFileTime(h.get(), nullptr, nullptr, &old));
    EXPECT_EQ(Call(pintle_save2blk, "SH600000", {1, 3, 0}), (std::vector<double>{0, 0, 1}));
    ASSERT_TRUE(GetFileTime(h.get(), nullptr, nullptr, &now));
    EXPECT_EQ(CompareFileTime(&now, &old), 0);

    const std::string path = WideToUtf8(Dzh(L"自选股3"));
    EXPECT_EQ(Log(), (std::vector<std::string>{
                         path + " 股票代码为空 不能保存到大智慧板块",
                         path + " 文件长度与板块格式不符 为免丢失原有股票 不能保存到大智慧板块",
                         path + " 代码SZBJ430047写入后无法按板块格式读回 不能保存到大智慧板块"}));
}

TEST_F(BlockFiles, CountsFollowTheHeaderAndNamesComeFromTheIniFiles) {
    ASSERT_EQ(A5({"SH600000", "SH600036", "SZ000001"}).size(), 40u);
    ASSERT_EQ(A6({"SH600000", "SH600036", "SZ000001"}).size(), 53u);
    // 板块名 with 3=短线 in Pintle.ini and 4=长线 in vizuru.ini, in GBK.
    ASSERT_TRUE(WriteFileBytes(dir_.File(L"Pintle.ini"), "[\xB0\xE5\xBF\xE9\xC3\xFB]\r\n3=\xB6\xCC\xCF\xDF\r\n"));
    ASSERT_TRUE(WriteFileBytes(dir_.File(L"vizuru.ini"),
                               "[\xB0\xE5\xBF\xE9\xC3\xFB]\r\n3=x\r\n4=\xB3\xA4\xCF\xDF\r\n"));
    ASSERT_TRUE(WriteFileBytes(Dzh(L"短线"), A5({"SH600000", "SH600036", "SZ000001"})));
    ASSERT_TRUE(WriteFileBytes(Dzh(L"长线"), A6({"SH600000", "SH600036", "SZ000001"})));
    ASSERT_TRUE(WriteFileBytes(Dzh(L"自选股"), A6({"SH600000"})));
    EXPECT_EQ(Call(pintle_BlkCount, "SH600000", {3}), (std::vector<double>{0, 0, 3}));
    EXPECT_EQ(Call(pintle_BlkCount, "SH600000", {4}), (std::vector<double>{0, 0, 3}));
    EXPECT_EQ(Call(pintle_BlkCount, "SH600000", {0}), (std::vector<double>{0, 0, 1}));
    EXPECT_EQ(Call(pintle_BlkCount, "SH600000", {5}), (std::vector<double>{0, 0, 0}));  // no file
    EXPECT_EQ(TdxBlockPath(0), Tdx(L"ZXG"));
    EXPECT_EQ(TdxBlockPath(7), Tdx(L"ZXG7"));
    EXPECT_EQ(TdxBlockPath(3), Tdx(L"短线"));
}

TEST_F(BlockFiles, AFileIsWrittenInItsOwnFormatAndOnlyAnEmptyOneTakesTheReference) {
    // Nothing tells the format: an add logs why and creates nothing.
    EXPECT_EQ(Call(pintle_save2blk, "SH600000", {1, 3, 0}), (std::vector<double>{0, 0, 0}));
    EXPECT_FALSE(FileExists(Dzh(L"自选股3")));

    ASSERT_TRUE(WriteFileBytes(Dzh(L"A股板块"), A6({})));
    ASSERT_TRUE(WriteFileBytes(Dzh(L"自选股3"), A5({"SZ000001"})));
    ASSERT_TRUE(WriteFileBytes(Dzh(L"自选股4"), ""));
    EXPECT_EQ(Call(pintle_save2blk, "SH600000", {1, 3, 0}), (std::vector<double>{0, 0, 1}));
    EXPECT_EQ(Call(pintle_save2blk, "SH600000", {1, 4, 0}), (std::vector<double>{0, 0, 1}));
    EXPECT_EQ(DzhBlockFormat(), 0xA6u);
    EXPECT_EQ(ReadFileBytes(Dzh(L"自选股3")), A5({"SZ000001", "SH600000"}));
    EXPECT_EQ(ReadFileBytes(Dzh(L"自选股4")), A6({"SH600000"}));

    // The format is known now, and a block file is still missing (a name
    // misspelt in Pintle.ini): said once a minute per file.
    for (const int block : {7, 7, 8, -60, 7}) {
        if (block < 0) {
            clock_.AdvanceSeconds(-block);
            continue;
        }
        EXPECT_EQ(Call(pintle_save2blk, "SH600000", {1, double(block), 0}), (std::vector<double>{0, 0, 0}));
    }
    const std::string missing = " 找不到 不能保存到大智慧板块";
    EXPECT_EQ(Log(), (Lines{WideToUtf8(Dzh(L"自选股3")) + missing, WideToUtf8(Dzh(L"自选股7")) + missing,
                            WideToUtf8(Dzh(L"自选股8")) + missing, WideToUtf8(Dzh(L"自选股7")) + missing}));
    EXPECT_FALSE(FileExists(Dzh(L"自选股7")));
}

TEST_F(BlockFiles, ARefusedOrFailedRewriteLeavesTheFileAndNoNewFile) {
    // A name that reads as empty is never rewritten from that reading.
    ASSERT_TRUE(WriteFileBytes(dir_.File(L"Pintle.ini"), "[\xB0\xE5\xBF\xE9\xC3\xFB]\r\n5=list.sbk\r\n"));
    ASSERT_TRUE(WriteFileBytes(Dzh(L"list.sbk"), A5({"SH600036"})));
    EXPECT_EQ(Call(pintle_save2blk, "SH600000", {1, 5, 0}), (std::vector<double>{0, 0, 0}));
    EXPECT_EQ(ReadFileBytes(Dzh(L"list.sbk")), A5({"SH600036"}));
    EXPECT_TRUE(Contains(
        Log(), WideToUtf8(Dzh(L"list.sbk")) + " 读不出原有股票(.sbk) 为免清空板块 不能保存到大智慧板块"));

    // The terminal holds the file open: the move fails half way.
    ASSERT_TRUE(WriteFileBytes(Dzh(L"自选股3"), A5({"SH600036"})));
    ASSERT_TRUE(WriteFileBytes(Tdx(L"ZXG3"), "1600036"));
    {
        UniqueHandle dzh(CreateFileW(Dzh(L"自选股3").c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                     OPEN_EXISTING, 0, nullptr));
        UniqueHandle tdx(CreateFileW(Tdx(L"ZXG3").c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                     OPEN_EXISTING, 0, nullptr));
        ASSERT_TRUE(dzh && tdx);
        EXPECT_EQ(Call(pintle_save2blk, "SH600000", {1, 3, 0}), (std::vector<double>{0, 0, 0}));
        EXPECT_EQ(Call(pintle_del2blk, "SH600036", {1, 3}), (std::vector<double>{0, 0, 0}));
        EXPECT_FALSE(TdxAddToBlock(600000, 1, 3));
    }
    EXPECT_EQ(ReadFileBytes(Dzh(L"自选股3")), A5({"SH600036"}));
    EXPECT_EQ(ReadFileBytes(Tdx(L"ZXG3")), "1600036");
    WIN32_FIND_DATAW found;
    for (const wchar_t* left : {L"USERDATA\\block\\*.pintle-new", L"T0002\\blocknew\\*.pintle-new"})
        EXPECT_EQ(FindFirstFileW(dir_.File(left).c_str(), &found), INVALID_HANDLE_VALUE);
}

// A file above 4 MiB is no stock list: no edit reads it whole or changes
// it; TDX 38 still counts its lines, streaming.
TEST_F(BlockFiles, AFileAboveFourMiBIsNotEditedAndStillCounted) {
    std::string dzh = A5({});
    while (dzh.size() <= (4u << 20)) dzh += Records("", 12, {"SH600036"});
    std::string tdx;
    while (tdx.size() <= (4u << 20)) tdx += "1600036\r\n";
    ASSERT_TRUE(WriteFileBytes(Dzh(L"自选股3"), dzh));
    ASSERT_TRUE(WriteFileBytes(Tdx(L"ZXG3"), tdx + "0000001"));
    EXPECT_EQ(Call(pintle_save2blk, "SH600000", {1, 3, 0}), (std::vector<double>{0, 0, 0}));
    EXPECT_EQ(Call(pintle_del2blk, "SH600036", {1, 3}), (std::vector<double>{0, 0, 0}));
    EXPECT_EQ(CallTdx(Tdx36, 600000, 1, {3, 3}), "-1 -1");
    EXPECT_EQ(CallTdx(Tdx37, 1, 1, {3}), "-1");
    EXPECT_EQ(CallTdx(Tdx38, 3, 0, {0}), std::to_string(tdx.size() / 9 + 1));
    EXPECT_EQ(ReadFileBytes(Dzh(L"自选股3")), dzh);
    EXPECT_EQ(ReadFileBytes(Tdx(L"ZXG3")), tdx + "0000001");
    const std::string refused = " 文件超过4MiB,不是股票列表,板块未改动";
    EXPECT_EQ(Log(), (Lines{WideToUtf8(Dzh(L"自选股3")) + refused, WideToUtf8(Dzh(L"自选股3")) + refused,
                            WideToUtf8(Tdx(L"ZXG3")) + refused, WideToUtf8(Tdx(L"ZXG3")) + refused}));
}

TEST_F(BlockFiles, TdxLinesCarryTheMarketDigitAndNoFinalLineEnd) {
    struct Case {
        const char* what;
        const char* before;  // null: no file
        TdxFunction fn;
        float a, b, c;
        const char* out;
        const char* after;  // null: no file
    };
    const Case cases[] = {
        {"created with one line", nullptr, Tdx36, 600000, 1, 3, "1 1", "1600000"},
        {"third line", "1600000\r\n0000001", Tdx36, 830000, 1, 3, "1 1", "1600000\r\n0000001\r\n2830000"},
        {"LF file rewritten with CR LF", "0000001\n", Tdx36, 113050, 1, 3, "1 1", "0000001\r\n1113050"},
        {"already there", "1600000\r\n0000001", Tdx36, 1, 1, 3, "-1 -1", "1600000\r\n0000001"},
        {"inactive", "0000001", Tdx36, 600000, 0, 3, "-1 -1", "0000001"},
        {"only line removed", "1600000", Tdx37, 600000, 1, 3, "1 1", ""},
        {"absent", "1600000", Tdx37, 2, 1, 3, "-1 -1", "1600000"},
        {"count", "1600000\r\n\r\n0000001\r\n", Tdx38, 3, 0, 0, "3 3", "1600000\r\n\r\n0000001\r\n"},
        {"count without file", nullptr, Tdx38, 3, 0, 0, "0 0", nullptr},
        {"negative block", "1600000", Tdx38, -1, 0, 0, "-1 -1", "1600000"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        DeleteFileW(Tdx(L"ZXG3").c_str());
        if (c.before) {
            ASSERT_TRUE(WriteFileBytes(Tdx(L"ZXG3"), c.before));
        }
        EXPECT_EQ(CallTdx(c.fn, c.a, c.b, {c.c, c.c}), c.out);
        EXPECT_EQ(ReadFileBytes(Tdx(L"ZXG3")), c.after ? c.after : "");
        EXPECT_EQ(FileExists(Tdx(L"ZXG3")), c.after != nullptr);
    }
}

}  // namespace
}  // namespace pintle::test
