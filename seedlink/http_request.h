#pragma once

#include <functional>
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
// The same with a body of the given Content-Type, never cached: a status page that is
// reloaded must show the service as it is now. A HEAD request gets the head alone.
std::string HttpResponse(int status, std::string_view reason, std::string_view contentType,
                         std::string_view body, bool headOnly);

// Answers an HTTP request the SeedLink WebSocket does not take (any path but "/seedlink"):
// true with the whole response in `response`, false when the path is not served here.
using HttpHandler = std::function<bool(const SHttpRequest& request, std::string& response)>;

} // namespace nereid::seedlink
