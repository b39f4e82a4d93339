// seedtree response, resp and plot end to end. Responses of the demo
// channels, of channels with long FIR cascades and of a channel with every
// kind of response blockette agree with tests/readers/seed_response_curve.py
// (written from the SEED definitions, sharing nothing with the C++);
// dictionary references give the same responses as plain trees; RESP files
// read back by tests/readers/resp_file.py give the tree's values; plots are
// real pictures with the codes as text.
#include <gtest/gtest.h>

#include <sys/wait.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <sstream>

#include "tests/support/harness.hpp"

using harness::Env;
using harness::run;

namespace {

namespace fs = std::filesystem;

using harness::lines_of;

bool have_python() { return std::system("python3 -c '' >/dev/null 2>&1") == 0; }

// Runs a reader of tests/readers with standard input from a file (or none).
std::string reader(const std::string &script, const std::string &args, const std::string &input,
                   const harness::TempDir &scratch)
{
    std::string out = scratch / "reader.out", err = scratch / "reader.err";
    std::string command = "python3 " + std::string(READERS_DIR) + "/" + script + " " + args +
                          (input.empty() ? "" : " <" + input) + " >" + out + " 2>" + err;
    int status = std::system(command.c_str());
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << command << "\n" << harness::read_file(err);
    return harness::read_file(out);
}

struct Agreement {
    std::size_t points = 0;
    double amplitude = 0;  // largest relative difference
    double phase = 0;      // largest difference in degrees
};

// seedtree's lines against the reader's, header for header and frequency
// for frequency.
Agreement compare(const std::string &ours, const std::string &theirs)
{
    Agreement a;
    auto x = lines_of(ours), y = lines_of(theirs);
    EXPECT_EQ(x.size(), y.size());
    for (std::size_t i = 0; i < x.size() && i < y.size(); ++i) {
        if (x[i][0] == '#') {
            EXPECT_EQ(x[i], y[i]);
            continue;
        }
        double f1, a1, p1, f2, a2, p2;
        if (std::sscanf(x[i].c_str(), "%lf %lf %lf", &f1, &a1, &p1) != 3 ||
            std::sscanf(y[i].c_str(), "%lf %lf %lf", &f2, &a2, &p2) != 3) {
            ADD_FAILURE() << "not a frequency line: " << x[i] << " | " << y[i];
            continue;
        }
        EXPECT_EQ(f1, f2);
        double d = std::fmod(std::fabs(p1 - p2), 360.0);
        a.amplitude = std::max(a.amplitude, std::fabs(a1 - a2) / a2);
        a.phase = std::max(a.phase, std::min(d, 360 - d));
        ++a.points;
    }
    return a;
}

// Lines of the responses without the polynomial notes, whose bounds the
// generator writes differently in 62 and 42.
std::string without_notes(const std::string &text)
{
    std::string out;
    for (const auto &l : lines_of(text))
        if (l.compare(0, 8, "# stage ") != 0 || l.find(" polynomial ") == std::string::npos) out += l + "\n";
    return out;
}

// Long FIR cascades on BHE: stages 3, 4, 5 become FIRs of 1,500 taps
// (symmetry A), 1,500 (E: 750 stored) and 1,501 (O: 751 stored), each
// continued over several blockettes.
std::string long_fir_sql()
{
    std::string sql = "INSERT INTO DC (key, name, symmetry) VALUES (104, 'FIR.LONG.A', 'A'), (105, 'FIR.LONG.E', 'E'), "
                      "(106, 'FIR.LONG.O', 'O');\n";
    auto add = [&sql](int key, int stored, int total, auto weight) {
        double sum = 0;
        for (int k = 0; k < total; ++k) sum += weight(k < stored ? k : total - 1 - k);
        sql += "INSERT INTO DC_Data (key, type, row_key, coefficient, error) VALUES\n";
        char row[128];
        for (int k = 0; k < stored; ++k) {
            std::snprintf(row, sizeof row, " (%d, 'N', %d, %.9e, 0)%s\n", key, k + 1, weight(k) / sum,
                          k + 1 < stored ? "," : ";");
            sql += row;
        }
    };
    add(104, 1500, 1500, [](int k) { return 1.0 + (k * 7919 % 1000) / 2000.0; });
    add(105, 750, 1500, [](int k) { return 1.0 + std::sin(0.01 * k); });
    add(106, 751, 1501, [](int k) { return 2.0 + std::cos(0.003 * k * k); });
    for (int stage = 3; stage <= 5; ++stage)
        sql += "UPDATE Coefficients SET dc_key = " + std::to_string(101 + stage) +
               " WHERE seedchan = 'BHE' AND stage_seq = " + std::to_string(stage) + ";\n";
    return sql;
}

class SeedtreeResponse : public ::testing::Test {
protected:
    static void SetUpTestSuite()
    {
        demo = new harness::TestDatabase({harness::demo_sql()});
        long_fir = new harness::TestDatabase({harness::demo_sql(), long_fir_sql()});
    }
    static void TearDownTestSuite()
    {
        delete demo;
        delete long_fir;
    }

