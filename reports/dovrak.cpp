// dovrak: searches the hardware inventory by name or serial number and
// prints every matching sensor, filter-amplifier and datalogger with its
// parts, their response sequences and the item's installations.
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "reports/response_sequence.hpp"
#include "reports/search_text.hpp"
#include "common/cli/standard_output.hpp"
#include "common/cli/text_util.hpp"

namespace {

// Every host variable of a run. Item rows are fetched with the indicator and
// cleared before each fetch, so a NULL column prints as empty text or 0 and
// never as the previous item's value.
struct Dovrak {
    rdb::Sql sql;
    rdb::Indicator ind = 0;  // shared by every nullable output

    bool by_name = true;  // search field: name (data_type for dataloggers) or serial_nb
    char Param[32] = "";  // the pattern after wildcard translation
    std::string SC_Command;
    std::string FC_Command;
    std::string DC_Command;

    // Item rows
    std::int32_t sensor_id = 0;
    std::int32_t filamp_id = 0;
    std::int32_t data_id = 0;
    char name[81] = "";
    char serial_nb[81] = "";  // also board and module serial numbers
    char data_type[81] = "";
    char firmware_nb[81] = "";
    char software[81] = "";
    char software_nb[81] = "";
    char ondate[32] = "";
    char offdate[32] = "";
    std::int32_t nb_component = 0;
    std::int32_t nb_pchannel = 0;
    std::int32_t nb_board = 0;
    std::int32_t nb_module = 0;
    std::int32_t word_32 = 0;
    std::int32_t word_16 = 0;

    // Parts
    char channel_comp[3] = "";
    char component_type = ' ';
    float sensitivity = 0;
    float frequency = 0;
    float gain = 0;
    std::int32_t seqresp_id = 0;
    std::int32_t j = 0;  // component, channel or board number
    std::int32_t k = 0;  // module number

    // Installations
    char sta[7] = "";
    char net[9] = "";
    char sondate[32] = "";
    char soffdate[32] = "";

