#include "app/CommandRequest.h"

#include <gtest/gtest.h>

using mirelight::remote::ParseRequest;
using mirelight::remote::RequestLine;

namespace {

TEST(CommandRequest, OnlyTheThreeFormsExactlyAreRequestsAndTheirLinesReadBack)
{
    for (const char* line : { "press 1", "press 8", "show", "status" }) {
        const auto request = ParseRequest(line);
        ASSERT_TRUE(request) << line;
        EXPECT_EQ(RequestLine(*request), std::string(line) + '\n');
    }
    for (const char* line : { "press 0", "press 9", "press 12", "press  1", "press x", "press",
                              "Show", "show ", "", "status\r" })
        EXPECT_FALSE(ParseRequest(line)) << line;
    EXPECT_EQ(ParseRequest("press 5")->button, 5);
}

} // namespace
