// The wording the checks share in their findings' messages.
#pragma once

#include <cstdio>
#include <string>

namespace seed::finding_text {

// A value in six significant digits ("6.29145e+08").
inline std::string number(double value)
{
    char text[64];
    std::snprintf(text, sizeof text, "%.6g", value);
    return text;
}

// "stage 3".
inline std::string stage_name(int number) { return "stage " + std::to_string(number); }

}  // namespace seed::finding_text
