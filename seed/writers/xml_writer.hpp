// A small streaming XML writer for the StationXML documents: elements,
// attributes and text, escaped as XML 1.0 requires, indented two
// spaces a level, each element's text on its line. Well-formedness holds by
// construction: every start has its end (end() closes the innermost), an
// attribute can only follow its start, names are the writer's own literals.
// The bytes are those of libxml2's text writer with indentation, which the
// documents were first written with; this one appends to one buffer and
// hands it on in blocks of 64 KiB, a few times faster.
#pragma once

#include <functional>
#include <string>
#include <string_view>
#include <vector>

namespace seed {

class XmlWriter {
public:
    using Sink = std::function<void(std::string_view)>;

    // Begins the document with its declaration (UTF-8). sink may throw: the
    // exception leaves the writer, and what it holds is dropped.
    explicit XmlWriter(Sink sink);

    // name: a literal that outlives the element.
    void start(const char *name);
    void attribute(const char *name, std::string_view value);  // right after start()
    void text(std::string_view value);
    void end();
    void element(const char *name, std::string_view value)
    {
        start(name);
        text(value);
        end();
    }
    // Ends every element still open and hands everything on.
    void finish();

private:
    struct Open {
        const char *name;
        bool tag_open;  // "<name ..." written, its ">" not yet
    };
    void close_tag();
    void indent();
    void flush_if_full()
    {
        if (out_.size() >= block) flush();
    }
    void flush();

    static constexpr std::size_t block = 64 * 1024;
    Sink sink_;
    std::string out_;
    std::vector<Open> open_;
    bool indent_end_ = true;  // the next end tag goes on a line of its own
};

}  // namespace seed
