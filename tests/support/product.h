// The product name this build's installer carries (the CMake option QUENDOLIN_PRODUCT_NAME), and
// the texts and file names the tests expect from it.
#pragma once

#include <cctype>
#include <cstring>
#include <string>

#include "product_name.h"

namespace testing_support {

inline std::string ProductName() { return PRODUCT_NAME; }
inline std::string SaverFileName() { return ProductName() + ".scr"; }
inline std::string PackedFileName() { return ProductName() + ".SC_"; }
inline std::string ProductCaption() { return ProductName() + " Bildschirmschoner"; }
inline std::string InstallQuestion() { return "Soll der " + ProductName() + " Bildschirmschoner installiert werden?"; }
inline std::string RegisterQuestion() {
    return "Den " + ProductName() + " Bildschirmschoner als aktiven Bildschirmschoner anmelden?";
}

// The short name Windows gives a file that is alone in its directory: the name itself when it is a
// valid 8.3 name; else the first six characters of its base and "~1", then a dot and the first three
// of its extension, uppercased, with blanks and dots dropped and characters that 8.3 names do not
// allow as '_'.
inline std::string ShortAlias(const std::string& name) {
    auto valid = [](char c) {
        const unsigned char u = static_cast<unsigned char>(c);
        return std::isalnum(u) || u >= 0x80 || std::strchr("!#$%&'()-@^_`{}~", c) != nullptr;
    };
    const std::size_t dot = name.rfind('.');
    const std::string base = name.substr(0, dot);
    const std::string extension = dot == std::string::npos ? "" : name.substr(dot + 1);
    bool short83 = !base.empty() && base.size() <= 8 && extension.size() <= 3 && name.find('.') == dot;
    for (char c : base + extension) short83 = short83 && valid(c);
    if (short83) return name;
    auto clean = [&](const std::string& part, std::size_t keep) {
        std::string out;
        for (char c : part) {
            if (c == ' ' || c == '.') continue;
            if (out.size() < keep) out += valid(c) ? static_cast<char>(std::toupper(static_cast<unsigned char>(c))) : '_';
        }
        return out;
    };
    const std::string shortExtension = clean(extension, 3);
    return clean(base, 6) + "~1" + (shortExtension.empty() ? "" : "." + shortExtension);
}

}  // namespace testing_support