    // Both station epochs, every channel: the barometer LDO too.
    std::string make_tree(const harness::TestDatabase &db, const Env &flags, const std::string &name)
    {
        Env env = flags;
        env.emplace("RESPONSE_DB", db.alias());
        env.emplace("DATA_ROOT", dir / name);
        for (const char *day : {"2000/01/01", "2004/01/01"}) {
            auto r = run("Quorvex", {"HILL.XY", day, "00:00:00", "a"}, env, dir.path());
            EXPECT_EQ(r.status, 0) << r.out;
        }
        return dir / name;
    }

    // seedtree response with args against the reader at the same frequencies.
    Agreement agree(const std::string &root, const std::vector<std::string> &args, std::string *output = nullptr)
    {
        std::vector<std::string> all = {"response", root};
        all.insert(all.end(), args.begin(), args.end());
        auto r = run("seedtree", all, {});
        EXPECT_EQ(r.status, 0) << r.err;
        harness::write_file(dir / "response.out", r.out);
        bool corrected = std::find(args.begin(), args.end(), "--correct-delay") != args.end();
        Agreement a = compare(r.out, reader("seed_response_curve.py", (corrected ? "curve --correct-delay " : "curve ") + root,
                                            dir / "response.out", dir));
        if (output) *output = r.out;
        return a;
    }

