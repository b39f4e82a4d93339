#include "importer/existing_db.hpp"

#include <cmath>
#include <cstring>
#include <functional>
#include <limits>

#include "common/db/database.hpp"
#include "common/db/session.hpp"
#include "importer/seed_fields.hpp"

namespace importer {

namespace {

constexpr double null_real = std::numeric_limits<double>::quiet_NaN();

// A text column read into a wide buffer, trailing blanks off (the
// generator's Remove_Blank); NULL gives nullopt.
struct TextColumn {
    char buffer[4096] = "";
    rdb::Indicator ind = 0;
    rdb::Out out() { return rdb::out(buffer, &ind); }
    std::optional<std::string> value() const
    {
        if (ind == -1) return std::nullopt;
        std::string s = buffer;
        while (!s.empty() && s.back() == ' ') s.pop_back();
        return s;
    }
};

struct IntColumn {
    std::int32_t v = 0;
    rdb::Indicator ind = 0;
    rdb::Out out() { return rdb::out(v, &ind); }
    std::optional<int> value() const { return ind == -1 ? std::nullopt : std::optional<int>(v); }
};

struct RealColumn {
    double v = 0;
    rdb::Indicator ind = 0;
    rdb::Out out() { return rdb::out(v, &ind); }
    // A NULL compares unequal to every value.
    double value() const { return ind == -1 ? null_real : v; }
    bool null() const { return ind == -1; }
};

struct CharColumn {
    char v = ' ';
    rdb::Indicator ind = 0;
    rdb::Out out() { return rdb::out(v, &ind); }
    std::optional<char> value() const { return ind == -1 ? std::nullopt : std::optional<char>(v); }
};

bool overlaps(Instant a_start, Instant a_end, Instant b_start, Instant b_end)
{
    return a_start <= b_end && b_start <= a_end;
}

}  // namespace

ExistingDatabase::ExistingDatabase(const std::string &alias) : db_(std::make_unique<rdb::Database>()), alias_(alias)
{
    if (db_->connect(std::string(rdb::username) + "/" + rdb::password + "@" + alias) < 0) fail("cannot connect");
    load();
}

ExistingDatabase::~ExistingDatabase()
{
    if (db_->connected()) db_->rollback_release();
}

void ExistingDatabase::fail(const std::string &what)
{
    throw Failure("database " + alias_ + ": " + what + ": " + db_->last_error());
}

namespace {

// Every row of a statement without inputs.
template <class Row>
void each_row(rdb::Database &db, const char *sql, rdb::Outputs outputs, Row &&row, const std::function<void()> &fail)
{
    rdb::Cursor cursor;
    if (db.open(cursor, sql, {}) < 0) fail();
    for (;;) {
        int status = db.fetch(cursor, outputs);
        if (status < 0) fail();
        if (status == rdb::no_data) break;
        row();
    }
    if (db.close(cursor) < 0) fail();
}

}  // namespace

// The whole dictionary, table by table; any failure ends the run.
void ExistingDatabase::load()
{
    load_descriptions();
    load_poles_zeros();
    load_coefficient_sets();
    load_polynomials();
    load_decimations();
}

// Units, abbreviations, comments and formats with their rows.
void ExistingDatabase::load_descriptions()
{
    auto failed = [this] { fail("cannot read the dictionaries"); };
    IntColumn id;
    TextColumn name, description;
    each_row(*db_, "select id ,name ,description  from D_Unit  order by id", {id.out(), name.out(), description.out()},
             [&] {
                 d_.max_unit = std::max(d_.max_unit, id.v);
                 d_.units[id.v] = ExistingUnit{name.value().value_or(""), description.value().value_or("")};
             },
             failed);
    each_row(*db_, "select id ,description  from D_Abbreviation  order by id", {id.out(), description.out()},
             [&] {
                 d_.max_abbreviation = std::max(d_.max_abbreviation, id.v);
                 if (description.value()) d_.abbreviations[id.v] = *description.value();
             },
             failed);
    CharColumn class_code;
    IntColumn unit;
    each_row(*db_, "select id ,class ,description ,unit  from D_Comment  order by id",
             {id.out(), class_code.out(), description.out(), unit.out()},
             [&] {
                 d_.max_comment = std::max(d_.max_comment, id.v);
                 if (class_code.value() && description.value() && unit.value())
                     d_.comments[id.v] = ExistingComment{*class_code.value(), *description.value(), *unit.value()};
             },
             failed);
    IntColumn family, row;
    each_row(*db_, "select id ,name ,family  from D_Format  order by id", {id.out(), name.out(), family.out()},
             [&] {
                 d_.max_format = std::max(d_.max_format, id.v);
                 d_.formats[id.v] = ExistingFormat{name.value().value_or(""), family.value().value_or(-1), {}};
             },
             failed);
    TextColumn key_d;
    each_row(*db_, "select id ,row_id ,key_d  from D_Format_Data  order by id ,row_id", {id.out(), row.out(), key_d.out()},
             [&] {
                 auto it = d_.formats.find(id.v);
                 if (it == d_.formats.end()) return;
                 // The generator reads rows 1 to the count; others spoil the entry.
                 if (row.v == static_cast<int>(it->second.keys.size()) + 1 && key_d.value())
                     it->second.keys.push_back(*key_d.value());
                 else
                     it->second.family = -1;
             },
             failed);
}

// Poles and zeros: zeros are rows 1 to nz of type Z, poles nz+1 on of type P.
void ExistingDatabase::load_poles_zeros()
{
    auto failed = [this] { fail("cannot read the dictionaries"); };
    IntColumn id, row;
    CharColumn type;
    RealColumn r_value, r_error, i_value, i_error;
    struct Rows {
        std::vector<std::pair<int, Root>> zeros, poles;
        bool bad = false;
    };
    std::map<int, Rows> pz;
    each_row(*db_, "select key ,type ,row_key ,r_value ,r_error ,i_value ,i_error  from PZ_Data  order by key ,row_key",
             {id.out(), type.out(), row.out(), r_value.out(), r_error.out(), i_value.out(), i_error.out()},
             [&] {
                 Rows &r = pz[id.v];
                 if (!type.value() || (*type.value() != 'Z' && *type.value() != 'P')) return;
                 if (r_value.null() || r_error.null() || i_value.null() || i_error.null()) r.bad = true;
                 Root root{{r_value.v, r_error.v}, {i_value.v, i_error.v}};
                 (*type.value() == 'Z' ? r.zeros : r.poles).emplace_back(row.v, root);
             },
             failed);
    for (auto &[key, r] : pz) {
        d_.max_poles_zeros = std::max(d_.max_poles_zeros, key);
        PolesZeros p;
        bool regular = !r.bad;
        for (std::size_t k = 0; k < r.zeros.size(); ++k) {
            regular = regular && r.zeros[k].first == static_cast<int>(k) + 1;
            p.zeros.push_back(r.zeros[k].second);
        }
        for (std::size_t k = 0; k < r.poles.size(); ++k) {
            regular = regular && r.poles[k].first == static_cast<int>(r.zeros.size() + k) + 1;
            p.poles.push_back(r.poles[k].second);
        }
        d_.poles_zeros[key].value = regular ? std::optional<PolesZeros>(p) : std::nullopt;
    }
}

// Coefficient sets: numerators are rows 1 to n of type N.
void ExistingDatabase::load_coefficient_sets()
{
    auto failed = [this] { fail("cannot read the dictionaries"); };
    IntColumn id, row;
    TextColumn name;
    CharColumn type;
    CharColumn symmetry;
    std::map<int, std::pair<std::optional<std::string>, std::optional<char>>> heads;
    each_row(*db_, "select key ,name ,symmetry  from DC  order by key", {id.out(), name.out(), symmetry.out()},
             [&] { heads[id.v] = {name.value(), symmetry.value()}; }, failed);
    struct SetRows {
        std::vector<double> values;
        bool bad = false;
    };
    std::map<int, SetRows> sets;
    RealColumn coefficient;
    each_row(*db_, "select key ,type ,row_key ,coefficient  from DC_Data  order by key ,row_key",
             {id.out(), type.out(), row.out(), coefficient.out()},
             [&] {
                 SetRows &s = sets[id.v];
                 if (type.value() != 'N' || coefficient.null() || row.v != static_cast<int>(s.values.size()) + 1)
                     s.bad = true;
                 else
                     s.values.push_back(coefficient.v);
             },
             failed);
    for (const auto &[key, head] : heads) d_.max_coefficient_set = std::max(d_.max_coefficient_set, key);
    for (const auto &[key, rows] : sets) d_.max_coefficient_set = std::max(d_.max_coefficient_set, key);
    for (const auto &[key, head] : heads) {
        const SetRows &rows = sets[key];
        if (!head.first || !head.second || rows.bad) {
            d_.coefficient_sets[key].value.reset();
            continue;
        }
        CoefficientSet set;
        set.name = *head.first;
        set.symmetry = *head.second == 'O' ? 'O' : *head.second == 'E' ? 'E' : 'A';
        for (double v : rows.values) set.coefficients.push_back(ValueError{v, 0});
        d_.coefficient_sets[key].value = std::move(set);
    }
}

// Polynomials: coefficients are rows 1 to n.
void ExistingDatabase::load_polynomials()
{
    auto failed = [this] { fail("cannot read the dictionaries"); };
    IntColumn id, row;
    TextColumn name;
    CharColumn poly_type;
    RealColumn lower, upper, max_error, pn_value;
    each_row(*db_, "select key ,name ,poly_type ,lower_bound ,upper_bound ,max_error  from PN  order by key",
             {id.out(), name.out(), poly_type.out(), lower.out(), upper.out(), max_error.out()},
             [&] {
                 d_.max_polynomial = std::max(d_.max_polynomial, id.v);
                 if (!name.value() || !poly_type.value() || lower.null() || upper.null() || max_error.null()) {
                     d_.polynomials[id.v].value.reset();
                     return;
                 }
                 Polynomial p;
                 p.name = *name.value();
                 p.approximation = *poly_type.value();
                 p.lower_bound = lower.v;
                 p.upper_bound = upper.v;
                 p.max_error = max_error.v;
                 d_.polynomials[id.v].value = p;
             },
             failed);
    std::map<int, bool> bad_polynomial;
    each_row(*db_, "select key ,row_key ,pn_value  from PN_Data  order by key ,row_key", {id.out(), row.out(), pn_value.out()},
             [&] {
                 d_.max_polynomial = std::max(d_.max_polynomial, id.v);
                 auto it = d_.polynomials.find(id.v);
                 if (it == d_.polynomials.end() || !it->second.value) return;
                 Polynomial &p = *it->second.value;
                 if (pn_value.null() || row.v != static_cast<int>(p.coefficients.size()) + 1)
                     bad_polynomial[id.v] = true;
                 else
                     p.coefficients.push_back(pn_value.v);
             },
             failed);
    for (const auto &[key, bad] : bad_polynomial)
        if (bad) d_.polynomials[key].value.reset();
}

// Decimations.
void ExistingDatabase::load_decimations()
{
    auto failed = [this] { fail("cannot read the dictionaries"); };
    IntColumn id;
    RealColumn samprate, delay, correction;
    IntColumn factor, offset;
    each_row(*db_, "select key ,samprate ,factor ,offset ,delay ,correction  from DM  order by key",
             {id.out(), samprate.out(), factor.out(), offset.out(), delay.out(), correction.out()},
             [&] {
                 d_.max_decimation = std::max(d_.max_decimation, id.v);
                 if (samprate.null() || !factor.value() || !offset.value() || delay.null() || correction.null()) {
                     d_.decimations[id.v].value.reset();
                     return;
                 }
                 d_.decimations[id.v].value = Decimation{samprate.v, factor.v, offset.v, delay.v, correction.v};
             },
             failed);
}

std::optional<Unit> ExistingDatabase::unit(int id, std::optional<std::string> &unmatched) const
{
    if (id == 0) return std::nullopt;
    auto it = d_.units.find(id);
    if (it != d_.units.end()) return Unit{it->second.name, std::nullopt, {}};
    unmatched = "unit " + std::to_string(id) + ": no D_Unit row";
    return Unit{};
}

namespace {

Instant date_of(const std::optional<std::string> &text, const std::string &where)
{
    std::optional<Instant> t = text ? parse_database_instant(*text) : std::nullopt;
    if (!t) throw Failure("database: " + where + ": date \"" + text.value_or("NULL") + "\" is not YYYY/MM/DD HH24:MI:SS");
    return *t;
}

}  // namespace

std::vector<Comment> ExistingDatabase::comments(std::optional<std::string> &unmatched, const char *sql,
                                                std::initializer_list<const char *> codes, Instant start, Instant end)
{
    std::vector<Comment> out;
    rdb::Cursor cursor;
    IntColumn id;
    TextColumn on, off;
    int status = 0;
    if (codes.size() == 2)
        status = db_->open(cursor, sql, {rdb::in(codes.begin()[0]), rdb::in(codes.begin()[1])});
    else
        status = db_->open(cursor, sql,
                           {rdb::in(codes.begin()[0]), rdb::in(codes.begin()[1]), rdb::in(codes.begin()[2]),
                            rdb::in(codes.begin()[3])});
    if (status < 0) fail("cannot read comments");
    while ((status = db_->fetch(cursor, {id.out(), on.out(), off.out()})) == 0) {
        Instant b = date_of(on.value(), "a comment row"), e = date_of(off.value(), "a comment row");
        if (!overlaps(b, e, start, end)) continue;
        auto it = id.value() ? d_.comments.find(*id.value()) : d_.comments.end();
        if (it == d_.comments.end()) unmatched = "comment " + std::to_string(id.v) + ": no D_Comment row";
        out.push_back(Comment{it == d_.comments.end() ? std::string() : it->second.description, b, e, {}});
    }
    if (status < 0 || db_->close(cursor) < 0) fail("cannot read comments");
    return out;
}

std::vector<StationEpoch> ExistingDatabase::station_epochs(const std::string &network, const std::string &station,
                                                           Instant start, Instant end)
{
    std::vector<StationEpoch> out;
    rdb::Cursor cursor;
    RealColumn lat, lon, elev;
    TextColumn staname, on, off;
    IntColumn net_id;
    if (db_->open(cursor, "select lat ,lon ,elev ,staname ,net_id ,ondate ,offdate  from station_data where (sta=:b0 and net=:b1)",
                  {rdb::in(station.c_str()), rdb::in(network.c_str())}) < 0)
        fail("cannot read station epochs");
    int status;
    while ((status = db_->fetch(cursor, {lat.out(), lon.out(), elev.out(), staname.out(), net_id.out(), on.out(),
                                         off.out()})) == 0) {
        StationEpoch s;
        s.network = network;
        s.station = station;
        s.start = date_of(on.value(), "station_data row of " + station + "." + network);
        s.end = date_of(off.value(), "station_data row of " + station + "." + network);
        if (!overlaps(s.start, s.end, start, end)) continue;
        s.latitude = lat.value();
        s.longitude = lon.value();
        s.elevation = elev.value();
        s.site = staname.value().value_or("");
        if (!staname.value()) s.unmatched = "staname NULL";
        if (net_id.value() && *net_id.value() != 0) {
            auto it = d_.abbreviations.find(*net_id.value());
            if (it == d_.abbreviations.end())
                s.unmatched = "net_id " + std::to_string(net_id.v) + ": no D_Abbreviation row";
            s.network_description = it == d_.abbreviations.end() ? std::string() : it->second;
        }
        out.push_back(std::move(s));
    }
    if (status < 0 || db_->close(cursor) < 0) fail("cannot read station epochs");
    for (StationEpoch &s : out)
        s.comments = comments(s.unmatched, "select comment_id ,ondate ,offdate  from Station_Comment where (sta=:b0 and net=:b1)",
                              {station.c_str(), network.c_str()}, s.start, s.end);
    return out;
}

std::vector<ChannelEpoch> ExistingDatabase::channel_epochs(const ChannelEpoch &c)
{
    const std::string location = c.location.empty() ? "  " : c.location;
    std::vector<ChannelEpoch> out;
    rdb::Cursor cursor;
    TextColumn on, off, remark, flags;
    IntColumn inid, unit_signal, unit_calib;
    RealColumn lat, lon, elev, depth, azimuth, dip, rate, drift;
    if (db_->open(cursor,
                  "select ondate ,offdate ,inid ,remark ,unit_signal ,unit_calib ,lat ,lon ,elev ,edepth ,azimuth ,dip ,samprate ,clock_drift ,flags  from channel_data where (((sta=:b0 and net=:b1) and seedchan=:b2) and location=:b3)",
                  {rdb::in(c.station.c_str()), rdb::in(c.network.c_str()), rdb::in(c.channel.c_str()),
                   rdb::in(location.c_str())}) < 0)
        fail("cannot read channel epochs");
    int status;
    while ((status = db_->fetch(cursor, {on.out(), off.out(), inid.out(), remark.out(), unit_signal.out(),
                                         unit_calib.out(), lat.out(), lon.out(), elev.out(), depth.out(),
                                         azimuth.out(), dip.out(), rate.out(), drift.out(), flags.out()})) == 0) {
        ChannelEpoch e;
        e.network = c.network;
        e.station = c.station;
        e.location = c.location;
        e.channel = c.channel;
        e.start = date_of(on.value(), "channel_data row of " + c.codes());
        e.end = date_of(off.value(), "channel_data row of " + c.codes());
        if (!overlaps(e.start, e.end, c.start, c.end)) continue;
        e.latitude = lat.value();
        e.longitude = lon.value();
        e.elevation = elev.value();
        e.depth = depth.value();
        e.azimuth = azimuth.value();
        e.dip = dip.value();
        e.sample_rate = rate.value();
        e.clock_drift = drift.value();
        e.flags = flags.value().value_or("");
        e.remark = remark.value().value_or("");
        if (!flags.value()) e.unmatched = "flags NULL";
        if (!remark.value()) e.unmatched = "remark NULL";
        if (inid.value() && *inid.value() != 0) {
            auto it = d_.abbreviations.find(*inid.value());
            if (it == d_.abbreviations.end())
                e.unmatched = "inid " + std::to_string(inid.v) + ": no D_Abbreviation row";
            e.sensor = it == d_.abbreviations.end() ? std::string() : it->second;
        }
        e.signal = unit(unit_signal.value().value_or(0), e.unmatched);
        e.calibration = unit(unit_calib.value().value_or(0), e.unmatched);
        out.push_back(std::move(e));
    }
    if (status < 0 || db_->close(cursor) < 0) fail("cannot read channel epochs");
    for (ChannelEpoch &e : out) {
        e.comments = comments(
            e.unmatched, "select comment_id ,ondate ,offdate  from Channel_Comment where (((sta=:b0 and net=:b1) and seedchan=:b2) and location=:b3)",
            {c.station.c_str(), c.network.c_str(), c.channel.c_str(), location.c_str()}, e.start, e.end);
        stages(e, location);
    }
    return out;
}

// The stages of one channel epoch as its rows build them: a stage per
// number, and a second filter row for one stage as a stage of its own that
// no document's stage equals.
struct ExistingDatabase::StageSet {
    ChannelEpoch &epoch;
    std::string location, date;
    rdb::Database &db;
    std::function<void()> failed;
    std::map<int, Stage> stages;
    std::vector<Stage> extra;

