#pragma once

#include <map>
#include <string>
#include <string_view>

namespace nereid::seedlink {

// Longest request head (request line and headers) taken, bytes.
constexpr std::size_t kMaxHttpHead = 8192;

// One HTTP/1.1 request head.
struct SHttpRequest {
    std::string method;
    std::string path; // without the query
    std::string version;
    std::map<std::string, std::string> headers; // names in lower case, values trimmed
};

// True when `start` (the first bytes from a client) begins with an HTTP method and a blank:
// the client is a browser or a WebSocket client, not a SeedLink client.
bool LooksLikeHttp(std::string_view start);

// Takes a head apart ("\r\n\r\n" excluded). False with `why` set when malformed.
bool ParseHttpRequest(std::string_view head, SHttpRequest& request, std::string& why);

// True when the comma-separated header value `value` holds `token` (case ignored).
bool HeaderHasToken(std::string_view value, std::string_view token);

// A complete response with a plain-text body; the connection closes after it.
std::string HttpResponse(int status, std::string_view reason, std::string_view body);

} // namespace nereid::seedlink
