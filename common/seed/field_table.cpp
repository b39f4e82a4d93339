#include "common/seed/field_table.hpp"

#include <array>
#include <cstdio>
#include <cstring>
#include <iterator>

namespace seed_field {
namespace {

constexpr int first_blockette = 30, last_blockette = 62;
constexpr int blockettes = last_blockette - first_blockette + 1;
constexpr int table_size = static_cast<int>(std::size(table));

// Where each blockette's field 3 sits in the table, and how many fields
// follow it; {-1, 0} for a blockette the table does not hold.
struct Span {
    int at = -1;
    int fields = 0;
};

constexpr std::array<Span, blockettes> spans()
{
    std::array<Span, blockettes> out{};
    for (int i = 0; i < table_size; ++i) {
        Span &s = out[table[i].blockette - first_blockette];
        if (s.at < 0) s.at = i;
        ++s.fields;
    }
    return out;
}

constexpr auto index = spans();

// Every blockette in order, its fields numbered from 3 without a gap: the
// index's arithmetic relies on it.
constexpr bool well_ordered()
{
    for (int i = 0; i < table_size; ++i) {
        const Field &f = table[i];
        if (f.blockette < first_blockette || f.blockette > last_blockette) return false;
        const Span &s = index[f.blockette - first_blockette];
        if (f.field != 3 + (i - s.at)) return false;
        if (f.variable() ? f.least > f.width : f.width < 1) return false;
    }
    return true;
}
static_assert(well_ordered(), "the field table must hold each blockette's fields in order from field 3");

}  // namespace

const Field *find(int blockette, int field)
{
    if (field == 1 || field == 2) return &framing[field - 1];
    if (blockette < first_blockette || blockette > last_blockette) return nullptr;
    const Span &s = index[blockette - first_blockette];
    if (field < 3 || field - 3 >= s.fields) return nullptr;
    return &table[s.at + field - 3];
}

const char *name(int blockette, int field)
{
    const Field *f = find(blockette, field);
    return f ? f->name : "";
}

std::string label(int blockette, int field)
{
    char buffer[96];
    std::snprintf(buffer, sizeof buffer, "B%03d field %d (%s)", blockette, field, name(blockette, field));
    return buffer;
}

int number(int blockette, const char *field_name)
{
    for (int field = 1;; ++field) {
        const Field *f = find(blockette, field);
        if (!f) return 0;
        if (std::strcmp(f->name, field_name) == 0) return field;
    }
}

}  // namespace seed_field
