#include "app/CommandRequest.h"

#include <gtest/gtest.h>

using mirelight::remote::ParseRequest;
using mirelight::remote::Request;
using mirelight::remote::RequestLine;

namespace {

TEST(CommandRequest, OnlyTheThreeFormsExactlyAreRequestsAndTheirLinesReadBack)
{
    struct Row
    {
        const char* line;
        bool valid;
    };
    for (const Row& row :
         { Row { "press 1", true }, Row { "press 8", true }, Row { "show", true },
           Row { "status", true }, Row { "press 0", false }, Row { "press 9", false },
           Row { "press 12", false }, Row { "press  1", false }, Row { "press x", false },
           Row { "press", false }, Row { "Show", false }, Row { "show ", false }, Row { "", false },
           Row { "status\r", false } }) {
        const auto request = ParseRequest(row.line);
        EXPECT_EQ(request.has_value(), row.valid) << row.line;
        if (request) {
            EXPECT_EQ(RequestLine(*request), std::string(row.line) + '\n');
        }
    }
    EXPECT_EQ(ParseRequest("press 5")->button, 5);
}

} // namespace
