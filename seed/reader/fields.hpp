// Field values of SEED control blockettes, and the reader that takes them
// from one line of the header tree in layout order.
//
// A line is one blockette: 3 digits of type, 4 of length, then the fields.
// Fixed fields have a width; variable fields end with "~" and have a SEED
// maximum length that is kept with the text (a longer text is read, and
// left to checks to report). Numbers keep their text, trimmed of padding
// blanks, beside the parsed value: StationXML and reports quote the text.
#pragma once

#include <cstddef>
#include <cstdint>
#include <algorithm>
#include <cstring>
#include <memory>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

#include "common/seed/field_table.hpp"
#include "seed/reader/error.hpp"

namespace seed {

// The text of a line as it stands: a view into the text of its file, which
// is read whole once and kept alive by every line that views it, so that
// the blockettes, filters and response lists that keep a line share its
// characters instead of copying them. A text made elsewhere (a tree in
// memory, a test) is held on its own. Reads like a const std::string.
class LineText {
public:
    LineText() = default;
    LineText(std::string text)  // NOLINT: implicit, as a string's
    {
        auto held = std::make_shared<const std::string>(std::move(text));
        data_ = held->data();
        size_ = held->size();
        owner_ = std::move(held);
    }
    LineText(const char *text) : LineText(std::string(text)) {}  // NOLINT
    // A view of text that owner keeps alive.
    LineText(std::shared_ptr<const void> owner, std::string_view text)
        : owner_(std::move(owner)), data_(text.data()), size_(text.size())
    {
    }
    LineText(const LineText &) = default;
    LineText &operator=(const LineText &) = default;
    LineText(LineText &&other) noexcept : owner_(std::move(other.owner_)), data_(other.data_), size_(other.size_)
    {
        other.data_ = nullptr;
        other.size_ = 0;
    }
    LineText &operator=(LineText &&other) noexcept
    {
        if (this != &other) {
            owner_ = std::move(other.owner_);
            data_ = other.data_;
            size_ = other.size_;
            other.data_ = nullptr;
            other.size_ = 0;
        }
        return *this;
    }

    std::string_view view() const { return std::string_view(data_ ? data_ : "", size_); }
    operator std::string_view() const { return view(); }   // NOLINT
    operator std::string() const { return str(); }          // NOLINT
    std::string str() const { return std::string(view()); }
    // Whatever keeps the text alive, for views of parts of it.
    const std::shared_ptr<const void> &owner() const { return owner_; }

    std::size_t size() const { return size_; }
    bool empty() const { return size_ == 0; }
    const char *data() const { return view().data(); }
    char operator[](std::size_t i) const { return data_[i]; }
    char front() const { return data_[0]; }
    char back() const { return data_[size_ - 1]; }
    const char *begin() const { return view().data(); }
    const char *end() const { return view().data() + size_; }
    // A part as a string, as std::string::substr gives one.
    std::string substr(std::size_t at, std::size_t n = std::string::npos) const
    {
        return std::string(view().substr(at, n));
    }
    std::size_t find(char c, std::size_t from = 0) const { return view().find(c, from); }
    std::size_t find(std::string_view t, std::size_t from = 0) const { return view().find(t, from); }
    int compare(std::size_t at, std::size_t n, std::string_view t) const { return view().substr(at, n).compare(t); }

    friend bool operator==(const LineText &a, const LineText &b) { return a.view() == b.view(); }
    friend bool operator==(const LineText &a, std::string_view b) { return a.view() == b; }
    friend bool operator==(const LineText &a, const std::string &b) { return a.view() == std::string_view(b); }
    friend bool operator==(const LineText &a, const char *b) { return a.view() == std::string_view(b); }
    friend std::string operator+(const std::string &a, const LineText &b) { return a + b.str(); }
    friend std::string operator+(const LineText &a, const std::string &b) { return a.str() + b; }
    friend std::string operator+(const char *a, const LineText &b) { return a + b.str(); }
    friend std::string operator+(const LineText &a, const char *b) { return a.str() + b; }

private:
    std::shared_ptr<const void> owner_;
    const char *data_ = nullptr;
    std::size_t size_ = 0;
};

// One blockette line of the tree as it stands, without its newline.
struct Line {
    LineText text;
    Source source;
};

// The text of a number as written. SEED's widest number field has 14
// characters: a text of up to 15 is kept inside the object (16 bytes, a
// third of a std::string's and its own allocation), a longer one (a number
// made elsewhere) on the heap. Reads like a string_view.
class NumberText {
public:
    NumberText() = default;
    NumberText(std::string_view text) { assign(text); }  // NOLINT: implicit, as a string's
    NumberText(const std::string &text) : NumberText(std::string_view(text)) {}
    NumberText(const char *text) : NumberText(std::string_view(text)) {}
    NumberText(const NumberText &other) { assign(other.view()); }
    NumberText(NumberText &&other) noexcept { take(other); }
    NumberText &operator=(const NumberText &other)
    {
        if (this != &other) {
            NumberText copy(other);
            release();
            take(copy);
        }
        return *this;
    }
    NumberText &operator=(NumberText &&other) noexcept
    {
        if (this != &other) {
            release();
            take(other);
        }
        return *this;
    }
    ~NumberText() { release(); }

