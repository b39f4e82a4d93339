// selkam: prints one filter sequence with every filter and the filter's
// response sequence, FIR stages included.
#include <cstdint>
#include <cstdio>
#include <memory>

#include "reports/response_sequence.hpp"
#include "common/cli/standard_output.hpp"
#include "common/cli/text_util.hpp"

namespace {

// Every host variable of a run. No fetch here uses an indicator: a NULL in
// any column read is a database error.
struct Selkam {
    rdb::Sql sql;

    char name[33] = "";    // the sequence name, upper case
    char lddate[32] = "";  // only its emptiness is used
    std::int32_t seqfil_id = 0;
    std::int32_t nb_filter = 0;
    float gain = 0;       // the sequence's, then each filter's
    float frequency = 0;  // likewise
    std::int32_t filter_id = 0;
    float in_sp_rate = 0;
    float out_sp_rate = 0;
    std::int32_t offset = 0;
    float delay = 0;
    float correction = 0;
    std::int32_t seqresp_id = 0;
    std::int32_t i = 0;  // filter number

    reports::ResponseBuffers resp;
};

// One filter of the sequence. A number without its row, or a filter_id
// without its filter, is said so rather than printed with the previous
// filter's values.
void print_filter(Selkam &s)
{
    std::printf("\n\n\t Filter %d:", s.i);
    std::printf("\n\t ---------\n");

    if (s.sql.select("select filter_id into :b0  from filter_sequence_data where (seqfil_id=:b1 and filter_nb=:b2)",
                     {rdb::in(s.seqfil_id), rdb::in(s.i)}, {rdb::out(s.filter_id)}) == rdb::no_data ||
        s.sql.select("select gain ,frequency ,in_sp_rate ,out_sp_rate ,offset ,delay ,correction ,seqresp_id into :b0,:b1,:b2,:b3,:b4,:b5,:b6,:b7  from filter where filter_id=:b8",
                     {rdb::in(s.filter_id)},
                     {rdb::out(s.gain), rdb::out(s.frequency), rdb::out(s.in_sp_rate), rdb::out(s.out_sp_rate),
                      rdb::out(s.offset), rdb::out(s.delay), rdb::out(s.correction),
                      rdb::out(s.seqresp_id)}) == rdb::no_data) {
        std::printf("\n\t\t This filter is missing from the database.");
        return;
    }

    std::printf("\n\t\t Gain: %11.9f Freq: %5.2f -- In: %5.2f Hz Out: %5.2f Hz\n\t\t Offset: %d Delay: %5.2f Corr: %5.2f",
                s.gain, s.frequency, s.in_sp_rate, s.out_sp_rate, s.offset, s.delay, s.correction);
    reports::print_response_sequence(s.sql, s.resp, s.seqresp_id, reports::three_tabs, 16, true);
}

// Connects, prints the sequence and disconnects.
int report(Selkam &s)
{
    s.sql.connect();

    // No row leaves lddate empty.
    s.lddate[0] = '\0';
    s.sql.select("select seqfil_id ,nb_filter ,gain ,frequency ,lddate into :b0,:b1,:b2,:b3,:b4  from filter_sequence where name=:b5",
                 {rdb::in(s.name)},
                 {rdb::out(s.seqfil_id), rdb::out(s.nb_filter), rdb::out(s.gain), rdb::out(s.frequency),
                  rdb::out(s.lddate)});
    if (s.lddate[0] == '\0')
        s.sql.stop(rdb::Sql::Release::rollback, "\n Sorry, this filter sequence is not in the database.\n\n");

    std::printf("\n Nb Filter: %d -- Gain: %11.9f -- Frequency: %5.2f", s.nb_filter, s.gain, s.frequency);
    for (s.i = 1; s.i <= s.nb_filter; ++s.i) print_filter(s);

    std::printf("\n\n");
    std::printf("\n Disconnecting from ORACLE ...\n\n");
    s.sql.commit_release();
    return 0;
}

int run(int argc, char **argv)
{
    if (argc != 2) {
        std::printf("\n\n selkam <Filter sequence name>\n\n");
        return 0;
    }

    auto state = std::make_unique<Selkam>();
    Selkam &s = *state;

    // Names are stored in upper case; a cut name could find another sequence.
    if (!rdb::copy_text(s.name, argv[1])) {
        std::printf("\n Error: Filter sequence name longer than %zu characters.\n\n", sizeof s.name - 1);
        return 1;
    }
    rdb::upper_case(s.name);

    try {
        return report(s);
    } catch (const rdb::RunEnd &end) {
        return s.sql.end(end);
    }
}

}  // namespace

int main(int argc, char **argv) { return rdb::finish_standard_output("selkam", run(argc, argv)); }
