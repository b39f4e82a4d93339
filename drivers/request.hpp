// The request file: ten TAB-separated fields per line, split by one of two
// splitters, and merged into distinct station and channel requests, each
// with the hull of its windows.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace drivers {

// The fields of the current line. With copies, every field is an allocated
// copy that reset_token frees; otherwise fields point into the line buffer.
struct TokenList {
    std::int32_t tokenc = 0;
    char **tokenv = nullptr;
    std::size_t capacity = 0;
    bool copies = false;

    TokenList() = default;
    TokenList(const TokenList &) = delete;
    TokenList &operator=(const TokenList &) = delete;
    ~TokenList();
};

// Appends token. An allocation failure prints "Error (re)allocing argv\n"
// to standard error and exits with 1.
void push_token(TokenList &t, char *token);
void reset_token(TokenList &t);

// Split at TABs; both return the number of fields. split_inline overwrites
// the separators of line with NULs; split_copy leaves line as it was.
std::int32_t split_inline(TokenList &t, char *line);
std::int32_t split_copy(TokenList &t, const char *line);

struct StationRequest {
    std::string station, network, start, end;
};
struct ChannelRequest {
    std::string station, network, channel, start, end;
};

// Rows in the order their key first occurs; every text kept whole.
struct Requests {
    std::vector<StationRequest> rs;
    std::size_t nb_req_sta = 0;
    std::vector<ChannelRequest> rc;
    std::size_t nb_req_cha = 0;

    // Merges the fields of one line of ten fields.
    void merge(char *const *fields);
};

}  // namespace drivers