    static harness::TestDatabase *demo, *long_fir;
    harness::TempDir dir;
};
harness::TestDatabase *SeedtreeResponse::demo = nullptr;
harness::TestDatabase *SeedtreeResponse::long_fir = nullptr;

TEST_F(SeedtreeResponse, ResponsesAgreeWithIndependentEvaluation)
{
    if (!have_python()) GTEST_SKIP() << "no python3 for the reader";
    Agreement worst;
    for (auto *db : {demo, long_fir}) {
        std::string plain_out, lookup_out;
        std::string plain = make_tree(*db, {}, db == demo ? "demo" : "long");
        std::string lookup = make_tree(*db, {{"USE_LOOKUP", ""}, {"USE_ABPOLY", ""}}, db == demo ? "demo-lookup" : "long-lookup");
        for (const auto &[root, out] : {std::pair{plain, &plain_out}, std::pair{lookup, &lookup_out}}) {
            SCOPED_TRACE(root);
            // 6 channel epochs, 50 frequencies each up to each Nyquist frequency.
            Agreement a = agree(root, {"--points", "50"}, out);
            EXPECT_EQ(a.points, 6u * 50u);
            // evalresp's phase: the long FIRs of symmetry A advanced by their corrections (none
            // here), those of B and C about their centres.
            Agreement c = agree(root, {"--points", "50", "--correct-delay"});
            EXPECT_EQ(c.points, 6u * 50u);
            a.amplitude = std::max(a.amplitude, c.amplitude);
            a.phase = std::max(a.phase, c.phase);
            for (const char *stage : {"1", "3", "5"}) {
                Agreement s = agree(root, {"--points", "50", "--stage", stage, "--channel", "HILL.XY..BHE"});
                EXPECT_EQ(s.points, 50u);
                a.amplitude = std::max(a.amplitude, s.amplitude);
                a.phase = std::max(a.phase, s.phase);
            }
            worst.points += a.points;
            worst.amplitude = std::max(worst.amplitude, a.amplitude);
            worst.phase = std::max(worst.phase, a.phase);
        }
        EXPECT_EQ(without_notes(lookup_out), without_notes(plain_out));
    }
    std::printf("agreement over %zu points: amplitude %.3g relative, phase %.3g degrees\n", worst.points,
                worst.amplitude, worst.phase);
    EXPECT_LE(worst.amplitude, 1e-6);
    EXPECT_LE(worst.phase, 1e-4);
}

// Blockette lines with SEED's field widths and a right length field.
std::string framed(const char *type, const std::string &body)
{
    char head[32];
    std::snprintf(head, sizeof head, "%s%04zu", type, body.size() + 7);
    return head + body;
}

std::string fields(const char *format, std::initializer_list<double> values)
{
    std::string out;
    char text[32];
    for (double v : values) {
        std::snprintf(text, sizeof text, format, v);
        out += text;
    }
    return out;
}

std::string b53(char type, int stage, int in, int out, double a0, std::initializer_list<double> zeros,
                std::initializer_list<double> poles)
{
    char head[64];
    std::snprintf(head, sizeof head, "%c%02d%03d%03d", type, stage, in, out);
    std::string body = head + fields("%12.5E", {a0, 1.0});
    char n[32];
    std::snprintf(n, sizeof n, "%03zu", zeros.size() / 2);
    body += n;
    for (auto z = zeros.begin(); z != zeros.end(); z += 2) body += fields("%12.5E", {z[0], z[1], 0.0, 0.0});
    std::snprintf(n, sizeof n, "%03zu", poles.size() / 2);
    body += n;
    for (auto p = poles.begin(); p != poles.end(); p += 2) body += fields("%12.5E", {p[0], p[1], 0.0, 0.0});
    return framed("053", body);
}

std::string b54(char type, int stage, int in, int out, std::initializer_list<double> numerators,
                std::initializer_list<double> denominators)
{
    char head[64];
    std::snprintf(head, sizeof head, "%c%02d%03d%03d%04zu", type, stage, in, out, numerators.size());
    std::string body = head;
    for (double v : numerators) body += fields("%12.5E", {v, 0.0});
    std::snprintf(head, sizeof head, "%04zu", denominators.size());
    body += head;
    for (double v : denominators) body += fields("%12.5E", {v, 0.0});
    return framed("054", body);
}

std::string b57(int stage, double rate, int factor, double correction = 0)
{
    char body[64];
    std::snprintf(body, sizeof body, "%02d%10.4E%05d00000%11.4E%11.4E", stage, rate, factor, correction, correction);
    return framed("057", body);
}

std::string b58(int stage, double gain)
{
    char body[64];
    std::snprintf(body, sizeof body, "%02d%12.5E%12.5E00", stage, gain, 1.0);
    return framed("058", body);
}

// One channel with every kind of response: 53 in Hz (B), 54 analog (A),
// 53 digital (D), 54 digital with a denominator, and a FIR stored whole.
TEST_F(SeedtreeResponse, EveryKindOfBlocketteAgrees)
{
    if (!have_python()) GTEST_SKIP() << "no python3 for the reader";
    std::string root = make_tree(*demo, {}, "kinds");
    std::string b052 = harness::read_file(root + "/HILL.XY/LHZ.00/B052");
    std::string head = lines_of(b052).front();
    head.replace(head.find("00LHZ"), 5, "00HHZ");
    head.replace(head.find("1.0000E+001.0000E-040001"), 24, "1.0000E+021.0000E-040000");
    std::string fir = framed("061", "05FIR_SKEW~A0010010007" + fields("%14.7E", {0.1, 0.2, 0.3, 0.2, 0.1, 0.05, 0.05}));
    std::string lines = head + "\n" + b53('B', 1, 2, 3, 2.0, {0, 0}, {-0.02, 0.03, -0.02, -0.03}) + "\n" +
                        b58(1, 100) + "\n" + b54('A', 2, 3, 3, {1.0, 0.01}, {1.0, 0.002, 1e-5}) + "\n" + b58(2, 1) +
                        "\n" + b53('D', 3, 3, 1, 0.3, {-1, 0}, {0.5, 0.2, 0.5, -0.2}) + "\n" + b57(3, 200, 1) + "\n" +
                        b58(3, 1000) + "\n" + b54('D', 4, 1, 1, {0.2, 0.3, 0.2}, {1.0, -0.4, 0.1}) + "\n" +
                        b57(4, 200, 2) + "\n" + fir + "\n" + b57(5, 100, 1, 0.03) + "\n" + b58(5, 1) + "\n" +
                        b58(0, 1e5) + "\n";
    fs::create_directories(root + "/HILL.XY/HHZ.00");
    harness::write_file(root + "/HILL.XY/HHZ.00/B052", lines);

    Agreement a = agree(root, {"--channel", "HILL.XY.00.HHZ", "--fmin", "0.01", "--points", "50"});
    EXPECT_EQ(a.points, 50u);
    for (const char *stage : {"1", "2", "3", "4", "5"}) {
        Agreement s = agree(root, {"--channel", "HILL.XY.00.HHZ", "--fmin", "0.01", "--points", "50", "--stage", stage});
        EXPECT_EQ(s.points, 50u);
        a.amplitude = std::max(a.amplitude, s.amplitude);
        a.phase = std::max(a.phase, s.phase);
    }
    // evalresp's phase: the skewed FIR advanced by its 0.03 s, the IIR stages as stored.
    for (const char *stage : {"", "4", "5"}) {
        std::vector<std::string> args = {"--channel", "HILL.XY.00.HHZ", "--fmin", "0.01", "--points", "50"};
        if (*stage) args.insert(args.end(), {"--stage", stage});
        std::string causal, corrected;
        agree(root, args, &causal);
        args.push_back("--correct-delay");
        Agreement s = agree(root, args, &corrected);
        EXPECT_EQ(s.points, 50u);
        a.amplitude = std::max(a.amplitude, s.amplitude);
        a.phase = std::max(a.phase, s.phase);
        // The IIR of stage 4 keeps its phase; the FIR's moves.
        EXPECT_EQ(causal == corrected, std::string(stage) == "4") << stage;
    }
    std::printf("every kind: amplitude %.3g relative, phase %.3g degrees\n", a.amplitude, a.phase);
    EXPECT_LE(a.amplitude, 1e-6);
    EXPECT_LE(a.phase, 1e-4);
}

TEST_F(SeedtreeResponse, OutputLinesAndOptions)
{
    std::string root = make_tree(*demo, {}, "tree");
    auto r = run("seedtree", {"response", root, "--channel", "hill.xy..bhz", "--fmin", "0.01", "--fmax", "10",
                              "--points", "3"}, {});
    ASSERT_EQ(r.status, 0) << r.err;
    auto lines = lines_of(r.out);
    ASSERT_EQ(lines.size(), 8u) << r.out;
    EXPECT_EQ(lines[0], "# HILL.XY..BHZ 1998,001,00:00:00 2003,181,23:59:59 COUNTS/(M/S) sensitivity 6.29145E+08 at "
                        "1.00000E+00 Hz");
    EXPECT_EQ(lines[4], "# HILL.XY..BHZ 2003,182,00:00:00 2599,365,23:59:59 COUNTS/(M/S) sensitivity 6.29145E+08 at "
                        "1.00000E+00 Hz");
    // Log-spaced, both ends exactly; 10 digits of amplitude, 6 decimals of phase.
    EXPECT_EQ(lines[2].substr(0, 16), "3.162277660e-01 ");
    EXPECT_EQ(lines[1].substr(0, 16), "1.000000000e-02 ");
    EXPECT_EQ(lines[7].substr(0, 16), "1.000000000e+01 ");
    EXPECT_EQ(lines[3], "1.000000000e+01 6.193062990e+08 -18.035997");

    // The barometer: its polynomial reported, the digitizer's gain the whole response.
    r = run("seedtree", {"response", root, "--channel", "HILL.XY..LDO", "--points", "2"}, {});
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out,
              "# HILL.XY..LDO 2003,182,00:00:00 2599,365,23:59:59 COUNTS/PA no stage-0 sensitivity\n"
              "# stage 1 polynomial PA to V: not a frequency response, left out; coefficients -1.33333E+01 "
              "1.66667E-04; valid 0.00000E+00 to 5.00000E-01 (A); approximation bounds 8.00000E+04 to 1.10000E+05; "
              "maximum error 5.00000E-01\n"
              "1.000000000e-03 4.194300000e+05 0.000000\n"
              "5.000000000e-01 4.194300000e+05 0.000000\n");

