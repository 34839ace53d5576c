#include "seedlink/http_request.h"

#include <cctype>
#include <vector>

namespace nereid::seedlink {

namespace {

std::string Lower(std::string_view text) {
    std::string out(text);
    for (char& c : out) {
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    }
    return out;
}

std::string_view Trim(std::string_view text) {
    while (!text.empty() && (text.front() == ' ' || text.front() == '\t')) {
        text.remove_prefix(1);
    }
    while (!text.empty() && (text.back() == ' ' || text.back() == '\t')) {
        text.remove_suffix(1);
    }
    return text;
}

} // namespace

bool LooksLikeHttp(std::string_view start) {
    // SeedLink has no command of these names (the 4.0 protocol reserves them for HTTP).
    for (std::string_view method :
         {"GET ", "HEAD ", "POST ", "PUT ", "DELETE ", "OPTIONS ", "TRACE ", "CONNECT "}) {
        if (start.substr(0, method.size()) == method) {
            return true;
        }
    }
    return false;
}

bool ParseHttpRequest(std::string_view head, SHttpRequest& request, std::string& why) {
    std::vector<std::string_view> lines;
    while (!head.empty()) {
        const std::size_t eol = head.find("\r\n");
        lines.push_back(head.substr(0, eol));
        head = eol == std::string_view::npos ? std::string_view() : head.substr(eol + 2);
    }
    if (lines.empty()) {
        why = "empty request";
        return false;
    }
    const std::string_view first = lines[0];
    const std::size_t a = first.find(' ');
    const std::size_t b = a == std::string_view::npos ? a : first.find(' ', a + 1);
    if (b == std::string_view::npos || first.find(' ', b + 1) != std::string_view::npos) {
        why = "request line is not METHOD PATH VERSION";
        return false;
    }
    request.method = std::string(first.substr(0, a));
    const std::string_view target = first.substr(a + 1, b - a - 1);
    request.path = std::string(target.substr(0, target.find('?')));
    request.version = std::string(first.substr(b + 1));
    if (request.path.empty() || request.path[0] != '/' || request.version.rfind("HTTP/", 0) != 0) {
        why = "request line is not METHOD /PATH HTTP/x.y";
        return false;
    }
    for (std::size_t i = 1; i < lines.size(); ++i) {
        const std::size_t colon = lines[i].find(':');
        if (colon == std::string_view::npos || colon == 0) {
            why = "header line without a name";
            return false;
        }
        const std::string name = Lower(Trim(lines[i].substr(0, colon)));
        const std::string value(Trim(lines[i].substr(colon + 1)));
        auto [it, added] = request.headers.emplace(name, value);
        if (!added) {
            it->second += ", " + value; // repeated headers are one comma-separated list
        }
    }
    return true;
}

bool HeaderHasToken(std::string_view value, std::string_view token) {
    const std::string wanted = Lower(token);
    while (!value.empty()) {
        const std::size_t comma = value.find(',');
        if (Lower(Trim(value.substr(0, comma))) == wanted) {
            return true;
        }
        value = comma == std::string_view::npos ? std::string_view() : value.substr(comma + 1);
    }
    return false;
}

std::string HttpResponse(int status, std::string_view reason, std::string_view body) {
    return "HTTP/1.1 " + std::to_string(status) + " " + std::string(reason) +
           "\r\nContent-Type: text/plain; charset=utf-8\r\nContent-Length: " +
           std::to_string(body.size()) + "\r\nConnection: close\r\n\r\n" + std::string(body);
}

std::string HttpResponse(int status, std::string_view reason, std::string_view contentType,
                         std::string_view body, bool headOnly) {
    std::string out = "HTTP/1.1 " + std::to_string(status) + " " + std::string(reason) +
                      "\r\nContent-Type: " + std::string(contentType) +
                      "\r\nContent-Length: " + std::to_string(body.size()) +
                      "\r\nCache-Control: no-store\r\nX-Content-Type-Options: nosniff"
                      "\r\nConnection: close\r\n\r\n";
    if (!headOnly) {
        out += body;
    }
    return out;
}

} // namespace nereid::seedlink
