#pragma once

#include <functional>
#include <string>

#include "seedlink/http_request.h"

namespace nereid::seedlink {

// The read-only station page: the files of one folder (flat, built with the program) and a
// JSON document made on each request. Nothing a request names can reach outside the folder:
// only plain names of letters, digits, '.', '-' and '_' (no leading dot) are looked up.
class CHttpPages {
public:
    using JsonSource = std::function<std::string()>;

    CHttpPages(std::string folder, JsonSource status);

    // GET and HEAD of "/" (index.html), "/NAME" and "/status.json"; other methods get 405.
    // False for paths this does not serve (the caller answers 404).
    bool Answer(const SHttpRequest& request, std::string& response) const;

    // For CSeedLinkServer::SetHttpHandler; the pages must outlive the server.
    HttpHandler Handler() const {
        return [this](const SHttpRequest& r, std::string& out) { return Answer(r, out); };
    }

private:
    std::string m_Folder;
    JsonSource m_Status;
};

// True when `name` is a plain file name the pages may serve.
bool PlainPageName(const std::string& name);

// The Content-Type of a served file, by its ending.
const char* PageContentType(const std::string& name);

} // namespace nereid::seedlink
