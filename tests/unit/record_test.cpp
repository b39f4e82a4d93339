// Blockette record framing.
#include <gtest/gtest.h>

#include <stdexcept>
#include <string>

#include "record.hpp"

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
    EXPECT_EQ(r.finish(), "0340024~~~ 2.5000000E-01");
}

TEST(Record, WideValuesWidenTheirFieldsAndTheLength)
{
    Record r;
    r.begin("%.3s%04d%04d%5.1f%-5s", "052", 0, 12345, 1500.0, "ABCDEFG");
    EXPECT_EQ(r.finish(), "0520025123451500.0ABCDEFG");
    // Longer than the small formatting buffer: still whole.
    std::string long_text(300, 'x');
    r.begin("%.3s%04d%s~", "030", 0, long_text.c_str());
    EXPECT_EQ(r.finish(), "0300308" + long_text + "~");
}

TEST(Record, AtMost9999Characters)
{
    Record r;
    r.begin("%.3s%04d", "041", 0);
    r.append_text(std::string(9999 - 7, 'a'));
    ASSERT_TRUE(r.fits());
    EXPECT_EQ(r.finish().substr(0, 7), "0419999");
    r.append_text("a");
    EXPECT_FALSE(r.fits());
    EXPECT_THROW(r.finish(), std::logic_error);
    EXPECT_EQ(quorvex::formatted_size("%12.5E%12.5E", 2.5, 0.0), 24u);
}
