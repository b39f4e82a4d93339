// The host-variable rules of the database layer, on a real SQLite database.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>

#include "common/db/database.hpp"
#include "common/db/session.hpp"
#include "tests/support/harness.hpp"

using namespace rdb;

namespace {

class DatabaseTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        database = std::make_unique<harness::TestDatabase>(std::vector<std::string>{R"(
            INSERT INTO D_Unit VALUES (1, 'M/S', 'Velocity');
            INSERT INTO D_Unit VALUES (2, 'COUNTS', NULL);
            INSERT INTO D_Unit VALUES (3, 'V', 'Volts');
            INSERT INTO DC VALUES (7, 'FIR.1', 'O');
            INSERT INTO station_data VALUES ('ABC', 'XY', 37.8762, -122.2356, 91, 'Hill Top', 5, 3210, 10,
                '1998/01/01 00:00:00', '2599/12/31 23:59:59', '2000/01/01 00:00:00');
            INSERT INTO station_data VALUES ('TWO', 'XY', 0, 0, 0, 'a', 0, 0, 0,
                '1998/01/01 00:00:00', '2000/01/01 00:00:00', '2000/01/01 00:00:00');
            INSERT INTO station_data VALUES ('TWO', 'XY', 0, 0, 0, 'b', 0, 0, 0,
                '2000/01/01 00:00:00', '2599/12/31 23:59:59', '2000/01/01 00:00:00');
        )"});
        ASSERT_EQ(db.connect(std::string(username) + "/" + password + "@" + database->alias()), ok) << db.last_error();
    }
    void TearDown() override
    {
        if (db.connected()) db.commit_release();
    }
    std::unique_ptr<harness::TestDatabase> database;
    Database db;
};

TEST_F(DatabaseTest, TextIsBlankFilledToWidthMinusOne)
{
    char sta[7];
    char net[9];
    ASSERT_EQ(db.select_into("select sta ,net into :b0,:b1  from station_data where sta=:b2",
                             {in("ABC")}, {out(sta), out(net)}),
              ok);
    EXPECT_EQ(std::string(sta, 7), std::string("ABC   \0", 7));
    EXPECT_STREQ(net, "XY      ");
}

TEST_F(DatabaseTest, NullWithIndicatorKeepsValueAndSetsMinusOne)
{
    char description[71] = "previous";
    Indicator ind = 5;
    ASSERT_EQ(db.select_into("select description into :b0:b1  from D_Unit where id=:b2", {in(2)},
                             {out(description, &ind)}),
              ok);
    EXPECT_EQ(ind, -1);
    EXPECT_STREQ(description, "previous");

    ASSERT_EQ(db.select_into("select description into :b0:b1  from D_Unit where id=:b2", {in(3)},
                             {out(description, &ind)}),
              ok);
    EXPECT_EQ(ind, 0);
    EXPECT_EQ(std::string(description).substr(0, 6), "Volts ");
}

TEST_F(DatabaseTest, NullWithoutIndicatorIsAnError)
{
    char description[71] = "previous";
    EXPECT_EQ(db.select_into("select description into :b0  from D_Unit where id=:b1", {in(2)},
                             {out(description)}),
              err_null_no_indicator);
    EXPECT_STREQ(description, "previous");
    EXPECT_NE(db.last_error().find("NULL"), std::string::npos);

    // min over no rows is NULL too
    char mindate[20] = "";
    EXPECT_LT(db.select_into("select min(ondate) into :b0  from station_data where (sta=:b1 and net=:b2)",
                             {in("NONE"), in("XY")}, {out(mindate)}),
              0);
}

TEST_F(DatabaseTest, SingleRowSelectFindingTwoRowsIsAnError)
{
    char lddate[32] = "";
    EXPECT_EQ(db.select_into("select lddate into :b0  from station_data where ((sta=:b1 and net=:b2) and :b3 between ondate and offdate)",
                             {in("TWO"), in("XY"), in_date("2000/01/01 00:00:00")}, {out(lddate)}),
              err_too_many_rows);
    EXPECT_STREQ(lddate, "");
    EXPECT_EQ(db.select_into("select lddate into :b0  from station_data where ((sta=:b1 and net=:b2) and :b3 between ondate and offdate)",
                             {in("TWO"), in("XY"), in_date("2000/01/01 00:00:01")}, {out(lddate)}),
              ok);
}

TEST_F(DatabaseTest, NoDataLeavesOutputsUntouchedAndCountIsZero)
{
    std::int32_t id = 42;
    EXPECT_EQ(db.select_into("select id into :b0  from D_Unit where name='PA'", {}, {out(id)}), no_data);
    EXPECT_EQ(id, 42);
    std::int32_t n = 42;
    EXPECT_EQ(db.select_into("select count(*)  into :b0  from DC_Data where (type='N' and key=:b1)", {in(7)},
                             {out(n)}),
              ok);
    EXPECT_EQ(n, 0);
    // The same statement again, now with a row: the prepared statement is reused.
    EXPECT_EQ(db.select_into("select id into :b0  from D_Unit where name='COUNTS'", {}, {out(id)}), ok);
    EXPECT_EQ(id, 2);
    EXPECT_EQ(db.select_into("select id into :b0  from D_Unit where name='COUNTS'", {}, {out(id)}), ok);
}