    // A stage that one epoch lacks: that epoch is not evaluated, and the run fails.
    r = run("seedtree", {"response", root, "--channel", "HILL.XY..BHZ", "--stage", "3", "--points", "2"}, {});
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(lines_of(r.out).at(0), "# HILL.XY..BHZ 1998,001,00:00:00 2003,181,23:59:59 stage 3");
    EXPECT_EQ(lines_of(r.out).at(1), "# cannot evaluate: no stage 3");
    EXPECT_EQ(lines_of(r.out).at(2), "# HILL.XY..BHZ 2003,182,00:00:00 2599,365,23:59:59 stage 3 COUNTS/COUNTS gain "
                                     "1.00000E+00 at 1.00000E+00 Hz");
    EXPECT_EQ(r.err, "seedtree: 1 of 2 channel epoch(s) could not be evaluated (see the \"# cannot evaluate\" lines)\n");

    // A FIR whose stage lost its 57 has no rate to be evaluated at.
    std::string bhn = root + "/HILL.XY/BHN./B052";
    auto b = lines_of(harness::read_file(bhn));
    ASSERT_EQ(b.at(13).substr(0, 9), "057005105");
    b.erase(b.begin() + 13);
    std::string text;
    for (const auto &l : b) text += l + "\n";
    harness::write_file(bhn, text);
    r = run("seedtree", {"response", root, "--channel", "HILL.XY..BHN", "--points", "2"}, {});
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(lines_of(r.out).at(1), "# cannot evaluate: " + bhn +
                                         ":13: stage 5 is digital and has no blockette 57: no input sample rate to "
                                         "evaluate it at");

