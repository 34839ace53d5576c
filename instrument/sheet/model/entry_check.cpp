#include "instrument/sheet/model/entry_check.h"

#include <cctype>

namespace nereid::instrument {

bool ParseWholeNumber(const std::string& text, long long& value) {
    std::size_t first = text.find_first_not_of(' ');
    const std::size_t last = text.find_last_not_of(' ');
    if (first == std::string::npos) {
        return false;
    }
    bool negative = false;
    if (text[first] == '-' || text[first] == '+') {
        negative = text[first] == '-';
        ++first;
    }
    // At most 18 digits: the value then fits a long long whatever the digits are.
    if (first > last || last - first + 1 > 18) {
        return false;
    }
    long long v = 0;
    for (std::size_t k = first; k <= last; ++k) {
        if (!std::isdigit(static_cast<unsigned char>(text[k]))) {
            return false;
        }
        v = v * 10 + (text[k] - '0');
    }
    value = negative ? -v : v;
    return true;
}

std::string CorrectionNote(const std::string& field, const std::string& typed,
                           const std::string& sent, const std::string& unit) {
    if (typed == sent) {
        return std::string();
    }
    return field + ": " + typed + unit + " is outside the accepted values; " + sent + unit +
           " will be sent.";
}

long long ReadWholeEntry(const std::string& field, const std::string& text, long long current,
                         const std::function<long long(long long)>& correct, std::string& note) {
    long long typed = 0;
    if (!ParseWholeNumber(text, typed)) {
        note = field + ": \"" + text + "\" is not a whole number; " + std::to_string(current) +
               " is kept.";
        return current;
    }
    const long long sent = correct ? correct(typed) : typed;
    note = CorrectionNote(field, std::to_string(typed), std::to_string(sent));
    return sent;
}

} // namespace nereid::instrument