TEST_F(DatabaseTest, FloatIsTheColumnRoundedToSinglePrecision)
{
    float lat = 0;
    double nominal = 0;
    ASSERT_EQ(db.select_into("select lat into :b0  from station_data where sta=:b1", {in("ABC")}, {out(lat)}), ok);
    EXPECT_EQ(lat, 37.8762f);
    char buf[32];
    std::snprintf(buf, sizeof buf, "%10.6f", lat);
    EXPECT_STREQ(buf, " 37.876202");
    ASSERT_EQ(db.select_into("select TRUETIME.STRING2NOMINAL(:b0) into :b1  from DUAL",
                             {in("1970/01/02 00:00:01")}, {out(nominal)}),
              ok);
    EXPECT_EQ(nominal, 86401.0);
}

TEST_F(DatabaseTest, SingleCharacterAndTruncation)
{
    char symmetry = ' ';
    char name[4] = "";
    ASSERT_EQ(db.select_into("select symmetry into :b0  from DC where key=:b1", {in(7)}, {out(symmetry)}), ok);
    EXPECT_EQ(symmetry, 'O');
    EXPECT_EQ(db.select_into("select name into :b0  from DC where key=:b1", {in(7)}, {out(name)}), err_truncated);
    EXPECT_STREQ(name, "");
}

TEST_F(DatabaseTest, CursorCapturesInputsAtOpenAndEndsWith1403)
{
    Cursor c;
    char bound[8] = "TWO";
    ASSERT_EQ(db.open(c, "select sta ,net ,ondate ,offdate  from station_data where (sta=:b0 and net=:b1) order by ondate",
                      {in(bound), in("XY")}),
              ok);
    std::strcpy(bound, "ABC");
    char sta[7], net[9], on[20], off[20];
    int rows = 0;
    while (db.fetch(c, {out(sta), out(net), out(on), out(off)}) == ok) {
        EXPECT_STREQ(sta, "TWO   ");
        ++rows;
    }
    EXPECT_EQ(rows, 2);
    EXPECT_EQ(db.fetch(c, {out(sta), out(net), out(on), out(off)}), no_data);
    EXPECT_EQ(db.close(c), ok);

    ASSERT_EQ(db.open(c, "select sta ,net ,ondate ,offdate  from station_data where (sta=:b0 and net=:b1) order by ondate",
                      {in("NONE"), in("XY")}),
              ok);
    EXPECT_EQ(db.fetch(c, {out(sta), out(net), out(on), out(off)}), no_data);
    db.close(c);
}

TEST_F(DatabaseTest, CursorsNeverOutliveTheConnection)
{
    const char *sql = "select id ,name ,description  from D_Unit  order by id";
    std::int32_t id = 0;
    char name[81], description[71];
    Indicator ind;
    {
        // Left open at the release, as a run that stops early leaves it: the
        // release detaches it, so fetch and close report a closed cursor and
        // its end of scope touches nothing.
        Cursor c;
        ASSERT_EQ(db.open(c, sql, {}), ok);
        ASSERT_EQ(db.fetch(c, {out(id), out(name), out(description, &ind)}), ok);
        ASSERT_EQ(db.commit_release(), ok);
        EXPECT_FALSE(c.is_open());
        EXPECT_EQ(db.fetch(c, {out(id), out(name), out(description, &ind)}), err_cursor_state);
        EXPECT_EQ(db.close(c), err_cursor_state);
    }
    ASSERT_EQ(db.connect(std::string(username) + "/" + password + "@" + database->alias()), ok);
    {
        Cursor c;
        ASSERT_EQ(db.open(c, sql, {}), ok);
        ASSERT_EQ(db.rollback_release(), ok);
    }
    ASSERT_EQ(db.connect(std::string(username) + "/" + password + "@" + database->alias()), ok);
    // A cursor closed by its end of scope frees its statement for the next.
    for (int k = 0; k < 3; ++k) {
        Cursor c;
        ASSERT_EQ(db.open(c, sql, {}), ok);
        ASSERT_EQ(db.fetch(c, {out(id), out(name), out(description, &ind)}), ok);
        EXPECT_EQ(id, 1);
    }
}

TEST_F(DatabaseTest, NestedCursorsOfTheSameText)
{
    const char *sql = "select id ,name ,description  from D_Unit  order by id";
    Cursor outer, inner;
    std::int32_t id = 0;
    char name[81], description[71];
    Indicator ind;
    ASSERT_EQ(db.open(outer, sql, {}), ok);
    int pairs = 0;
    while (db.fetch(outer, {out(id), out(name), out(description, &ind)}) == ok) {
        ASSERT_EQ(db.open(inner, sql, {}), ok);
        while (db.fetch(inner, {out(id), out(name), out(description, &ind)}) == ok) ++pairs;
        db.close(inner);
    }
    db.close(outer);
    EXPECT_EQ(pairs, 9);
}

