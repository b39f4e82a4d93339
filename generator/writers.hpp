// The writers the channel loop calls, each in its own file.
#pragma once

namespace quorvex {

struct Quorvex;
class TreeFile;

// root/H.A, once per header tree.
void write_dictionary(Quorvex &q);

// root/STA.NET/B050 and B051 (modes "a" and "s").
void write_station_blockettes(Quorvex &q);

// root/STA.NET/CHAN.LOC/B052 and B059 of the current channel row, and the
// channel's response into B052.
void write_channel(Quorvex &q);

// The response stages of the current channel, appended to its open B052.
void write_response(Quorvex &q, TreeFile &b052);

}  // namespace quorvex
