// The hardware search's pattern translation and statement texts.
#include <gtest/gtest.h>

#include "reports/search_text.hpp"

namespace {

TEST(SearchText, ShellWildcardsBecomeLikeWildcards)
{
    char pattern[32] = "*AB?C*%_?";
    reports::translate_wildcards(pattern);
    EXPECT_STREQ(pattern, "%AB_C%%__");
}

TEST(SearchText, PatternGoesIntoTheLiteralWithQuotesDoubled)
{
    const char *format = "SELECT sensor_id FROM Sensor WHERE name LIKE '%s' ORDER BY ondate";
    EXPECT_EQ(reports::format_search(format, "STS%"),
              "SELECT sensor_id FROM Sensor WHERE name LIKE 'STS%' ORDER BY ondate");
    EXPECT_EQ(reports::format_search(format, "' OR ''='"),
              "SELECT sensor_id FROM Sensor WHERE name LIKE ''' OR ''''=''' ORDER BY ondate");
    EXPECT_EQ(reports::format_search(format, ""), "SELECT sensor_id FROM Sensor WHERE name LIKE '' ORDER BY ondate");
    // A "%s" in the pattern is text, not a second conversion.
    EXPECT_EQ(reports::format_search(format, "%s%d"),
              "SELECT sensor_id FROM Sensor WHERE name LIKE '%s%d' ORDER BY ondate");
}

}  // namespace
