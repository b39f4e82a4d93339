// The generator's state: every host variable of a run in one place.
//
// The steps of a run share these variables the way the statements fill them,
// and some of that sharing is visible in the output: a NULL fetched with the
// indicator keeps the value the variable held before (possibly from an
// earlier row, channel or blockette kind), and the channel's sample rate is
// overwritten by every decimation read. Keeping one struct, passed by
// reference to every step, keeps that behaviour explicit.
#pragma once

#include <cstdint>
#include <cstdio>
#include <string>

#include "common/db/session.hpp"

namespace quorvex {

class TreeSink;
struct RunCache;

// One run's state: made anew for every run, over a connection and a tree
// that outlive it.
struct Quorvex {
    Quorvex(rdb::Sql &connection, TreeSink &tree, std::FILE *progress_lines)
        : sql(connection), sink(tree), progress(progress_lines)
    {
    }

    rdb::Sql &sql;
    TreeSink &sink;
    std::FILE *progress;  // where the progress lines go; nullptr: nowhere
    RunCache *cache = nullptr;  // what earlier runs over the connection read; nullptr: none
    rdb::Indicator ind = 0;  // shared by every nullable output

    // Run parameters
    char sta2[7] = "";
    char net2[9] = "";
    char cha[7] = "";
    char date[32] = "";    // run date "YYYY/MM/DD HH24:MI:SS"
    char lddate[32] = "";  // load date: only its emptiness is used
    std::string root;      // root of the header tree
    int lookup = 0;        // USE_LOOKUP present
    int abpoly = 0;        // USE_ABPOLY present
    char mode = 'a';
    int first_match = 0;

    // Channel row (channel_data)
    char sta[7] = "";
    char net[9] = "";
    char seedchan[4] = "";
    char channel[4] = "";
    char channelsrc[9] = "";
    char location[3] = "";      // bound, printed and written: two blanks when blank
    char location_dir[3] = "";  // trimmed, for the channel directory's name
    std::int32_t inid = 0;
    char remark[31] = "";
    std::int32_t unit_signal = 0;
    std::int32_t unit_calib = 0;
    float lat = 0, lon = 0, elev = 0, edepth = 0, azimuth = 0, dip = 0;
    std::int32_t format_id = 0;
    std::int32_t record_length = 0;
    float samprate = 0;  // also DM.samprate: the last decimation's input rate
    float clock_drift = 0;
    char flags[28] = "";
    char ondate[32] = "";
    char offdate[32] = "";

    // Station record (station_data) and comments
    float slat = 0, slon = 0, selev = 0;
    char staname[51] = "";
    std::int32_t net_id = 0;
    std::int32_t word_32 = 0;
    std::int32_t word_16 = 0;
    char sta_ondate[32] = "";   // station start date, apart from the channel's
    char sta_offdate[32] = "";  // station end date
    std::int32_t nb_cmt = 0;
    std::int32_t comment_id = 0;
    std::int32_t comment_level = 0;
    char on_date[32] = "";   // SEED times made by Convert_Date
    char off_date[32] = "";

    // Dictionary tables
    std::int32_t id = 0;
    char name[81] = "";
    std::int32_t family = 0;
    std::int32_t nb_keys = 0;
    char key_d[81] = "";
    std::int32_t i = 0;  // decoder key counter, then stage number
    char class_ = ' ';   // D_Comment.class
    char description[71] = "";  // shared by blockettes 31, 33 and 34
    std::int32_t unit = 0;

    // Coefficient sets (DC, DC_Data)
    std::int32_t dc_key = 0;
    char rname[81] = "";
    char symmetry = ' ';  // DC.symmetry, then its SEED code
    std::int32_t nb_num = 0;
    float coeff = 0;
    std::int32_t j = 0;  // row counter of coefficients, zeros and poles
    std::int32_t unit_in = 0;
    std::int32_t unit_out = 0;

    // Polynomials (PN, PN_Data)
    std::int32_t pn_key = 0;
    char pname[81] = "";
    char poly_type = ' ';
    float lower_bound = 0, upper_bound = 0, max_error = 0;
    std::int32_t nb_coeff = 0;
    float pn_value = 0;

    // Poles and zeros (Poles_Zeros, PZ_Data)
    std::int32_t pz_key = 0;
    char tf_type = ' ';
    float AO = 0, AF = 0;
    std::int32_t nb_zeros = 0, nb_poles = 0;
    float r_value = 0, i_value = 0, r_error = 0, i_error = 0;

    // Decimation (Decimation, DM)
    std::int32_t dm_key = 0;
    std::int32_t factor = 0;
    std::int32_t offset = 0;
    float delay = 0, correction = 0;

    // Sensitivity
    float sensitivity = 0, frequency = 0;
};

// A progress line (printf format) of the run, as the generator prints it.
void say(const Quorvex &q, const char *format, ...) __attribute__((format(printf, 2, 3)));

// Where a record's values come from, for messages: "HILL.XY.BHZ.  " (the
// codes as the progress lines print them), and with " stage N".
std::string channel_row(const Quorvex &q);
std::string stage_row(const Quorvex &q);

}  // namespace quorvex
