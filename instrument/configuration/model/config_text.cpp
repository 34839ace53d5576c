#include "instrument/configuration/model/config_text.h"

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <cstdlib>
#include <sstream>

namespace nereid::instrument {

std::string OnOff(bool on) {
    return on ? "on" : "off";
}

std::string DecimalText(double value) {
    char text[32];
    std::snprintf(text, sizeof text, "%.2f", value);
    std::string s = text;
    while (!s.empty() && s.back() == '0') {
        s.pop_back();
    }
    if (!s.empty() && s.back() == '.') {
        s.pop_back();
    }
    return s;
}

std::string ListText(const char* const* names, int count, int position) {
    if (position < 0) {
        return "unselected";
    }
    if (position >= count) {
        return "position " + std::to_string(position);
    }
    return names[position];
}

std::string Lower(std::string s) {
    std::transform(s.begin(), s.end(), s.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return s;
}

std::vector<std::string> SplitKey(const std::string& key) {
    std::vector<std::string> parts;
    std::stringstream in(key);
    std::string part;
    while (std::getline(in, part, '.')) {
        parts.push_back(part);
    }
    return parts;
}

bool ParseOnOff(const std::string& text, bool& out) {
    const std::string v = Lower(text);
    if (v == "on" || v == "true" || v == "1" || v == "yes") {
        out = true;
        return true;
    }
    if (v == "off" || v == "false" || v == "0" || v == "no") {
        out = false;
        return true;
    }
    return false;
}

// Digits only, as the pages' number fields accept.
bool ParseWhole(const std::string& text, long long& out) {
    if (text.empty() || text.size() > 12 ||
        !std::all_of(text.begin(), text.end(), [](unsigned char c) { return std::isdigit(c); })) {
        return false;
    }
    out = std::strtoll(text.c_str(), nullptr, 10);
    return true;
}

// Digits with at most one decimal point, as the trigger page's decimal fields accept.
bool ParseDecimal(const std::string& text, double& out) {
    int points = 0;
    int digits = 0;
    for (unsigned char c : text) {
        if (c == '.') {
            ++points;
        } else if (std::isdigit(c)) {
            ++digits;
        } else {
            return false;
        }
    }
    if (digits == 0 || points > 1 || text.size() > 16) {
        return false;
    }
    out = std::strtod(text.c_str(), nullptr);
    return true;
}

int FindName(const char* const* names, int count, const std::string& text) {
    const std::string v = Lower(text);
    for (int i = 0; i < count; ++i) {
        if (Lower(names[i]) == v) {
            return i;
        }
    }
    return -1;
}

} // namespace nereid::instrument
