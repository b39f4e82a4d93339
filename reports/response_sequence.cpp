#include "reports/response_sequence.hpp"

#include <cstdio>

namespace reports {
namespace {

// Every line of the report starts with a newline and the caller's indent.
void start_line(const char *indent) { std::printf("\n%s", indent); }

// A high-pass or low-pass stage: sql reads it, label names it.
void print_pass_filter(rdb::Sql &sql, ResponseBuffers &r, const char *indent, const char *sql_text,
                       const char *label)
{
    if (sql.select(sql_text, {rdb::in(r.resp_id)},
                   {rdb::out(r.filter_type), rdb::out(r.nb_pole), rdb::out(r.corner_freq),
                    rdb::out(r.damping_value)}) == rdb::no_data)
        return;
    start_line(indent);
    std::printf(" %s filter: Type: %s -- Nb. Pole: %d -- Corner Freq: %5.2f -- Damping: %5.2f", label,
                r.filter_type, r.nb_pole, r.corner_freq, r.damping_value);
}

void print_poles_zeros(rdb::Sql &sql, ResponseBuffers &r, const char *indent)
{
    sql.for_each_row("select type ,r_value ,i_value  from response_pz where pz_id=:b0 order by pz_nb",
                     {rdb::in(r.resp_id)}, {rdb::out(r.type), rdb::out(r.r_value), rdb::out(r.i_value)}, [&] {
                         start_line(indent);
                         std::printf(" Type: %c -- Real: %5.2f -- Imag: %5.2f", r.type, r.r_value, r.i_value);
                     });
}

void print_polynomial(rdb::Sql &sql, ResponseBuffers &r, const char *indent)
{
    if (sql.select("select poly_type ,lower_bound ,upper_bound ,max_error ,nb_coeff into :b0,:b1,:b2,:b3,:b4  from response_pn where pn_id=:b5",
                   {rdb::in(r.resp_id)},
                   {rdb::out(r.poly_type), rdb::out(r.lower_bound), rdb::out(r.upper_bound),
                    rdb::out(r.max_error), rdb::out(r.nb_coeff)}) == rdb::no_data)
        return;
    start_line(indent);
    std::printf(" Polynomial: Type: %c -- Lower: %5.2f -- Upper: %5.2f -- Max. Error: %5.2f -- Nb Coeff: %d",
                r.poly_type, r.lower_bound, r.upper_bound, r.max_error, r.nb_coeff);

    sql.for_each_row("select pn_nb ,pn_value  from response_pn_data where pn_id=:b0 order by pn_nb",
                     {rdb::in(r.resp_id)}, {rdb::out(r.pn_nb), rdb::out(r.pn_value)}, [&] {
                         start_line(indent);
                         std::printf(" Coeff: %d -- Value: %5.2f", r.pn_nb, r.pn_value);
                     });
}

void print_detail(rdb::Sql &sql, ResponseBuffers &r, const char *indent, bool with_fir)
{
    switch (r.resp_type) {
    case 'H':
        print_pass_filter(sql, r, indent,
                          "select filter_type ,nb_pole ,corner_freq ,damping_value into :b0,:b1,:b2,:b3  from response_hp where hp_id=:b4",
                          "High-Pass");
        return;
    case 'L':
        print_pass_filter(sql, r, indent,
                          "select filter_type ,nb_pole ,corner_freq ,damping_value into :b0,:b1,:b2,:b3  from response_lp where lp_id=:b4",
                          "Low-Pass");
        return;
    case 'Z':
        print_poles_zeros(sql, r, indent);
        return;
    case 'P':
        print_polynomial(sql, r, indent);
        return;
    case 'F':
        if (!with_fir) return;
        if (sql.select("select name ,symmetry ,gain into :b0,:b1,:b2  from filter_fir where fir_id=:b3",
                       {rdb::in(r.resp_id)}, {rdb::out(r.name), rdb::out(r.symmetry), rdb::out(r.gain)}) ==
            rdb::no_data)
            return;
        start_line(indent);
        std::printf(" FIR Filter: %.12s -- Symmetry: %c -- Gain: %11.9f", r.name, r.symmetry, r.gain);
        return;
    default:
        return;  // no detail table: the stage line is all there is
    }
}

}  // namespace

void print_response_sequence(rdb::Sql &sql, ResponseBuffers &r, std::int32_t seqresp_id,
                             const char *indent, int unit_width, bool with_fir)
{
    sql.for_each_row(
        "select resp_nb ,resp_type ,resp_id ,unit_in ,unit_out ,r_type  from response where seqresp_id=:b0 order by resp_nb",
        {rdb::in(seqresp_id)},
        {rdb::out(r.resp_nb), rdb::out(r.resp_type), rdb::out(r.resp_id), rdb::out(r.unit_in),
         rdb::out(r.unit_out), rdb::out(r.r_type)},
        [&] {
            // A unit without a name ends the sequence here, without a word.
            if (sql.select("select name into :b0  from D_Unit where id=:b1", {rdb::in(r.unit_in)},
                           {rdb::out(r.unitin)}) == rdb::no_data)
                return false;
            if (sql.select("select name into :b0  from D_Unit where id=:b1", {rdb::in(r.unit_out)},
                           {rdb::out(r.unitout)}) == rdb::no_data)
                return false;

            start_line(indent);
            if (unit_width == 16)
                std::printf(" Type: %c -- In: %.16s Out: %.16s", r.r_type, r.unitin, r.unitout);
            else
                std::printf(" Type: %c -- In: %.12s Out: %.12s", r.r_type, r.unitin, r.unitout);
            print_detail(sql, r, indent, with_fir);
            return true;
        });
}

}  // namespace reports
