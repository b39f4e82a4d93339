// Texts that reach a terminal in messages: a file name or a document can
// hold anything, and an escape sequence or a newline in a message would
// clear a screen or split the one line a script reads.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace seed {

// The text with every byte that is a control character (C0, DEL, the C1
// controls) or not part of a UTF-8 character written as \xHH; printable
// ASCII and UTF-8 characters are kept as they are.
std::string printable(std::string_view text);

// A value quoted in a message, printable: "text". A longer text is cut
// after max bytes (at a character boundary) and says how long it was:
// "12345..." (5000 characters).
std::string quoted_value(std::string_view text, std::size_t max = 40);

}  // namespace seed
