#include <gtest/gtest.h>

#include "common/db/statement_text.hpp"

using namespace rdb;

TEST(StatementText, IntoListIsRemovedAndIndicatorsRecorded)
{
    auto p = parse_statement(
        "select dc_key ,unit_in ,unit_out ,tf_type into :b0:b1,:b2,:b3,:b4  from Coefficients where (((((sta=:b5 and net=:b6) and seedchan=:b7) and location=:b8) and :b9 between ondate and offdate) and stage_seq=:b10)");
    EXPECT_EQ(p.sql,
              "select dc_key ,unit_in ,unit_out ,tf_type   from Coefficients where (((((sta=:b5 and net=:b6) and seedchan=:b7) and location=:b8) and :b9 between ondate and offdate) and stage_seq=:b10)");
    EXPECT_EQ(p.into_indicator, (std::vector<bool>{true, false, false, false}));
    EXPECT_EQ(p.inputs, 6);
}

TEST(StatementText, CursorsAndLiteralsKeepTheirText)
{
    auto p = parse_statement("select id into :b0  from D_Unit where name='COUNTS'");
    EXPECT_EQ(p.inputs, 0);
    auto c = parse_statement("select key ,name ,symmetry  from DC  order by key");
    EXPECT_TRUE(c.into_indicator.empty());
    EXPECT_EQ(c.sql, "select key ,name ,symmetry  from DC  order by key");
    // A colon inside a quoted pattern is no placeholder.
    EXPECT_EQ(count_placeholders("SELECT a FROM T WHERE name LIKE 'x:b1''y' ORDER BY ondate"), 0);
    EXPECT_THROW(parse_statement("select a into :b0, from T"), std::invalid_argument);
}

TEST(StatementText, DialectRewritesOnlyWhatTheBackendCannotParse)
{
    const std::string nominal = "select TRUETIME.STRING2NOMINAL(:b0)   from DUAL";
    EXPECT_EQ(adapt_to_dialect(nominal, Dialect::sqlite), "select STRING2NOMINAL(:b0)   from DUAL");
    EXPECT_EQ(adapt_to_dialect(nominal, Dialect::postgresql), nominal);
    const std::string dm = "select samprate ,factor ,offset ,delay   from DM where key=:b5";
    EXPECT_EQ(adapt_to_dialect(dm, Dialect::sqlite), dm);
    EXPECT_EQ(adapt_to_dialect(dm, Dialect::postgresql),
              "select samprate ,factor ,\"offset\" ,delay   from DM where key=:b5");
    EXPECT_EQ(adapt_to_dialect("select x from T where name = 'offset'", Dialect::postgresql),
              "select x from T where name = 'offset'");
    // Any spelling of the bare word names the one lower-case column; an
    // already quoted one is left as it is.
    EXPECT_EQ(adapt_to_dialect("select OFFSET ,DM.Offset from DM", Dialect::postgresql),
              "select \"offset\" ,DM.\"offset\" from DM");
    EXPECT_EQ(adapt_to_dialect("select \"offset\" from DM", Dialect::postgresql), "select \"offset\" from DM");
    // A LIKE pattern has no escape character on either backend.
    const std::string like = "SELECT a FROM T WHERE name LIKE 'x\\_''y' ORDER BY ondate";
    EXPECT_EQ(adapt_to_dialect(like, Dialect::sqlite), like);
    EXPECT_EQ(adapt_to_dialect(like, Dialect::postgresql),
              "SELECT a FROM T WHERE name LIKE 'x\\_''y' ESCAPE '' ORDER BY ondate");
}
