// The hardware search's statement texts, built at run time from the pattern.
#pragma once

#include <string>

namespace reports {

// Shell wildcards become SQL LIKE wildcards in place: "?" -> "_", "*" -> "%".
// The SQL wildcards themselves pass unchanged.
void translate_wildcards(char *pattern);

// format with its one "%s" replaced by pattern, every single quote of the
// pattern doubled: inside the format's quoted literal the pattern is then
// matched as it stands and can never end the literal.
std::string format_search(const char *format, const char *pattern);

}  // namespace reports