    std::string_view view() const
    {
        return size_ == on_heap ? std::string_view(*heap_) : std::string_view(inline_, size_);
    }
    operator std::string_view() const { return view(); }
    operator std::string() const { return std::string(view()); }
    std::string str() const { return std::string(view()); }
    std::size_t size() const { return view().size(); }
    bool empty() const { return view().empty(); }
    const char *data() const { return view().data(); }
    char operator[](std::size_t i) const { return view()[i]; }
    char front() const { return view().front(); }
    char back() const { return view().back(); }
    std::size_t find(char c, std::size_t from = 0) const { return view().find(c, from); }
    std::size_t find(std::string_view t, std::size_t from = 0) const { return view().find(t, from); }
    std::size_t find_first_of(std::string_view t, std::size_t from = 0) const { return view().find_first_of(t, from); }
    std::string_view substr(std::size_t at, std::size_t n = std::string_view::npos) const
    {
        return view().substr(at, n);
    }
    friend bool operator==(const NumberText &a, std::string_view b) { return a.view() == b; }
    friend bool operator==(const NumberText &a, const NumberText &b) { return a.view() == b.view(); }
    friend bool operator==(const NumberText &a, const char *b) { return a.view() == std::string_view(b); }
    friend bool operator==(const NumberText &a, const std::string &b) { return a.view() == std::string_view(b); }
    friend std::string operator+(const std::string &a, const NumberText &b) { return a + std::string(b.view()); }
    friend std::string operator+(const NumberText &a, const std::string &b) { return std::string(a.view()) + b; }
    friend std::string operator+(const char *a, const NumberText &b) { return a + std::string(b.view()); }
    friend std::string operator+(const NumberText &a, const char *b) { return std::string(a.view()) + b; }

private:
    static constexpr unsigned char on_heap = 0xff;
    void assign(std::string_view text)
    {
        if (text.size() <= sizeof inline_) {
            if (!text.empty()) std::memcpy(inline_, text.data(), text.size());
            size_ = static_cast<unsigned char>(text.size());
        } else {
            heap_ = new std::string(text);
            size_ = on_heap;
        }
    }
    // Takes other's text; other is left empty.
    void take(NumberText &other) noexcept
    {
        if (other.size_ == on_heap)
            heap_ = other.heap_;
        else if (other.size_ > 0)
            std::memcpy(inline_, other.inline_, other.size_);
        size_ = other.size_;
        other.size_ = 0;
    }
    void release()
    {
        if (size_ == on_heap) delete heap_;
        size_ = 0;
    }
    union {
        char inline_[15];
        std::string *heap_;
    };
    unsigned char size_ = 0;
};

struct Number {
    double value = 0;
    NumberText text;  // as written, without padding blanks
};

// A number of the usual form in parts: its value is mantissa x 10^scale
// (negated when negative), with mantissa at most 2^53 and scale within
// +-22, so that one multiplication or division of exact doubles gives the
// correctly rounded value.
struct Decimal {
    std::uint64_t mantissa = 0;
    int scale = 0;
    bool negative = false;
};
// Powers of ten a double holds exactly.
inline constexpr double exact_powers_of_ten[] = {1e0,  1e1,  1e2,  1e3,  1e4,  1e5,  1e6,  1e7,
                                                 1e8,  1e9,  1e10, 1e11, 1e12, 1e13, 1e14, 1e15,
                                                 1e16, 1e17, 1e18, 1e19, 1e20, 1e21, 1e22};
// Exact operands: the one rounding is the correct one, as from_chars's.
inline double decimal_value(const Decimal &d)
{
    double v = static_cast<double>(d.mantissa);
    v = d.scale < 0 ? v / exact_powers_of_ten[-d.scale] : v * exact_powers_of_ten[d.scale];
    return d.negative ? -v : v;
}

// Numbers of one field written one after another, as a FIR's coefficients
// are: the values parsed once, each text read from the line it stands in
// when asked for (a Number made then), so that a coefficient costs its
// value and no copy of its text. Copies share the list: a dictionary FIR
// referred to many times is held once; a change to a shared list copies it
// first. Reads like a vector of Number, by value.
class NumberList {
public:
    class const_iterator {
    public:
        using value_type = Number;
        using difference_type = std::ptrdiff_t;
        const_iterator() = default;
        const_iterator(const NumberList *list, std::size_t at) : list_(list), at_(at) {}
        Number operator*() const { return (*list_)[at_]; }
        const_iterator &operator++()
        {
            ++at_;
            return *this;
        }
        const_iterator operator++(int)
        {
            const_iterator was = *this;
            ++at_;
            return was;
        }
        friend bool operator==(const const_iterator &a, const const_iterator &b) { return a.at_ == b.at_; }

