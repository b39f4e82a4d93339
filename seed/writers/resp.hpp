// RESP files: the text form of a channel's responses that evalresp and
// most response tools read, one file per channel ("RESP.NET.STA.LOC.CHA")
// holding each of its epochs with every stage written out, dictionary
// references resolved (a 41 as a 61, a 42 as a 62 of the stage).
//
// Numbers are the tree's own texts with a sign, so that a reader gets the
// tree's values exactly.
#pragma once

#include <string>
#include <vector>

#include "seed/reader/inventory.hpp"
#include "seed/files/output_file.hpp"

namespace seed {

// "RESP.XY.HILL..BHZ"
std::string resp_file_name(const ChannelEpoch &epoch);

// The RESP text of one channel epoch.
std::string resp_epoch(const ChannelEpoch &epoch, const Dictionary &dictionary);

// Writes one file per channel of epochs (in the order given, grouped by
// file name) into dir, which is made when missing. Each file appears only
// when complete; sync: as OutputFile's. Returns the file names written.
std::vector<std::string> write_resp_files(const std::vector<const ChannelEpoch *> &epochs,
                                          const Dictionary &dictionary, const std::string &dir,
                                          Sync sync = Sync::at_commit);

}  // namespace seed
