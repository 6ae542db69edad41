#pragma once

#include <string>
#include <string_view>

// The texts one after the other with `separator` between each two, none at the ends.
template <typename Texts>
std::string Join(const Texts& texts, std::string_view separator) {
    std::string joined;
    bool first = true;
    for (const auto& text : texts) {
        if (!first) joined += separator;
        joined += text;
        first = false;
    }
    return joined;
}
