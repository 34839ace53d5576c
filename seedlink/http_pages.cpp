#include "seedlink/http_pages.h"

#include <fstream>
#include <iterator>

namespace nereid::seedlink {

namespace {

// Largest file served, bytes: the page's bundled script is about 1.5 MB.
constexpr std::streamoff kMaxPageFile = 16 * 1024 * 1024;

bool EndsWith(const std::string& text, const char* tail) {
    const std::string t(tail);
    return text.size() >= t.size() && text.compare(text.size() - t.size(), t.size(), t) == 0;
}

} // namespace

bool PlainPageName(const std::string& name) {
    if (name.empty() || name[0] == '.' || name.size() > 100) {
        return false;
    }
    for (const char c : name) {
        const bool plain = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') ||
                           (c >= '0' && c <= '9') || c == '.' || c == '-' || c == '_';
        if (!plain) {
            return false;
        }
    }
    return true;
}

const char* PageContentType(const std::string& name) {
    if (EndsWith(name, ".html")) {
        return "text/html; charset=utf-8";
    }
    if (EndsWith(name, ".js") || EndsWith(name, ".mjs")) {
        return "text/javascript; charset=utf-8";
    }
    if (EndsWith(name, ".css")) {
        return "text/css; charset=utf-8";
    }
    if (EndsWith(name, ".json")) {
        return "application/json";
    }
    if (EndsWith(name, ".png")) {
        return "image/png";
    }
    if (EndsWith(name, ".svg")) {
        return "image/svg+xml";
    }
    return "application/octet-stream";
}

CHttpPages::CHttpPages(std::string folder, JsonSource status)
    : m_Folder(std::move(folder)), m_Status(std::move(status)) {}

bool CHttpPages::Answer(const SHttpRequest& request, std::string& response) const {
    const bool head = request.method == "HEAD";
    if (request.method != "GET" && !head) {
        response = HttpResponse(405, "Method Not Allowed", "The station page is read-only.\n");
        return true;
    }
    if (request.path == "/status.json") {
        response = HttpResponse(200, "OK", "application/json", m_Status ? m_Status() : "{}", head);
        return true;
    }
    const std::string name = request.path == "/" ? "index.html" : request.path.substr(1);
    if (!PlainPageName(name)) {
        return false;
    }
    std::ifstream file(m_Folder + "/" + name, std::ios::binary | std::ios::ate);
    if (!file) {
        return false;
    }
    const std::streamoff size = file.tellg();
    if (size < 0 || size > kMaxPageFile) {
        return false;
    }
    file.seekg(0);
    std::string body(static_cast<std::size_t>(size), '\0');
    if (!file.read(body.data(), size)) {
        return false;
    }
    response = HttpResponse(200, "OK", PageContentType(name), body, head);
    return true;
}

} // namespace nereid::seedlink
