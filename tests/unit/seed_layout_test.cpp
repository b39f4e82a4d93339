// Field readers, blockette layouts and record packing at their limits.
#include <gtest/gtest.h>

#include <algorithm>
#include <charconv>
#include <cstring>

#include "seed/reader/blockettes.hpp"
#include "seed/writers/volume.hpp"

namespace {

seed::Line line(const std::string &fields, const char *type)
{
    char head[8];
    std::snprintf(head, sizeof head, "%s%04zu", type, fields.size() + 7);
    return seed::Line{head + fields, seed::Source{"T", 3}};
}

std::string error_of(const std::function<void()> &f)
{
    try {
        f();
    } catch (const seed::Error &e) {
        return e.what();
    }
    return "no error";
}

TEST(SeedFields, NumbersAreWholeFiniteAndKeepTheirText)
{
    double v = 0;
    for (const char *good : {"1.5E+00", "+1.5", "-0.25", "12", "1e-300"}) EXPECT_TRUE(seed::parse_real(good, v)) << good;
    for (const char *bad : {"", "1.5x", "inf", "nan", "1e999", "0x10", "--1", "+-1", "1 2", " 1"})
        EXPECT_FALSE(seed::parse_real(bad, v)) << bad;
    long long n = 0;
    EXPECT_TRUE(seed::parse_unsigned("0012", n));
    EXPECT_EQ(n, 12);
    for (const char *bad : {"", "-1", "+1", "1 2", "99999999999999999999"}) EXPECT_FALSE(seed::parse_unsigned(bad, n)) << bad;

    // A 57 whose fields are padded with blanks: values and trimmed texts.
    seed::Decimation d = seed::parse_b057(line("02 1.600E+02    100000 0.0000E+00 8.7500E-02", "057"));
    EXPECT_EQ(d.input_rate.text, "1.600E+02");
    EXPECT_EQ(d.input_rate.value, 160.0);
    EXPECT_EQ(d.factor, 1);
    EXPECT_EQ(d.correction.text, "8.7500E-02");
    EXPECT_EQ(error_of([] { seed::parse_b057(line("02  1.60E+0x0000100000 0.0000E+00 0.0000E+00", "057")); }),
              "T:3: B057 field 4 (input sample rate): \"  1.60E+0x\" is not a finite number");
    EXPECT_EQ(error_of([] { seed::parse_b057(line("02 1.600E+02-0001000000 0.0000E+00 0.0000E+00", "057")); }),
              "T:3: B057 field 5 (decimation factor): \"-0001\" is not an unsigned integer");
    EXPECT_EQ(error_of([] { seed::parse_b057(line("02 1.600E+020000100000 0.0000E+00", "057")); }),
              "T:3: B057 field 8 (correction applied): the line ends inside this field (11 characters wanted at column 41)");
    EXPECT_EQ(error_of([] { seed::parse_b057(line("02 1.600E+020000100000 0.0000E+00 0.0000E+00X", "057")); }),
              "T:3: B057: 1 characters after the last field");
}

TEST(SeedFields, TimesInEveryFormSEEDAllows)
{
    std::int64_t a = 0, b = 0;
    ASSERT_TRUE(seed::parse_time("2003,182", a));
    ASSERT_TRUE(seed::parse_time("2003,182,00:00:00.0000", b));
    EXPECT_EQ(a, b);
    ASSERT_TRUE(seed::parse_time("2003,181,23:59:59.9999", a));
    EXPECT_EQ(b - a, 1);
    ASSERT_TRUE(seed::parse_time("2004,366,12", a));  // a leap year
    ASSERT_TRUE(seed::parse_time("2005,001", b));
    EXPECT_EQ(b - a, 12 * 3600 * 10000LL);
    for (const char *bad : {"2003,366", "2003,000", "2003,182,24", "2003,182,00:60", "2003,182,00:00:61",
                            "2003,182,00:00:00.12345", "2003,182,00:00.5", "2003/182", "03,182", "2003,182,"})
        EXPECT_FALSE(seed::parse_time(bad, a)) << bad;

    std::string text;
    ASSERT_TRUE(seed::seed_time_from_unix(0, text));
    EXPECT_EQ(text, "1970,001,00:00:00");
    ASSERT_TRUE(seed::seed_time_from_unix(1700000000, text));
    EXPECT_EQ(text, "2023,318,22:13:20");
    EXPECT_FALSE(seed::seed_time_from_unix(-1, text));
    EXPECT_FALSE(seed::seed_time_from_unix(253402300800LL, text));  // year 10000
}

TEST(SeedFields, FramingAndVariableFields)
{
    EXPECT_EQ(error_of([] { seed::framed_type({"0330012001", {"T", 3}}); }),
              "T:3: blockette length: the length field says 12 but the line has 10 characters");
    EXPECT_EQ(error_of([] { seed::framed_type({"033001", {"T", 3}}); }),
              "T:3: blockette type: \"033\" is not a 3-digit blockette type");
    EXPECT_EQ(error_of([] { seed::framed_type({"0330012001A\tB~", {"T", 3}}); }),
              "T:3: character 0x09 at column 12 is not printable ASCII");
    EXPECT_EQ(error_of([] { seed::parse_blockette({"0100007", {"T", 3}}); }), "T:3: blockette type: unknown blockette type 010");

    // 34: the name must not be empty, the description may be; a text over
    // SEED's maximum is read and marked.
    seed::UnitEntry u = seed::parse_b034(line("001COUNTS~~", "034"));
    EXPECT_EQ(u.description.text, "");
    u = seed::parse_b034(line("001" + std::string(21, 'N') + "~d~", "034"));
    EXPECT_TRUE(u.name.too_long());
    EXPECT_EQ(error_of([] { seed::parse_b034(line("001~d~", "034")); }), "T:3: B034 field 4 (unit name): empty");
    EXPECT_EQ(error_of([] { seed::parse_b034(line("001V~Volts", "034")); }),
              "T:3: B034 field 5 (unit description): no \"~\" ends this field");
}

TEST(SeedLayouts, RepeatGroupsAndTheirCounts)
{
    // 61: the count must match the coefficients that follow.
    std::string coefficient = " 2.5000000E-01";
    seed::FirBlockette f = seed::parse_b061(line("03F~A0010010002" + coefficient + coefficient, "061"));
    EXPECT_EQ(f.fir.coefficients.size(), 2u);
    EXPECT_EQ(error_of([&] { seed::parse_b061(line("03F~A0010010003" + coefficient + coefficient, "061")); }),
              "T:3: B061 field 8 (number of coefficients): counts 3 groups of 14 characters, but 28 characters follow");
    EXPECT_EQ(error_of([&] { seed::parse_b061(line("03F~X0010010001" + coefficient, "061")); }),
              "T:3: B061 field 5 (symmetry code): \"X\" is not one of A, B, C");

    // 60: several stages, several keys each.
    seed::Reference r = seed::parse_b060(line("02" "0102" "01010102" "0201" "5001", "060"));
    ASSERT_EQ(r.stages.size(), 2u);
    EXPECT_EQ(r.stages[0].keys, (std::vector<int>{101, 102}));
    EXPECT_EQ(r.stages[1].stage, 2);
    EXPECT_EQ(r.stages[1].keys, (std::vector<int>{5001}));

    // 58 with a calibration history entry of variable length.
    seed::Sensitivity s = seed::parse_b058(line("00 6.29145E+08 1.00000E+0001     6.2E+08     1.0E+002003,182~", "058"));
    ASSERT_EQ(s.history.size(), 1u);
    EXPECT_EQ(s.history[0].time.text, "2003,182");

    // 52: blank location kept as written and trimmed; an open end.
    seed::ChannelId c = seed::parse_b052(line("  BHZ0000001~002003 37.876499-122.235100   93.0  0.0  0.0-90.0"
                                              "0001122.0000E+011.0000E-040000CG~2003,182,00:00:00~~N", "052"));
    EXPECT_EQ(c.location_field, "  ");
    EXPECT_EQ(c.location, "");
    EXPECT_EQ(c.dip.text, "-90.0");
    EXPECT_TRUE(c.end.open());
    EXPECT_EQ(c.end.value, seed::open_time);
}

TEST(SeedLayouts, FirCoefficientsKeepTheirValuesAndTexts)
{
    // Texts of every kind a field may hold: the usual form, exponents far
    // apart (outside one list's compact scales), digits past a double's
    // exactness, a signed mantissa, a negative zero, no point.
    const std::vector<std::string> texts = {"1.4285714E-03", "-9.9999999E-01", "2.5E-22",       "7.0E+15",
                                            "0.12345678901234567890", "+5.0E-01", "-0.0E+00", "12",
                                            "134217727E-10", "134217728E-10"};
    std::string fields;
    for (const std::string &t : texts) fields += std::string(14 - std::min<std::size_t>(14, t.size()), ' ') + t.substr(0, 14);
    char count[8];
    std::snprintf(count, sizeof count, "%04zu", texts.size());
    seed::Line first = line("03F~A001001" + std::string(count) + fields, "061");
    seed::FirBlockette a = seed::parse_b061(first);
    ASSERT_EQ(a.fir.coefficients.size(), texts.size());
    auto same_bits = [](double x, double y) { return std::memcmp(&x, &y, sizeof x) == 0; };
    for (std::size_t i = 0; i < texts.size(); ++i) {
        std::string text = texts[i].substr(0, 14);
        double expected = 0;
        ASSERT_TRUE(seed::parse_real(text, expected)) << text;
        seed::Number n = a.fir.coefficients[i];
        EXPECT_EQ(n.text, text);
        EXPECT_TRUE(same_bits(n.value, expected)) << text;
        EXPECT_TRUE(same_bits(a.fir.coefficients.value(i), expected)) << text;
    }

    // Numbers of every length and exponent: the value from_chars gives, bit for bit.
    std::uint64_t state = 12345;
    auto next = [&](unsigned n) { return static_cast<unsigned>((state = state * 6364136223846793005ULL + 1442695040888963407ULL) >> 33) % n; };
    for (int k = 0; k < 20000; ++k) {
        std::string t = next(2) ? "-" : "";
        for (unsigned d = next(12); d-- > 0;) t += static_cast<char>('0' + next(10));
        if (t.empty() || t == "-" || next(2)) t += std::to_string(next(10));
        if (next(4)) {
            t += '.';
            for (unsigned d = 1 + next(18); d-- > 0;) t += static_cast<char>('0' + next(10));
        }
        if (next(3)) t += std::string(next(2) ? "E" : "e") + (next(2) ? "-" : "+") + std::to_string(next(40));
        double got = 0, expected = 0;
        ASSERT_TRUE(seed::parse_real(t, got)) << t;
        std::from_chars(t.data(), t.data() + t.size(), expected);
        EXPECT_TRUE(same_bits(got, expected)) << t;
    }

    // A FIR merged from two blockettes, and a copy that shares the first:
    // the copy is left as it was, and the texts follow their lines.
    seed::NumberList shared = a.fir.coefficients;
    seed::FirBlockette b = seed::parse_b061(line("03F~A0010010002 3.0000000E-01    -4.125E+03", "061"));
    a.fir.coefficients.append(b.fir.coefficients);
    ASSERT_EQ(a.fir.coefficients.size(), texts.size() + 2);
    EXPECT_EQ(shared.size(), texts.size());
    EXPECT_EQ(a.fir.coefficients.back().text, "-4.125E+03");
    EXPECT_EQ(a.fir.coefficients.back().value, -4125.0);
    EXPECT_EQ(a.fir.coefficients[texts.size()].text, "3.0000000E-01");
    EXPECT_EQ(a.fir.coefficients[1].text, "-9.9999999E-01");
    std::vector<std::string> listed;
    for (const seed::Number &n : a.fir.coefficients) listed.push_back(n.text.str());
    EXPECT_EQ(listed.size(), texts.size() + 2);
    EXPECT_EQ(listed.front(), "1.4285714E-03");
    EXPECT_EQ(error_of([&] { seed::parse_b061(line("03F~A0010010001  1.0E-03 x1.0", "061")); }),
              "T:3: B061 field 9 (FIR coefficient): \"  1.0E-03 x1.0\" is not a finite number");
}

// Records as the writer gives them.
std::vector<std::string> pack(const std::vector<std::pair<char, std::vector<std::string>>> &headers)
{
    std::vector<std::string> records;
    seed::LogicalRecordWriter writer([&](std::string_view r) { records.emplace_back(r); });
    for (const auto &[type, blockettes] : headers) {
        writer.begin_header(type);
        for (const auto &b : blockettes) writer.add(b);
        writer.end_header();
    }
    return records;
}

std::string blockette(std::size_t size) { return line(std::string(size - 7, 'x'), "033").text; }

TEST(SeedVolume, RecordsPackBlockettesAndContinueThem)
{
    const std::size_t room = 4096 - 8;
    // 7 characters left: the next blockette begins there; 6: it waits for
    // the next record, marked as a continuation.
    auto records = pack({{'A', {blockette(room - 7), blockette(10)}}, {'S', {blockette(room - 6), blockette(10)}}});
    ASSERT_EQ(records.size(), 4u);
    EXPECT_EQ(records[0].substr(0, 8), "000001A ");
    EXPECT_EQ(records[0].substr(4096 - 7), blockette(10).substr(0, 7));
    EXPECT_EQ(records[1].substr(0, 8 + 3), "000002A*xxx");
    EXPECT_EQ(records[1].find_first_not_of(' ', 11), std::string::npos);
    EXPECT_EQ(records[2].substr(0, 8), "000003S ");
    EXPECT_EQ(records[2].substr(4096 - 6), "      ");
    EXPECT_EQ(records[3].substr(0, 15), "000004S*0330010");

    // A blockette of 9000 characters spans three records; one that ends a
    // record exactly leaves no empty record behind.
    records = pack({{'S', {blockette(9000)}}, {'S', {blockette(room)}}});
    ASSERT_EQ(records.size(), 4u);
    EXPECT_EQ(records[1].substr(0, 8), "000002S*");
    EXPECT_EQ(records[2].substr(0, 8), "000003S*");
    EXPECT_EQ(records[2].substr(8, 9000 - 2 * room), std::string(9000 - 2 * room, 'x'));
    EXPECT_EQ(records[3].substr(0, 8), "000004S ");
    for (const auto &r : records) EXPECT_EQ(r.size(), 4096u);
}

TEST(SeedVolume, IdentifierAndIndexWithinTheirLimits)
{
    seed::VolumeOptions options{"Org", "Label", "2023,318,22:13:20"};
    EXPECT_EQ(seed::volume_identifier("1998,001", "2599,365,23:59:59", options),
              "010006802.4121998,001~2599,365,23:59:59~2023,318,22:13:20~Org~Label~");
    options.label = std::string(81, 'L');
    EXPECT_EQ(error_of([&] { seed::volume_identifier("1998,001", "1999,001", options); }),
              "blockette 10 label: it is longer than 80 characters");
    options.label = "a~b";
    EXPECT_EQ(error_of([&] { seed::volume_identifier("1998,001", "1999,001", options); }),
              "blockette 10 label: it holds a \"~\", which ends SEED's text fields");

    std::vector<std::pair<std::string, long>> stations(908, {"AB", 999999});
    std::string index = seed::station_index(stations);
    EXPECT_EQ(index.size(), 9998u);
    EXPECT_EQ(index.substr(0, 21), "0119998908AB   999999");
    stations.emplace_back("CD", 1);
    EXPECT_NE(error_of([&] { seed::station_index(stations); }).find("blockette 11 indexes at most 908"), std::string::npos);
}

}  // namespace
