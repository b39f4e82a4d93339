// The request file: ten TAB-separated fields per line, split by one of two
// splitters, and merged into distinct station and channel requests, each
// with the hull of its windows.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace drivers {

// The fields of the current line. Each field records whether it is an
// allocated copy (split_copy), which reset_token frees, or points into the
// line buffer (split_inline), which it leaves alone: a list may mix both.
struct TokenList {
    std::int32_t tokenc = 0;
    char **tokenv = nullptr;
    bool *owned = nullptr;  // per field: an allocated copy
    std::size_t capacity = 0;

    TokenList() = default;
    TokenList(const TokenList &) = delete;
    TokenList &operator=(const TokenList &) = delete;
    ~TokenList();
};

// Appends token; owned: token is a malloc'd copy that the list now frees.
// An allocation failure ends the run: rdb::RunEnd, status 1, "Error
// (re)allocing argv\n" for standard error.
void push_token(TokenList &t, char *token, bool owned = false);
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
    std::vector<ChannelRequest> rc;

    // Merges the fields of one line of ten fields.
    void merge(char *const *fields);
};

}  // namespace drivers