TEST_F(DatabaseTest, PreparedStatementFromRunTimeText)
{
    Cursor c;
    ASSERT_EQ(db.prepare(c, "SELECT id, name FROM D_Unit WHERE name LIKE 'C%' ORDER BY id"), ok);
    ASSERT_EQ(db.open(c, {}), ok);
    std::int32_t id;
    char name[81];
    Indicator ind;
    ASSERT_EQ(db.fetch(c, {out(id, &ind), out(name, &ind)}), ok);
    EXPECT_EQ(id, 2);
    EXPECT_EQ(db.fetch(c, {out(id, &ind), out(name, &ind)}), no_data);
}

TEST_F(DatabaseTest, DateFunctionsAndStrictDateInputs)
{
    char ddd[32];
    char date[20];
    ASSERT_EQ(db.select_into("select TO_CHAR(TO_DATE(:b0,'YYYY/MM/DD HH24:MI:SS'),'DDD') into :b1  from DUAL",
                             {in("2000/12/31 23:59:59")}, {out(ddd)}),
              ok);
    EXPECT_EQ(std::string(ddd, 3), "366");
    ASSERT_EQ(db.select_into("select TO_CHAR(TO_DATE(:b0,'YYYY,DDD,HH24:MI:SS'),'YYYY/MM/DD HH24:MI:SS') into :b1  from DUAL",
                             {in("2001,032,13:45:10")}, {out(date)}),
              ok);
    EXPECT_STREQ(date, "2001/02/01 13:45:10");
    EXPECT_LT(db.select_into("select TO_CHAR(TO_DATE(:b0,'YYYY,DDD,HH24:MI:SS'),'YYYY/MM/DD HH24:MI:SS') into :b1  from DUAL",
                             {in("2001,366,00:00:00")}, {out(date)}),
              0);
    EXPECT_NE(db.last_error().find("2001,366,00:00:00"), std::string::npos);
    EXPECT_LT(db.select_into("select TO_CHAR(TO_DATE(:b0,'YYYY,DDD,HH24:MI:SS'),'YYYY/MM/DD HH24:MI:SS') into :b1  from DUAL",
                             {in("2001/032/13:45:10")}, {out(date)}),
              0);

    double a = 0, b = 0;
    db.select_into("select TRUETIME.STRING2NOMINAL(:b0) into :b1  from DUAL", {in("2599/12/31 23:59:59")}, {out(a)});
    db.select_into("select TRUETIME.STRING2NOMINAL(:b0) into :b1  from DUAL", {in("3000/01/01 00:00:00")}, {out(b)});
    EXPECT_LT(a, b);

    char lddate[32] = "";
    EXPECT_EQ(db.select_into("select lddate into :b0  from station_data where ((sta=:b1 and net=:b2) and :b3 between ondate and offdate)",
                             {in("ABC"), in("XY"), in_date("2001/02/30 00:00:00")}, {out(lddate)}),
              err_bad_date);
}

TEST_F(DatabaseTest, HostVariablesMustMatchTheIntoList)
{
    char description[71];
    EXPECT_LT(db.select_into("select description into :b0:b1  from D_Unit where id=:b2", {in(2)},
                             {out(description)}),
              0);
    EXPECT_LT(db.select_into("select description into :b0  from D_Unit where id=:b1", {}, {out(description)}), 0);
}

TEST(DatabaseConnect, MissingFileIsAConnectError)
{
    Database db;
    EXPECT_LT(db.connect("u/p@/nonexistent/dir/response.db"), 0);
    EXPECT_FALSE(db.connected());
    EXPECT_FALSE(db.last_error().empty());
    EXPECT_LT(db.select_into("select id into :b0  from D_Unit where name='V'", {}, {}), 0);
}

TEST(DatabaseConnect, NotADatabaseIsAConnectError)
{
    harness::TempDir dir;
    harness::write_file(dir / "junk.db", std::string(4096, 'x'));
    Database db;
    EXPECT_LT(db.connect("u/p@" + (dir / "junk.db")), 0);
}

TEST(DatabaseConnect, DatabaseIsReadOnly)
{
    harness::TestDatabase database({});
    Database db;
    ASSERT_EQ(db.connect(std::string(username) + "/" + password + "@" + database.alias()), ok);
    EXPECT_LT(db.select_into("INSERT INTO D_Unit VALUES (9, 'X', 'Y')", {}, {}), 0);
    EXPECT_NE(db.last_error().find(harness::backend() == "sqlite" ? "readonly" : "read-only"), std::string::npos)
        << db.last_error();
}

TEST(DatabaseConnect, WrongPasswordIsAConnectError)
{
    harness::TestDatabase database({});
    Database db;
    int status = db.connect(std::string(username) + "/wrong@" + database.alias());
    if (harness::backend() == "sqlite") GTEST_SKIP() << "a SQLite file has no account";
    EXPECT_LT(status, 0);
    EXPECT_NE(db.last_error().find("password authentication failed"), std::string::npos) << db.last_error();
}

}  // namespace
