// Blockette record framing.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <cstring>
#include <vector>
#include <stdexcept>
#include <string>

#include "common/seed/field_table.hpp"
#include "generator/record.hpp"

using quorvex::Record;

TEST(Record, LengthCountsTheWholeLineAndIsPatchedIn)
{
    Record r;
    r.begin("%.3s%04d%03d%s~", "033", 0, 1, "ABC");
    EXPECT_EQ(r.text(), "0330000001ABC~");
    EXPECT_EQ(r.finish(), "0330014001ABC~");

    // Empty texts keep their terminators; appended groups are counted.
    r.begin("%.3s%04d%s~%s~", "034", 0, "", "");
    r.append("%s~", "");
    r.append("%14.7E", 0.25);
    EXPECT_FALSE(r.problem());
    EXPECT_EQ(r.finish(), "0340024~~~ 2.5000000E-01");
}

TEST(Record, ValuesThatDoNotFitTheirFieldsAreTheRecordsProblem)
{
    struct Case {
        const char *format;
        double number;
        const char *text;
        int field;
        std::string value, reason;
    } cases[] = {
        // Wider than a fixed field: a reader would take the next field's start.
        {"%.3s%04d%5.1f%s~", 1500.0, "", 3, "1500.0", "is wider than its 5 characters"},
        {"%.3s%04d%10.4E%s~", -20.0, "", 3, "-2.0000E+01", "is wider than its 10 characters"},
        {"%.3s%04d%12.5E%s~", INFINITY, "", 3, "INF", "is not a finite number"},
        {"%.3s%04d%12.5E%s~", NAN, "", 3, "NAN", "is not a finite number"},
        // Texts that would end or split their field.
        {"%.3s%04d%5.1f%s~", 0, "Hill~Top", 4, "Hill~Top", "holds \"~\", the field terminator"},
        {"%.3s%04d%5.1f%s~", 0, "Hill\nTop", 4, "Hill\\nTop", "holds a control character"},
        {"%.3s%04d%5.1f%s~", 0, "Z\xc3\xbcrich", 4, "Z\\xc3\\xbcrich", "holds a byte outside printable ASCII"},
        {"%.3s%04d%5.1f%-5s", 0, "ABCDEF", 4, "ABCDEF", "is longer than its 5 characters"},
        {"%.3s%04d%5.1f%.2s", 0, "ABC", 4, "ABC", "is longer than its 2 characters"},
    };
    for (const auto &c : cases) {
        Record r("HILL.XY");
        r.begin(c.format, "052", 0, c.number, c.text);
        ASSERT_TRUE(r.problem()) << c.format << " " << c.text;
        EXPECT_EQ(r.problem()->blockette, 52);
        EXPECT_EQ(r.problem()->field, c.field);
        EXPECT_EQ(r.problem()->value, c.value);
        EXPECT_EQ(r.problem()->reason, c.reason);
    }
    // Messages name the field from the one table the reader lays lines out by.
    EXPECT_STREQ(seed_field::name(52, 13), "local depth");
    EXPECT_STREQ(seed_field::name(52, 25), "");
    EXPECT_STREQ(seed_field::name(99, 3), "");
    EXPECT_EQ(seed_field::label(53, 7), "B053 field 7 (A0 normalization factor)");
    EXPECT_EQ(seed_field::label(61, 1), "B061 field 1 (blockette type)");
    EXPECT_EQ(seed_field::number(61, "stage sequence number"), 3);
    EXPECT_EQ(seed_field::number(62, "stage sequence number"), 4);
    EXPECT_EQ(seed_field::number(50, "stage sequence number"), 0);

    // Integers wider than their digits; the first problem is kept, and a
    // group counts from its own first field.
    Record r;
    r.begin("%.3s%04d%03d%02d", "060", 0, 1234, 100);
    EXPECT_EQ(r.problem()->field, 3);
    r.begin("%.3s%04d%02d", "060", 0, 1);
    r.append_group(6, "%04d", 12345);
    EXPECT_EQ(r.problem()->field, 6);
    EXPECT_EQ(r.problem()->value, "12345");

    // Codes shorter than their field are filled with blanks on the right.
    r.begin("%.3s%04d%.2s%.3s%-5s~", "052", 0, "0", "BHZ", "AB");
    EXPECT_FALSE(r.problem());
    EXPECT_EQ(r.finish(), "05200180 BHZAB   ~");
    // Longer than the small formatting buffer: still whole.
    std::string long_text(300, 'x');
    r.begin("%.3s%04d%s~", "030", 0, long_text.c_str());
    EXPECT_EQ(r.finish(), "0300308" + long_text + "~");
}

TEST(Record, RealFieldsAreExactlyWhatPrintfWrites)
{
    // Every real conversion of the blockettes, for every kind of single-
    // precision value: ties, signed zeros, subnormals, infinities, NaN.
    const char *formats[] = {"%12.5E", "%10.4E", "%11.4E", "%14.7E", "%10.6f", "%11.6f", "%7.1f", "%5.1f"};
    std::vector<double> values = {0.25, 0.125, 2.5, -0.25, 1.25, 0.0, -0.0, 12.25, 1e-45, 3.4e38, INFINITY, -INFINITY,
                                  NAN};
    std::uint32_t bits = 12345;
    for (int k = 0; k < 20000; ++k) {
        bits = bits * 1664525u + 1013904223u;
        float f;
        std::memcpy(&f, &bits, sizeof f);
        values.push_back(f);
    }
    Record r;
    for (const char *format : formats)
        for (double v : values) {
            char expected[512];
            std::snprintf(expected, sizeof expected, format, v);
            r.begin("%s", "");
            r.append(format, v);
            ASSERT_EQ(r.text(), expected) << format << " " << v;
        }
}

TEST(Record, AtMost9999Characters)
{
    Record r;
    r.begin("%.3s%04d", "041", 0);
    r.append("%s", std::string(9999 - 7, 'a').c_str());
    ASSERT_TRUE(r.fits());
    EXPECT_EQ(r.finish().substr(0, 7), "0419999");
    r.append("a");
    EXPECT_FALSE(r.fits());
    EXPECT_THROW(r.finish(), std::logic_error);
    EXPECT_EQ(quorvex::formatted_size("%12.5E%12.5E", 2.5, 0.0), 24u);
}
