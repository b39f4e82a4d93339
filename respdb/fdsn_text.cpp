#include "respdb/fdsn_text.hpp"

#include "seed/reader/epochs.hpp"
#include "seed/reader/unit_names.hpp"

namespace respdb::fdsn {
namespace {

using Level = seed::StationXmlLevel;

// A date of the answer: StationXML's without its "Z"; "" for an open end
// or a time StationXML has no form for.
std::string date_text(const seed::Time &t)
{
    std::string out;
    if (seed::open_end(t) || !seed::xml_date_time(t.text, out)) return "";
    if (!out.empty() && out.back() == 'Z') out.pop_back();
    return out;
}

// A text column: a "|" or a line end in it would break the columns.
std::string column(std::string text)
{
    for (char &c : text)
        if (c == '|' || c == '\n' || c == '\r') c = ' ';
    return text;
}

}  // namespace

TextAnswer::TextAnswer(const seed::Dictionary &dictionary, Level level, std::map<std::string, std::size_t> totals,
                       std::function<void(std::string_view)> out)
    : dictionary_(dictionary), level_(level), totals_(std::move(totals)), out_(std::move(out))
{
}

void TextAnswer::line(const std::string &text)
{
    if (!any_) {
        any_ = true;
        buffer_ += level_ == Level::network   ? "#Network|Description|StartTime|EndTime|TotalStations\n"
                   : level_ == Level::station ? "#Network|Station|Latitude|Longitude|Elevation|SiteName|StartTime|EndTime\n"
                                              : "#Network|Station|Location|Channel|Latitude|Longitude|Elevation|Depth|"
                                                "Azimuth|Dip|SensorDescription|Scale|ScaleFreq|ScaleUnits|SampleRate|"
                                                "StartTime|EndTime\n";
    }
    buffer_ += text;
    buffer_ += '\n';
    if (buffer_.size() >= 64 * 1024) {
        out_(buffer_);
        buffer_.clear();
    }
}

void TextAnswer::end_network()
{
    if (network_.code.empty()) return;
    auto total = totals_.find(network_.code);
    line(network_.code + "|" + column(network_.description) + "|" + network_.start + "|" +
         (network_.open ? "" : network_.end) + "|" + (total == totals_.end() ? "" : std::to_string(total->second)));
    network_ = {};
}

void TextAnswer::station(const std::vector<seed::StationEpoch> &epochs)
{
    for (const seed::StationEpoch &s : epochs) {
        const seed::StationId &id = s.id;
        if (level_ == Level::network) {
            if (id.network != network_.code) {
                end_network();
                network_.code = id.network;
                const seed::Abbreviation *a = dictionary_.abbreviation(id.network_id);
                network_.description = a ? a->description.text : "";
                network_.start = date_text(id.start);
            }
            // Stations come by code, so the earliest start is the least.
            std::string start = date_text(id.start), end = date_text(id.end);
            if (start < network_.start) network_.start = start;
            if (end.empty()) network_.open = true;
            if (end > network_.end) network_.end = end;
            continue;
        }
        if (level_ == Level::station) {
            line(id.network + "|" + id.station + "|" + seed::xml_double(id.latitude) + "|" +
                 seed::xml_double(id.longitude) + "|" + seed::xml_double(id.elevation) + "|" + column(id.site.text) +
                 "|" + date_text(id.start) + "|" + date_text(id.end));
            continue;
        }
        for (const auto &channel : s.channels) {
            const seed::ChannelId &c = channel->id;
            const seed::NestedDates nested = seed::nested_dates(id, c);
            const seed::Abbreviation *sensor = dictionary_.abbreviation(c.instrument);
            const seed::UnitEntry *units = dictionary_.unit(c.signal_units);
            std::string scale, frequency;
            if (channel->sensitivity) {
                scale = seed::xml_double(channel->sensitivity->gain);
                frequency = seed::xml_double(channel->sensitivity->frequency);
            }
            line(id.network + "|" + id.station + "|" + c.location + "|" + c.channel + "|" + seed::xml_double(c.latitude) +
                 "|" + seed::xml_double(c.longitude) + "|" + seed::xml_double(c.elevation) + "|" +
                 seed::xml_double(c.depth) + "|" + seed::xml_double(c.azimuth) + "|" + seed::xml_double(c.dip) + "|" +
                 column(sensor ? sensor->description.text : "") + "|" + scale + "|" + frequency + "|" +
                 (units ? seed::stationxml_unit_name(units->name.text) : "") + "|" + seed::xml_double(c.sample_rate) +
                 "|" + date_text(*nested.start) + "|" + date_text(*nested.end));
        }
    }
}

bool TextAnswer::finish()
{
    end_network();
    if (!any_) return false;
    if (!buffer_.empty()) out_(buffer_);
    buffer_.clear();
    return true;
}

}  // namespace respdb::fdsn
