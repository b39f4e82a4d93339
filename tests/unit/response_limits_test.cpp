// Record size arithmetic of the response blockettes at the exact limits.
#include <gtest/gtest.h>

#include <cfloat>
#include <limits>

#include "generator/record.hpp"
#include "generator/response_limits.hpp"

using namespace quorvex;

TEST(ResponseLimits, GroupsThatFitOneRecord)
{
    // Blockette 53: 46 characters of fixed fields, 48 per zero or pole.
    EXPECT_EQ(groups_that_fit(46, pz_group_size), 207u);
    EXPECT_EQ(46 + 207 * pz_group_size, 9982u);
    // Blockette 62: 81 fixed, 24 per coefficient; 9993 at the limit.
    EXPECT_EQ(groups_that_fit(81, polynomial_group_size), 413u);
    // Blockette 61 with a 25-character name: 46 fixed, 14 per coefficient.
    EXPECT_EQ(groups_that_fit(46, fir_coefficient_size), 710u);
    // Exactly full, one short, and no room at all.
    EXPECT_EQ(groups_that_fit(9999 - 14, 14), 1u);
    EXPECT_EQ(groups_that_fit(9999 - 13, 14), 0u);
    EXPECT_EQ(groups_that_fit(9999, 14), 0u);
    EXPECT_EQ(groups_that_fit(20000, 14), 0u);
}

TEST(ResponseLimits, SplitFillsEachRecordToTheLimit)
{
    std::vector<std::string> fourteen(1500, std::string(14, 'x'));
    // 29 + 712 x 14 = 9997: the 713th would make 10011.
    EXPECT_EQ(split_into_records(29, fourteen), (std::vector<std::size_t>{712, 712, 76}));
    // A header that leaves room for exactly 712 groups with nothing over.
    EXPECT_EQ(split_into_records(9999 - 712 * 14, std::vector<std::string>(1424, std::string(14, 'x'))),
              (std::vector<std::size_t>{712, 712}));
    EXPECT_EQ(split_into_records(9999 - 712 * 14 + 1, std::vector<std::string>(712, std::string(14, 'x'))),
              (std::vector<std::size_t>{711, 1}));
    // No groups: one empty record, as a FIR without coefficients.
    EXPECT_EQ(split_into_records(29, {}), (std::vector<std::size_t>{0}));
    // Groups of different sizes are counted as they are.
    EXPECT_EQ(split_into_records(9990, {"12345", "1234", "1"}), (std::vector<std::size_t>{2, 1}));
    // Nothing fits: no record at all rather than an over-long one.
    EXPECT_TRUE(split_into_records(9990, {std::string(10, 'x')}).empty());
    EXPECT_TRUE(split_into_records(10000, {}).empty());
}

TEST(ResponseLimits, GroupSizesHoldForEverySinglePrecisionValue)
{
    // The refusal of blockettes 53 and 62 counts on these widths.
    for (float v : {0.0f, -0.0f, 1.0f, -2.5f, FLT_MAX, -FLT_MAX, FLT_MIN, -FLT_TRUE_MIN,
                    std::numeric_limits<float>::infinity(), -std::numeric_limits<float>::infinity(),
                    std::numeric_limits<float>::quiet_NaN()}) {
        double d = v;
        EXPECT_EQ(formatted_size("%12.5E%12.5E%12.5E%12.5E", d, d, d, d), pz_group_size) << d;
        EXPECT_EQ(formatted_size("%14.7E", d), fir_coefficient_size) << d;
        EXPECT_EQ(formatted_size("%12.5E%12.5E", d, 0.0), polynomial_group_size) << d;
    }
}
