// Files other programs write, read as bytes: DZH block files (broken ones
// read safely, labels without a code have no key) and the line rules of the
// assistant's screening result files.
#include <gtest/gtest.h>

#include "blocks/blocks.h"
#include "screening/screening.h"
#include "support/block_bytes.h"

namespace pintle {
namespace {

using test::A6;

TEST(DzhBlockBytes, BrokenFilesReadSafelyAndLabelsWithoutACodeHaveNoKey) {
    for (const char* label : {"", "SH", ".SH", "sz"}) EXPECT_EQ(DzhBlockKey(label), "") << label;
    EXPECT_EQ(DzhBlockKey("000001.sz"), "SZ000001");
    // Every prefix of a file with an entry across the end never reads outside it.
    const std::string bytes = A6({"SH600000", "SZ00000\x01"}) + "SH60";
    for (std::size_t n = 0; n <= bytes.size(); ++n) {
        const auto texts = DzhBlockTexts(DecodeDzhBlock(std::string_view(bytes.data(), n)));
        EXPECT_EQ(texts.size(), n >= 13 ? 1u : 0u) << n;
    }
    EXPECT_EQ(DzhBlockCount(0, 2), 0);
}

TEST(ScreeningCodeReader, TakesTheFirstFieldOfEveryNonEmptyLineAsWritten) {
    const std::pair<std::string, std::vector<std::string>> cases[] = {
        {"600000\t\xC6\xD6\xB7\xA2\n000001\n\n", {"600000", "000001"}},
        {"600000\r\n000001\r\n", {"600000", "000001"}},
        {"60\r0000\n\r\n", {"600000"}},
        {"\xEF\xBB\xBF""600000\n", {"\xEF\xBB\xBF""600000"}},
        {" 600000 \n\tname\n300750", {" 600000 ", "", "300750"}},
        {"", {}},
        {"\n\n", {}},
        {std::string("6\0\t\0", 4), {std::string("6\0", 2)}},
    };
    for (const auto& [bytes, codes] : cases) {
        ScreeningCodeReader whole, bytewise;
        whole.Feed(bytes);
        for (char c : bytes) bytewise.Feed(std::string_view(&c, 1));
        EXPECT_EQ(whole.Finish(), codes) << bytes;
        EXPECT_EQ(bytewise.Finish(), codes) << bytes;
    }
}

}  // namespace
}  // namespace pintle
