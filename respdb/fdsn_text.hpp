// The FDSN text answer of the station web service ("|"-separated columns,
// one header line starting with "#"), written from the same model as the
// StationXML answer, station by station:
//   network: #Network|Description|StartTime|EndTime|TotalStations
//   station: #Network|Station|Latitude|Longitude|Elevation|SiteName|StartTime|EndTime
//   channel: #Network|Station|Location|Channel|Latitude|Longitude|Elevation|Depth|Azimuth|Dip|
//            SensorDescription|Scale|ScaleFreq|ScaleUnits|SampleRate|StartTime|EndTime
// Numbers and dates as the StationXML answer gives them (dates without
// the zone letter, an open end empty); a channel's dates nested in its
// station epoch's, as there.
#pragma once

#include <functional>
#include <map>
#include <string>
#include <string_view>
#include <vector>

#include "seed/reader/inventory.hpp"
#include "seed/writers/stationxml.hpp"

namespace respdb::fdsn {

class TextAnswer {
public:
    // level: network, station or channel. totals: each network's station
    // count, for the network level.
    TextAnswer(const seed::Dictionary &dictionary, seed::StationXmlLevel level,
               std::map<std::string, std::size_t> totals, std::function<void(std::string_view)> out);
    void station(const std::vector<seed::StationEpoch> &epochs);
    // Hands on the rest; false when no line but the header was made (then
    // nothing was handed on).
    bool finish();

private:
    struct Network {
        std::string code, description, start, end;
        bool open = false;
    };
    void line(const std::string &text);
    void end_network();

    const seed::Dictionary &dictionary_;
    seed::StationXmlLevel level_;
    std::map<std::string, std::size_t> totals_;
    std::function<void(std::string_view)> out_;
    std::string buffer_;
    bool any_ = false;
    Network network_;
};

}  // namespace respdb::fdsn