    reports::ResponseBuffers resp;
};

void clear_item(Dovrak &d)
{
    d.sensor_id = d.filamp_id = d.data_id = 0;
    for (char *text : {d.name, d.serial_nb, d.data_type, d.firmware_nb, d.software, d.software_nb})
        text[0] = '\0';
    d.ondate[0] = d.offdate[0] = '\0';
    d.nb_component = d.nb_pchannel = d.nb_board = 0;
    d.word_32 = d.word_16 = 0;
}

// The installation rows of one item, in the order the database gives them.
void print_installations(Dovrak &d, const char *sql_text, std::int32_t item_id, const char *installed,
                         const char *not_installed)
{
    bool found = false;
    d.sondate[0] = d.soffdate[0] = '\0';
    d.sql.for_each_row(sql_text, {rdb::in(item_id)},
                       {rdb::out(d.sta), rdb::out(d.net), rdb::out(d.sondate, &d.ind), rdb::out(d.soffdate, &d.ind)},
                       [&] {
                           std::printf(installed, d.sta, d.net, d.sondate, d.soffdate);
                           found = true;
                           d.sondate[0] = d.soffdate[0] = '\0';
                       });
    if (!found) std::printf("%s", not_installed);
}

void print_sensor(Dovrak &d)
{
    std::printf("\n %.10s %.8s -- Nb. component: %d -- %.20s %.20s", d.name, d.serial_nb, d.nb_component,
                d.ondate, d.offdate);
    for (d.j = 1; d.j <= d.nb_component; ++d.j) {
        if (d.sql.select("select channel_comp ,component_type ,sensitivity ,frequency ,seqresp_id into :b0,:b1,:b2,:b3,:b4  from sensor_component where (sensor_id=:b5 and component_nb=:b6)",
                         {rdb::in(d.sensor_id), rdb::in(d.j)},
                         {rdb::out(d.channel_comp), rdb::out(d.component_type), rdb::out(d.sensitivity),
                          rdb::out(d.frequency), rdb::out(d.seqresp_id)}) == rdb::no_data)
            break;
        std::printf("\n\t Channel: %s -- Type: %c -- Sens: %5.2f -- Freq: %5.2f Hz", d.channel_comp,
                    d.component_type, d.sensitivity, d.frequency);
        reports::print_response_sequence(d.sql, d.resp, d.seqresp_id, reports::two_tabs, 12, false);
    }
}

void print_filamp(Dovrak &d)
{
    std::printf("\n\t %.26s %.26s -- Nb. channel: %d", d.name, d.serial_nb, d.nb_pchannel);
    for (d.j = 1; d.j <= d.nb_pchannel; ++d.j) {
        if (d.sql.select("select gain ,frequency ,seqresp_id into :b0,:b1,:b2:b3  from filamp_pchannel where (filamp_id=:b4 and pchannel_nb=:b5)",
                         {rdb::in(d.filamp_id), rdb::in(d.j)},
                         {rdb::out(d.gain), rdb::out(d.frequency), rdb::out(d.seqresp_id, &d.ind)}) ==
            rdb::no_data)
            break;
        std::printf("\n\t\t Gain: %5.2f -- Freq: %5.2f Hz", d.gain, d.frequency);
        if (d.ind == -1)
            std::printf("\n\t\t\t No response");
        else
            reports::print_response_sequence(d.sql, d.resp, d.seqresp_id, reports::three_tabs, 12, false);
    }
}

void print_datalogger(Dovrak &d)
{
    std::printf("\n\t Type: %.12s -- Serial: %.12s Firmware: %.12s Soft: %.12s Version: %.12s\n\t Nb Board: %d -- Word 32: %d Word 16: %d",
                d.data_type, d.serial_nb, d.firmware_nb, d.software, d.software_nb, d.nb_board, d.word_32,
                d.word_16);
    for (d.j = 1; d.j <= d.nb_board; ++d.j) {
        d.serial_nb[0] = '\0';
        if (d.sql.select("select serial_nb ,nb_module into :b0:b1,:b2  from datalogger_board where (data_id=:b3 and board_nb=:b4)",
                         {rdb::in(d.data_id), rdb::in(d.j)},
                         {rdb::out(d.serial_nb, &d.ind), rdb::out(d.nb_module)}) == rdb::no_data)
            return;
        std::printf("\n\t\t Serial: %.12s -- Nb Module: %d", d.serial_nb, d.nb_module);

        for (d.k = 1; d.k <= d.nb_module; ++d.k) {
            d.serial_nb[0] = '\0';
            if (d.sql.select("select serial_nb ,sensitivity into :b0:b1,:b2  from datalogger_module where ((data_id=:b3 and board_nb=:b4) and module_nb=:b5)",
                             {rdb::in(d.data_id), rdb::in(d.j), rdb::in(d.k)},
                             {rdb::out(d.serial_nb, &d.ind), rdb::out(d.sensitivity)}) == rdb::no_data)
                break;
            std::printf("\n\t\t\t Serial: %.12s -- Sensitivity: %f", d.serial_nb, d.sensitivity);
        }
    }
}

// One kind of hardware item: its two search statements, the columns of its
// row, how it prints, and its installations.
struct ItemKind {
    const char *by_name;    // statement format, "%s" the pattern
    const char *by_serial;
    std::string Dovrak::*command;
    std::vector<rdb::Out> (*columns)(Dovrak &d);
    const char *found;
    void (*print)(Dovrak &d);
    std::int32_t Dovrak::*id;
    const char *installations;
    const char *installed;
    const char *not_installed;
};

// Item rows are fetched with the indicator.
const ItemKind sensors = {
    "SELECT sensor_id, name, serial_nb, ondate, offdate, nb_component FROM Sensor WHERE name LIKE '%s' ORDER BY ondate",
    "SELECT sensor_id, name, serial_nb, ondate, offdate, nb_component FROM Sensor WHERE serial_nb LIKE '%s' ORDER BY ondate",
    &Dovrak::SC_Command,
    [](Dovrak &d) {
        return std::vector<rdb::Out>{rdb::out(d.sensor_id, &d.ind), rdb::out(d.name, &d.ind),
                                     rdb::out(d.serial_nb, &d.ind), rdb::out(d.ondate, &d.ind),
                                     rdb::out(d.offdate, &d.ind), rdb::out(d.nb_component, &d.ind)};
    },
    "\n\n\n Found Sensor ...\n",
    print_sensor,
    &Dovrak::sensor_id,
    "select sta ,net ,ondate ,offdate  from Station_Sensor where sensor_id=:b0",
    "\n\n --> Sensor installed at %s %.3s -- %.20s %.20s.",
    "\n\n --> Sensor not installed.",
};

const ItemKind filamps = {
    "SELECT filamp_id, name, serial_nb, ondate, offdate, nb_pchannel FROM Filamp WHERE name LIKE '%s' ORDER BY ondate",
    "SELECT filamp_id, name, serial_nb, ondate, offdate, nb_pchannel FROM Filamp WHERE serial_nb LIKE '%s' ORDER BY ondate",
    &Dovrak::FC_Command,
    [](Dovrak &d) {
        return std::vector<rdb::Out>{rdb::out(d.filamp_id, &d.ind), rdb::out(d.name, &d.ind),
                                     rdb::out(d.serial_nb, &d.ind), rdb::out(d.ondate, &d.ind),
                                     rdb::out(d.offdate, &d.ind), rdb::out(d.nb_pchannel, &d.ind)};
    },
    "\n\n\n Found Filter-Amplifier ...\n",
    print_filamp,
    &Dovrak::filamp_id,
    "select sta ,net ,ondate ,offdate  from Station_Filamp where filamp_id=:b0",
    "\n\n --> Filter-Amplifier installed at %s %.3s -- %.20s %.20s.",
    "\n\n --> Filter-Amplifier not installed.",
};

const ItemKind dataloggers = {
    "SELECT data_id, data_type, serial_nb, firmware_nb, ondate, offdate, nb_board, word_32, word_16, software, software_nb FROM Datalogger WHERE data_type LIKE '%s' ORDER BY ondate",
    "SELECT data_id, data_type, serial_nb, firmware_nb, ondate, offdate, nb_board, word_32, word_16, software, software_nb FROM Datalogger WHERE serial_nb LIKE '%s' ORDER BY ondate",
    &Dovrak::DC_Command,
    [](Dovrak &d) {
        return std::vector<rdb::Out>{
            rdb::out(d.data_id, &d.ind),   rdb::out(d.data_type, &d.ind), rdb::out(d.serial_nb, &d.ind),
            rdb::out(d.firmware_nb, &d.ind), rdb::out(d.ondate, &d.ind),  rdb::out(d.offdate, &d.ind),
            rdb::out(d.nb_board, &d.ind),  rdb::out(d.word_32, &d.ind),   rdb::out(d.word_16, &d.ind),
            rdb::out(d.software, &d.ind),  rdb::out(d.software_nb, &d.ind)};
    },
    "\n\n\n Found Datalogger ...\n",
    print_datalogger,
    &Dovrak::data_id,
    "select sta ,net ,ondate ,offdate  from Station_Datalogger where data_id=:b0",
    "\n\n --> Datalogger installed at %s %.3s -- %.20s %.20s.",
    "\n\n --> Datalogger not installed.",
};

// Every matching item of one kind with its parts and installations. The
// item variables are cleared before each fetch, so a NULL column prints as
// empty text or 0, never as the previous item's value.
void search(Dovrak &d, const ItemKind &kind)
{
    std::string &command = d.*kind.command;
    command = reports::format_search(d.by_name ? kind.by_name : kind.by_serial, d.Param);
    const std::vector<rdb::Out> columns = kind.columns(d);
    clear_item(d);
    d.sql.for_each_row(command, columns, [&] {
        std::printf("%s", kind.found);
        kind.print(d);
        print_installations(d, kind.installations, d.*kind.id, kind.installed, kind.not_installed);
        clear_item(d);
    });
}

int run(int argc, char **argv)
{
    if (argc != 3) {
        std::printf("\n\n dovrak [-name <name>] [-serial <serial number>]\n\n");
        return 0;
    }

    auto state = std::make_unique<Dovrak>();
    Dovrak &d = *state;

    if (std::strcmp(argv[1], "-name") == 0) {
        d.by_name = true;
    } else if (std::strcmp(argv[1], "-serial") == 0) {
        d.by_name = false;
    } else {
        std::printf("\n Error: [%s] Unknown option.\n\n", argv[1]);
        return 1;
    }

    // A longer pattern would have to be cut, and a cut pattern finds other items.
    if (!rdb::copy_text(d.Param, argv[2])) {
        std::printf("\n Error: Pattern longer than %zu characters.\n\n", sizeof d.Param - 1);
        return 1;
    }
    reports::translate_wildcards(d.Param);

    try {
        d.sql.connect();
        for (const ItemKind *kind : {&sensors, &filamps, &dataloggers}) search(d, *kind);

        std::printf("\n\n");
        std::printf("\n Disconnecting from ORACLE ...\n\n");
        d.sql.commit_release();
        return 0;
    } catch (const rdb::RunEnd &end) {
        return d.sql.end(end);
    }
}

}  // namespace

int main(int argc, char **argv) { return rdb::finish_standard_output("dovrak", run(argc, argv)); }
