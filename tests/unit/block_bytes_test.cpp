// DZH block files as bytes: broken files read safely, and labels without a
// code have no key.
#include <gtest/gtest.h>

#include "blocks/blocks.h"
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

}  // namespace
}  // namespace pintle