    private:
        const NumberList *list_ = nullptr;
        std::size_t at_ = 0;
    };

    std::size_t size() const { return items_ ? items_->codes.size() : 0; }
    bool empty() const { return size() == 0; }
    double value(std::size_t i) const
    {
        std::uint32_t code = items_->codes[i];
        Decimal d;
        return parts(code, d) ? decimal_value(d) : items_->others[code & payload];
    }
    // Every value in order, after what out holds.
    void append_values(std::vector<double> &out) const
    {
        if (!items_) return;
        out.reserve(out.size() + size());
        for (std::uint32_t code : items_->codes) {
            Decimal d;
            out.push_back(parts(code, d) ? decimal_value(d) : items_->others[code & payload]);
        }
    }
    Number operator[](std::size_t i) const
    {
        const Run &run = run_of(i);
        std::string_view field = run.text.view().substr(run.at + (i - run.first) * run.width, run.width);
        return Number{value(i), NumberText(trim_blanks(field))};
    }
    Number front() const { return (*this)[0]; }
    Number back() const { return (*this)[size() - 1]; }
    const_iterator begin() const { return const_iterator(this, 0); }
    const_iterator end() const { return const_iterator(this, size()); }

    void reserve(std::size_t n) { own().codes.reserve(n); }
    // A number whose text is the field of width characters at column at
    // (from 0) of text, blanks around it left out; parts when its text has
    // the usual form (see Decimal), which holds it in four bytes.
    void push_back(double value, const Decimal *parts, const LineText &text, std::size_t at, std::size_t width)
    {
        Items &items = own();
        Run *last = items.runs.empty() ? nullptr : &items.runs.back();
        if (!(last && last->width == width && last->text.data() == text.data() &&
              last->at + (items.codes.size() - last->first) * width == at))
            items.runs.push_back(Run{text, at, width, items.codes.size()});
        add(items, value, parts);
    }
    // A number made elsewhere, its text held with it.
    void push_back(const Number &number)
    {
        push_back(number.value, nullptr, LineText(std::string(number.text.view())), 0, number.text.size());
    }
    void append(const NumberList &more)
    {
        if (more.empty()) return;
        Items &items = own();
        std::size_t base = items.codes.size();
        for (const Run &r : more.items_->runs) items.runs.push_back(Run{r.text, r.at, r.width, base + r.first});
        for (std::size_t i = 0; i < more.size(); ++i) {
            Decimal d;
            bool usual = more.parts(more.items_->codes[i], d);
            add(items, more.value(i), usual ? &d : nullptr);
        }
    }

private:
    // A code: sign (bit 31), the scale less the list's lowest (bits 27 to
    // 30) and the mantissa (bits 0 to 26); scale bits all set for a value
    // held as a double among others, at the index in bits 0 to 26.
    static constexpr std::uint32_t payload = (std::uint32_t(1) << 27) - 1, other = 15;
    // Numbers first, first + 1, ... stand in text from column at on, a field
    // of width each, until the next run's first.
    struct Run {
        LineText text;
        std::size_t at = 0, width = 0;
        std::size_t first = 0;
    };
    struct Items {
        std::vector<std::uint32_t> codes;
        std::vector<double> others;
        int lowest = 0;  // scale of scale bits 0: the first usual number's less 7
        bool has_lowest = false;
        std::vector<Run> runs;
    };
    bool parts(std::uint32_t code, Decimal &d) const
    {
        std::uint32_t scale = (code >> 27) & 15;
        if (scale == other) return false;
        d.mantissa = code & payload;
        d.scale = items_->lowest + static_cast<int>(scale);
        d.negative = (code >> 31) != 0;
        return true;
    }
    static void add(Items &items, double value, const Decimal *d)
    {
        if (d && d->mantissa <= payload) {
            if (!items.has_lowest) {
                items.lowest = d->scale - 7;
                items.has_lowest = true;
            }
            int scale = d->scale - items.lowest;
            if (scale >= 0 && scale < static_cast<int>(other)) {
                // value is decimal_value(*d), which gives it back bit for bit.
                items.codes.push_back((d->negative ? std::uint32_t(1) << 31 : 0) |
                                      static_cast<std::uint32_t>(scale) << 27 |
                                      static_cast<std::uint32_t>(d->mantissa));
                return;
            }
        }
        if (items.others.size() > payload) throw std::length_error("too many numbers in one list");
        items.codes.push_back(other << 27 | static_cast<std::uint32_t>(items.others.size()));
        items.others.push_back(value);
    }
    static std::string_view trim_blanks(std::string_view text)
    {
        while (!text.empty() && text.front() == ' ') text.remove_prefix(1);
        while (!text.empty() && text.back() == ' ') text.remove_suffix(1);
        return text;
    }
    const Run &run_of(std::size_t i) const
    {
        const std::vector<Run> &runs = items_->runs;
        if (runs.size() == 1) return runs.front();
        auto after = std::upper_bound(runs.begin(), runs.end(), i,
                                      [](std::size_t n, const Run &r) { return n < r.first; });
        return *(after - 1);
    }
    Items &own()
    {
        if (!items_) items_ = std::make_shared<Items>();
        else if (items_.use_count() > 1) items_ = std::make_shared<Items>(*items_);
        return *items_;
    }
    std::shared_ptr<Items> items_;
};

struct Text {
    std::string text;
    std::size_t max = 0;  // SEED's maximum length of the field
    bool too_long() const { return text.size() > max; }
};

// A SEED time "YYYY,DDD[,HH[:MM[:SS[.FFFF]]]]" (UTC). An empty text is an
// open end: later than every time.
struct Time {
    std::string text;
    std::int64_t value = 0;  // ten-thousandths of a second since 0000,001
    bool open() const { return text.empty(); }
};

constexpr std::int64_t open_time = INT64_MAX;

// Parses a SEED time; returns false when the text is not one.
bool parse_time(std::string_view text, std::int64_t &value);

// A UNIX time (seconds) as a full SEED time "YYYY,DDD,HH:MM:SS"; false
// when it is before 1970 or after 9999.
bool seed_time_from_unix(long long seconds, std::string &text);

// Reads the fields of one line in order, each as the field table lays it
// out (common/seed/field_table.hpp). Every failure throws Error naming the
// line's place and the field: "B052 field 18 (sample rate)".
class FieldReader {
public:
    // Checks the framing (type digits, length field equal to the line's
    // length, printable ASCII) and starts after the length field.
    FieldReader(const Line &line, int type);

