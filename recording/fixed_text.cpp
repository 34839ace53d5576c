#include "recording/fixed_text.h"

#include <cerrno>
#include <cstdarg>
#include <cstdio>
#include <cstdlib>

namespace nereid::recording {

std::string Format(const char* format, ...) {
    char buffer[256];
    va_list args;
    va_start(args, format);
    const int n = std::vsnprintf(buffer, sizeof buffer, format, args);
    va_end(args);
    if (n < 0) {
        return {};
    }
    return std::string(buffer, static_cast<std::size_t>(n) < sizeof buffer
                                   ? static_cast<std::size_t>(n)
                                   : sizeof buffer - 1);
}

void PutField(std::string& record, std::size_t offset, std::size_t width, const std::string& text) {
    if (offset >= record.size()) {
        return;
    }
    std::size_t n = text.size() < width ? text.size() : width;
    if (offset + n > record.size()) {
        n = record.size() - offset;
    }
    record.replace(offset, n, text, 0, n);
}

std::string TakeText(const unsigned char* data, std::size_t size, std::size_t offset,
                     std::size_t width) {
    if (offset >= size) {
        return {};
    }
    const std::size_t n = size - offset < width ? size - offset : width;
    return std::string(reinterpret_cast<const char*>(data) + offset, n);
}

std::string Trim(const std::string& text) {
    std::size_t begin = 0;
    std::size_t end = text.size();
    while (begin < end && (text[begin] == ' ' || text[begin] == '\0')) {
        ++begin;
    }
    while (end > begin && (text[end - 1] == ' ' || text[end - 1] == '\0')) {
        --end;
    }
    return text.substr(begin, end - begin);
}

bool ParseIntField(const std::string& text, long& value) {
    const std::string t = Trim(text);
    if (t.empty()) {
        return false;
    }
    std::size_t i = 0;
    if (t[0] == '-' || t[0] == '+') {
        i = 1;
    }
    if (i == t.size()) {
        return false;
    }
    long long v = 0;
    for (; i < t.size(); ++i) {
        if (t[i] < '0' || t[i] > '9') {
            return false;
        }
        v = v * 10 + (t[i] - '0');
        if (v > 2147483648LL) {
            return false;
        }
    }
    value = static_cast<long>(t[0] == '-' ? -v : v);
    return true;
}

bool ParseNumberField(const std::string& text, double& value) {
    const std::string t = Trim(text);
    if (t.empty()) {
        return false;
    }
    bool digits = false;
    bool dot = false;
    for (std::size_t i = 0; i < t.size(); ++i) {
        const char c = t[i];
        if (c >= '0' && c <= '9') {
            digits = true;
        } else if (c == '.' && !dot) {
            dot = true;
        } else if (!((c == '-' || c == '+') && i == 0)) {
            return false;
        }
    }
    if (!digits) {
        return false;
    }
    errno = 0;
    value = std::strtod(t.c_str(), nullptr);
    return errno == 0;
}

} // namespace nereid::recording
