#include "drivers/request.hpp"

#include <cstdlib>
#include <cstring>

#include "common/db/run_end.hpp"

namespace drivers {
namespace {

[[noreturn]] void allocation_failed() { throw rdb::RunEnd(1, "Error (re)allocing argv\n", rdb::Release::none); }

// The first n bytes of s as a new text.
char *copy_bytes(const char *s, std::size_t n)
{
    char *copy = static_cast<char *>(std::malloc(n + 1));
    if (!copy) allocation_failed();
    std::memcpy(copy, s, n);
    copy[n] = '\0';
    return copy;
}

// A stored bound moves when the new one sorts outside it, byte-wise on the
// whole texts, so a longer time sorts after the same 17 characters alone.
void widen(std::string &start, std::string &end, const char *new_start, const char *new_end)
{
    if (std::strcmp(new_start, start.c_str()) < 0) start = new_start;
    if (std::strcmp(new_end, end.c_str()) > 0) end = new_end;
}

}  // namespace

TokenList::~TokenList() { reset_token(*this); }

// Grows one array of the list to capacity elements of type T.
template <class T>
void grow(T *&array, std::size_t capacity)
{
    void *grown = std::realloc(array, capacity * sizeof(T));
    if (!grown) allocation_failed();
    array = static_cast<T *>(grown);
}

void push_token(TokenList &t, char *token, bool owned)
{
    if (static_cast<std::size_t>(t.tokenc) == t.capacity) {
        // A copy that cannot join the list is the caller's to free no more.
        struct Refused {
            char *token;
            ~Refused() { std::free(token); }
        } refused{owned ? token : nullptr};
        std::size_t capacity = t.capacity == 0 ? 16 : t.capacity * 2;
        if (capacity > static_cast<std::size_t>(INT32_MAX)) allocation_failed();
        grow(t.tokenv, capacity);
        grow(t.owned, capacity);
        t.capacity = capacity;
        refused.token = nullptr;
    }
    t.owned[t.tokenc] = owned;
    t.tokenv[t.tokenc++] = token;
}

void reset_token(TokenList &t)
{
    for (std::int32_t k = 0; k < t.tokenc; ++k)
        if (t.owned[k]) std::free(t.tokenv[k]);
    std::free(t.tokenv);
    std::free(t.owned);
    t.tokenv = nullptr;
    t.owned = nullptr;
    t.tokenc = 0;
    t.capacity = 0;
}

std::int32_t split_inline(TokenList &t, char *line)
{
    if (*line == '\0') return t.tokenc;
    push_token(t, line);
    for (char *p = line; *p; ++p) {
        if (*p != '\t') continue;
        *p = '\0';
        push_token(t, p + 1);  // an empty last field when the line ends here
    }
    return t.tokenc;
}

std::int32_t split_copy(TokenList &t, const char *line)
{
    if (*line == '\0') return t.tokenc;
    const char *field = line;
    const char *p = line;
    for (; *p; ++p) {
        if (*p != '\t') continue;
        push_token(t, copy_bytes(field, static_cast<std::size_t>(p - field)), true);
        field = p + 1;
    }
    push_token(t, copy_bytes(field, static_cast<std::size_t>(p - field)), true);
    return t.tokenc;
}

void Requests::merge(char *const *fields)
{
    const char *station = fields[0], *network = fields[1], *channel = fields[2];
    const char *start = fields[8], *end = fields[9];

    bool found = false;
    for (auto &row : rs) {
        if (row.station != station || row.network != network) continue;
        widen(row.start, row.end, start, end);
        found = true;
    }
    if (!found) rs.push_back({station, network, start, end});

    found = false;
    for (auto &row : rc) {
        if (row.station != station || row.network != network || row.channel != channel) continue;
        widen(row.start, row.end, start, end);
        found = true;
    }
    if (!found) rc.push_back({station, network, channel, start, end});
}

}  // namespace drivers
