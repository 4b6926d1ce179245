// The line rules of the assistant's screening result files.
#include <gtest/gtest.h>

#include "screening/screening.h"

namespace pintle {
namespace {

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