    // Selections that match nothing, and arguments out of range.
    r = run("seedtree", {"response", root, "--channel", "HILL.XY..BHX"}, {});
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err, "seedtree: " + root + ": no channel HILL.XY..BHX in the tree\n");
    for (std::vector<std::string> args : {std::vector<std::string>{"--channel", "HILL.XY.BHZ"},
                                          {"--fmin", "0"}, {"--fmin", "1", "--fmax", "0.5"}, {"--points", "1"},
                                          {"--stage", "0"}}) {
        args.insert(args.begin(), {"response", root});
        r = run("seedtree", args, {});
        EXPECT_EQ(r.status, 2) << args.back();
        EXPECT_EQ(r.out, "");
    }
}

TEST_F(SeedtreeResponse, RespFilesReadBackAsTheTree)
{
    if (!have_python()) GTEST_SKIP() << "no python3 for the readers";
    for (auto [db, flags] : {std::pair{demo, Env{}}, std::pair{demo, Env{{"USE_LOOKUP", ""}, {"USE_ABPOLY", ""}}},
                             std::pair{long_fir, Env{{"USE_LOOKUP", ""}}}}) {
        fs::remove_all(dir / "tree");
        fs::remove_all(dir / "resp");
        std::string root = make_tree(*db, flags, "tree");
        auto r = run("seedtree", {"resp", root, "-o", dir / "resp"}, {});
        ASSERT_EQ(r.status, 0) << r.err;
        std::vector<std::string> names;
        for (const auto &e : fs::directory_iterator(dir / "resp")) names.push_back(e.path().filename().string());
        std::sort(names.begin(), names.end());
        EXPECT_EQ(names, (std::vector<std::string>{"RESP.XY.HILL..BHE", "RESP.XY.HILL..BHN", "RESP.XY.HILL..BHZ",
                                                   "RESP.XY.HILL..LDO", "RESP.XY.HILL.00.LHZ"}));
        std::string files;
        for (const auto &n : names) files += " " + (dir / "resp") + "/" + n;
        std::string from_resp = reader("resp_file.py", files, "", dir);
        std::string from_tree = reader("seed_response_curve.py", "dump " + root, "", dir);
        EXPECT_EQ(from_resp, from_tree);
        // Both epochs of BHZ in one file; a long FIR whole in one blockette.
        EXPECT_EQ(lines_of(from_resp).size(), lines_of(from_tree).size());
        EXPECT_NE(from_resp.find("epoch HILL.XY..BHZ 1998,001,00:00:00"), std::string::npos);
        EXPECT_NE(from_resp.find("epoch HILL.XY..BHZ 2003,182,00:00:00"), std::string::npos);
        if (db == long_fir) {
            EXPECT_NE(harness::read_file(dir / "resp/RESP.XY.HILL..BHE").find("B061F09    1499  +"), std::string::npos);
        }
    }
    auto none = run("seedtree", {"resp", dir / "tree", "-o", dir / "resp", "--channel", "HILL.XY..HHZ"}, {});
    EXPECT_EQ(none.status, 1);
}