    // Raw text of a fixed field, untrimmed.
    std::string fixed(int field);
    // Trimmed; a fixed text field that must not be blank.
    std::string code(int field);
    char character(int field);
    // One of the code letters SEED defines for the field.
    char character(int field, std::string_view allowed);
    // Unsigned decimal digits, blanks around them allowed.
    long integer(int field);
    // A finite decimal number, blanks around it allowed.
    Number real(int field);
    Text variable(int field);
    // Open (empty) only where the table lets the field be empty.
    Time time(int field);

    // A finite decimal number as real reads one, without its text; usual
    // set when parts holds it (see Decimal).
    double real_value(int field, Decimal &parts, bool &usual);
    // The characters a fixed field takes.
    std::size_t width(int field) const { return static_cast<std::size_t>(layout(field).width); }
    // The column (from 0) the next field starts at, and the line read.
    std::size_t column() const { return at_; }
    const Line &line() const { return line_; }

    // Characters left after the last field are an error.
    void done();
    bool at_end() const { return at_ >= text_.size(); }
    std::size_t remaining() const { return at_ < text_.size() ? text_.size() - at_ : 0; }

    // Reads a count field of groups of group_width characters each and
    // checks that the line holds that many.
    long count(int field, std::size_t group_width);

    [[noreturn]] void fail(int field, const std::string &message) const;

private:
    const seed_field::Field &layout(int field) const;
    std::string_view take(int field);
    const Line &line_;
    std::string_view text_;
    std::size_t at_ = 7;
    int type_;
};

// Blockette type of a line after its framing is checked (length field,
// digits); throws Error otherwise.
int framed_type(const Line &line);

// "B052 field 18 (sample rate)", the name from the field table.
inline std::string field_label(int type, int field) { return seed_field::label(type, field); }

// Number parsing shared by the fields and the program's arguments: the
// whole text must be the number. Returns false otherwise.
bool parse_real(std::string_view text, double &value);
// The same, with the parts of a number of the usual form (usual set then).
bool parse_real(std::string_view text, double &value, Decimal &parts, bool &usual);
bool parse_unsigned(std::string_view text, long long &value);

std::string_view trim(std::string_view text);

}  // namespace seed