    // Every row of one of the stage tables for the epoch at its start.
    void rows(const char *sql, rdb::Outputs outputs, const std::function<void()> &row)
    {
        rdb::Cursor cursor;
        if (db.open(cursor, sql,
                    {rdb::in(epoch.station.c_str()), rdb::in(epoch.network.c_str()), rdb::in(epoch.channel.c_str()),
                     rdb::in(location.c_str()), rdb::in_date(date.c_str())}) < 0)
            failed();
        int status;
        while ((status = db.fetch(cursor, outputs)) == 0) row();
        if (status < 0 || db.close(cursor) < 0) failed();
    }

    Stage &stage(int number)
    {
        Stage &s = stages[number];
        s.number = number;
        return s;
    }
    Stage &add_filter(int number, Stage::Kind kind)
    {
        Stage &s = stage(number);
        if (s.kind != Stage::Kind::gain_only) {
            extra.push_back(Stage{});
            extra.back().number = number;
            extra.back().kind = kind;
            return extra.back();
        }
        s.kind = kind;
        return s;
    }
};

// The stage rows the generator reads when it runs at the epoch's start.
void ExistingDatabase::stages(ChannelEpoch &e, const std::string &location)
{
    StageSet set{e, location, database_date(e.start), *db_, [&] { fail("cannot read the stages of " + e.codes()); }, {}, {}};
    poles_zeros_stages(set);
    coefficient_stages(set);
    polynomial_stages(set);
    decimation_stages(set);
    gain_stages(set);
    for (auto &[number, s] : set.stages) e.stages.push_back(std::move(s));
    for (Stage &s : set.extra) e.stages.push_back(std::move(s));
}

void ExistingDatabase::poles_zeros_stages(StageSet &set)
{
    ChannelEpoch &e = set.epoch;
    IntColumn seq, key, unit_in, unit_out;
    CharColumn tf;
    RealColumn a0, af;
    set.rows("select stage_seq ,pz_key ,tf_type ,unit_in ,unit_out ,AO ,AF  from Poles_Zeros where ((((sta=:b0 and net=:b1) and seedchan=:b2) and location=:b3) and :b4 between ondate and offdate)",
         {seq.out(), key.out(), tf.out(), unit_in.out(), unit_out.out(), a0.out(), af.out()}, [&] {
             if (seq.v < 1) return;
             Stage &s = set.add_filter(seq.v, Stage::Kind::poles_zeros);
             s.input = unit(unit_in.value().value_or(-1), e.unmatched);
             s.output = unit(unit_out.value().value_or(-1), e.unmatched);
             auto it = key.value() ? d_.poles_zeros.find(*key.value()) : d_.poles_zeros.end();
             if (it != d_.poles_zeros.end() && it->second.value)
                 s.poles_zeros = *it->second.value;
             else
                 s.poles_zeros.zeros.push_back(Root{{null_real, 0}, {null_real, 0}});
             s.poles_zeros.transfer = tf.value().value_or('?');
             s.poles_zeros.normalization = a0.value();
             s.poles_zeros.frequency = af.value();
         });
}

void ExistingDatabase::coefficient_stages(StageSet &set)
{
    ChannelEpoch &e = set.epoch;
    IntColumn seq, key, unit_in, unit_out;
    set.rows("select stage_seq ,dc_key ,unit_in ,unit_out  from Coefficients where ((((sta=:b0 and net=:b1) and seedchan=:b2) and location=:b3) and :b4 between ondate and offdate)",
         {seq.out(), key.out(), unit_in.out(), unit_out.out()}, [&] {
             if (seq.v < 1) return;
             Stage &s = set.add_filter(seq.v, Stage::Kind::coefficients);
             s.input = unit(unit_in.value().value_or(-1), e.unmatched);
             s.output = unit(unit_out.value().value_or(-1), e.unmatched);
             if (!key.value()) return;
             auto it = d_.coefficient_sets.find(*key.value());
             if (it != d_.coefficient_sets.end() && it->second.value)
                 s.coefficients = *it->second.value;
             else
                 e.unmatched = "coefficient set " + std::to_string(*key.value()) + ": no regular DC rows";
         });
}

void ExistingDatabase::polynomial_stages(StageSet &set)
{
    ChannelEpoch &e = set.epoch;
    IntColumn seq, key, unit_in, unit_out;
    set.rows("select stage_seq ,pn_key ,unit_in ,unit_out  from Polynomial where ((((sta=:b0 and net=:b1) and seedchan=:b2) and location=:b3) and :b4 between ondate and offdate)",
         {seq.out(), key.out(), unit_in.out(), unit_out.out()}, [&] {
             if (seq.v < 1) return;
             Stage &s = set.add_filter(seq.v, Stage::Kind::polynomial);
             s.input = unit(unit_in.value().value_or(-1), e.unmatched);
             s.output = unit(unit_out.value().value_or(-1), e.unmatched);
             auto it = key.value() ? d_.polynomials.find(*key.value()) : d_.polynomials.end();
             if (it != d_.polynomials.end() && it->second.value)
                 s.polynomial = *it->second.value;
             else
                 s.polynomial.approximation = '?';
         });
}

void ExistingDatabase::decimation_stages(StageSet &set)
{
    IntColumn seq, key;
    set.rows("select stage_seq ,dm_key  from Decimation where ((((sta=:b0 and net=:b1) and seedchan=:b2) and location=:b3) and :b4 between ondate and offdate)",
         {seq.out(), key.out()}, [&] {
             if (seq.v < 1) return;
             Stage &s = set.stage(seq.v);
             auto it = key.value() ? d_.decimations.find(*key.value()) : d_.decimations.end();
             Decimation d{null_real, 0, 0, 0, 0};
             if (it != d_.decimations.end() && it->second.value) d = *it->second.value;
             if (s.decimation) d.input_rate = null_real;  // two rows: never equal
             s.decimation = d;
         });
}

// Stage gains and the stage-0 sensitivity; a second row for one stage is
// never equal.
void ExistingDatabase::gain_stages(StageSet &set)
{
    IntColumn seq;
    RealColumn value, frequency;
    set.rows("select stage_seq ,sensitivity ,frequency  from Sensitivity where ((((sta=:b0 and net=:b1) and seedchan=:b2) and location=:b3) and :b4 between ondate and offdate)",
         {seq.out(), value.out(), frequency.out()}, [&] {
             if (seq.v < 0) return;
             Gain g{value.value(), frequency.value()};
             std::optional<Gain> &target = seq.v == 0 ? set.epoch.sensitivity : set.stage(seq.v).gain;
             if (target) g.value = null_real;
             target = g;
         });
}

}  // namespace importer