TEST_F(SeedtreeResponse, PlotsArePicturesWithTheCodesAsText)
{
    std::string root = make_tree(*demo, {}, "tree");
    auto png = run("seedtree", {"plot", root, "--channel", "HILL.XY..BHZ", "-o", dir / "bhz.png"}, {});
    ASSERT_EQ(png.status, 0) << png.err;
    std::string picture = harness::read_file(dir / "bhz.png");
    EXPECT_GT(picture.size(), 20000u);
    EXPECT_EQ(picture.substr(0, 8), "\x89PNG\r\n\x1a\n");

    auto svg = run("seedtree", {"plot", root, "-o", dir / "all.svg", "--points", "100"}, {});
    ASSERT_EQ(svg.status, 0) << svg.err;
    std::string drawing = harness::read_file(dir / "all.svg");
    for (const char *text : {"<text", "HILL.XY..BHZ 2003,182,00:00:00", "HILL.XY.00.LHZ 2003,182,00:00:00",
                             "Response of 6 channel epochs", "Nyquist 10 Hz", "Nyquist 0.5 Hz", "stage-0 sensitivity",
                             "Amplitude (output/input units, see legend)", "Frequency (Hz)", "Phase (degrees)"})
        EXPECT_NE(drawing.find(text), std::string::npos) << text;

    // Without gnuplot: a clear failure, and no file.
    auto missing = run("seedtree", {"plot", root, "-o", dir / "none.png"}, {{"PATH", "/nonexistent"}});
    EXPECT_EQ(missing.status, 1);
    EXPECT_EQ(missing.err.substr(0, 45), "seedtree: cannot run gnuplot to draw the plot") << missing.err;
    EXPECT_FALSE(harness::file_exists(dir / "none.png"));
    for (const auto &e : fs::directory_iterator(dir.path()))
        EXPECT_NE(e.path().filename().string()[0], '.') << "left behind: " << e.path();

    auto jpeg = run("seedtree", {"plot", root, "-o", dir / "plot.jpg"}, {});
    EXPECT_EQ(jpeg.status, 1);
    EXPECT_EQ(jpeg.err, "seedtree: the plot file must end in .png or .svg, not \"" + (dir / "plot.jpg") + "\"\n");
}

}  // namespace
