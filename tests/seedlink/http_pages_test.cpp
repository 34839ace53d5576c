#include <gtest/gtest.h>

#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <mutex>
#include <thread>

#include "seedlink/client_connection.h"
#include "seedlink/http_pages.h"
#include "seedlink/server.h"
#include "seedlink_test_client.h"

namespace nereid::seedlink {
namespace {

namespace fs = std::filesystem;

// A page folder in a temporary directory, with a file beside it that must stay unreachable.
class PageFolder : public ::testing::Test {
protected:
    void SetUp() override {
        char pattern[] = "/tmp/nereid-pages-XXXXXX";
        ASSERT_NE(mkdtemp(pattern), nullptr);
        root = pattern;
        fs::create_directory(root / "web");
        Write(root / "web" / "index.html", "<html>station</html>");
        Write(root / "web" / "app.js", "console.log(1);");
        Write(root / "web" / ".hidden", "hidden");
        Write(root / "secret.txt", "secret");
    }
    void TearDown() override { fs::remove_all(root); }
    static void Write(const fs::path& path, const std::string& text) {
        std::ofstream(path, std::ios::binary) << text;
    }
    static SHttpRequest Request(const std::string& method, const std::string& path) {
        SHttpRequest r;
        r.method = method;
        r.path = path;
        r.version = "HTTP/1.1";
        return r;
    }
    static std::string Body(const std::string& response) {
        const std::size_t end = response.find("\r\n\r\n");
        return end == std::string::npos ? std::string() : response.substr(end + 4);
    }

    fs::path root;
    int statusCalls = 0;
};

TEST_F(PageFolder, ServesThePageItsScriptAndTheStatusDocumentWithTheirTypes) {
    CHttpPages here((root / "web").string(), [this] {
        ++statusCalls;
        return std::string("{\"ok\": true}");
    });
    std::string response;
    ASSERT_TRUE(here.Answer(Request("GET", "/"), response));
    EXPECT_EQ(response.rfind("HTTP/1.1 200 OK\r\n", 0), 0u);
    EXPECT_NE(response.find("Content-Type: text/html; charset=utf-8\r\n"), std::string::npos);
    EXPECT_NE(response.find("Cache-Control: no-store\r\n"), std::string::npos);
    EXPECT_EQ(Body(response), "<html>station</html>");

    ASSERT_TRUE(here.Answer(Request("GET", "/app.js"), response));
    EXPECT_NE(response.find("Content-Type: text/javascript"), std::string::npos);
    EXPECT_NE(response.find("Content-Length: 15\r\n"), std::string::npos);

    ASSERT_TRUE(here.Answer(Request("GET", "/status.json"), response));
    EXPECT_NE(response.find("Content-Type: application/json\r\n"), std::string::npos);
    EXPECT_EQ(Body(response), "{\"ok\": true}");
    EXPECT_EQ(statusCalls, 1);

    // HEAD: the same head, no body.
    ASSERT_TRUE(here.Answer(Request("HEAD", "/"), response));
    EXPECT_NE(response.find("Content-Length: 20\r\n"), std::string::npos);
    EXPECT_EQ(Body(response), "");
}

TEST_F(PageFolder, NothingOutsideTheFolderNorHiddenNorMissingAndNoWrites) {
    CHttpPages here((root / "web").string(), {});
    std::string response;
    for (const char* path :
         {"/../secret.txt", "/..", "/.hidden", "/web/app.js", "/%2e%2e/secret.txt", "/app.js/",
          "/missing.html", "//etc/passwd", "/a\\b"}) {
        EXPECT_FALSE(here.Answer(Request("GET", path), response)) << path;
    }
    ASSERT_TRUE(here.Answer(Request("POST", "/status.json"), response));
    EXPECT_EQ(response.rfind("HTTP/1.1 405 ", 0), 0u);
    ASSERT_TRUE(here.Answer(Request("PUT", "/index.html"), response));
    EXPECT_EQ(response.rfind("HTTP/1.1 405 ", 0), 0u);
    EXPECT_TRUE(fs::exists(root / "web" / "index.html"));
    // Without a status source the document is still JSON.
    ASSERT_TRUE(here.Answer(Request("GET", "/status.json"), response));
    EXPECT_EQ(Body(response), "{}");
}

TEST(PageNames, PlainNamesOnlyAndTypesByEnding) {
    EXPECT_TRUE(PlainPageName("index.html"));
    EXPECT_TRUE(PlainPageName("app-1.2_x.js"));
    EXPECT_FALSE(PlainPageName(""));
    EXPECT_FALSE(PlainPageName(".."));
    EXPECT_FALSE(PlainPageName(".env"));
    EXPECT_FALSE(PlainPageName("a/b"));
    EXPECT_FALSE(PlainPageName("a b"));
    EXPECT_FALSE(PlainPageName(std::string(101, 'a')));
    EXPECT_TRUE(PlainPageName(std::string(100, 'a')));
    EXPECT_STREQ(PageContentType("x.css"), "text/css; charset=utf-8");
    EXPECT_STREQ(PageContentType("x.png"), "image/png");
    EXPECT_STREQ(PageContentType("x.mjs"), "text/javascript; charset=utf-8");
    EXPECT_STREQ(PageContentType("html"), "application/octet-stream");
}

// The connection hands every path but /seedlink to the pages; the WebSocket stays where it was.
TEST(PageConnection, PagesBesideTheWebSocketAndA404ForTheRest) {
    CRecordRing ring(4);
    SServiceIdentity who;
    int asked = 0;
    const HttpHandler handler = [&asked](const SHttpRequest& r, std::string& out) {
        ++asked;
        if (r.path != "/status.json") {
            return false;
        }
        out = HttpResponse(200, "OK", "application/json", "{}", false);
        return true;
    };
    CClientConnection status(ring, who, {}, handler);
    const std::string get = "GET /status.json?x=1 HTTP/1.1\r\nHost: h\r\n\r\n";
    status.Receive(get.data(), get.size());
    EXPECT_EQ(status.Wire().rfind("HTTP/1.1 200 OK\r\n", 0), 0u);
    EXPECT_TRUE(status.Closing());
    EXPECT_FALSE(status.SeedLinkClient());

    CClientConnection missing(ring, who, {}, handler);
    const std::string other = "GET /nothing HTTP/1.1\r\n\r\n";
    missing.Receive(other.data(), other.size());
    EXPECT_EQ(missing.Wire().rfind("HTTP/1.1 404 ", 0), 0u);
    EXPECT_EQ(asked, 2);

    CClientConnection socket(ring, who, {}, handler);
    const std::string upgrade =
        "GET /seedlink HTTP/1.1\r\nHost: h\r\nUpgrade: websocket\r\n"
        "Connection: Upgrade\r\nSec-WebSocket-Key: dGhlIHNhbXBsZSBub25jZQ==\r\n"
        "Sec-WebSocket-Version: 13\r\n\r\n";
    socket.Receive(upgrade.data(), upgrade.size());
    EXPECT_EQ(socket.Wire().rfind("HTTP/1.1 101 ", 0), 0u);
    EXPECT_TRUE(socket.WebSocket());
    EXPECT_TRUE(socket.SeedLinkClient());
    EXPECT_EQ(asked, 2);

    // Without pages, as before: the page paths are not found.
    CClientConnection plain(ring, who);
    plain.Receive(get.data(), get.size());
    EXPECT_EQ(plain.Wire().rfind("HTTP/1.1 404 ", 0), 0u);
}

// A browser polling the page must neither fill the operator's log nor show up as a client;
// a SeedLink client on the same port does both.
TEST(PageServer, PageRequestsAreQuietAndUnlistedSeedLinkClientsAreNot) {
    CRecordRing ring(16);
    SServiceIdentity who;
    who.network = "XX";
    who.station = "TEST";
    // Before the server: its thread may still log while the server is being stopped.
    std::mutex mutex;
    std::vector<std::string> lines;
    CSeedLinkServer server(ring, who);
    server.SetLog([&](const std::string& text) {
        std::lock_guard lock(mutex);
        lines.push_back(text);
    });
    server.SetHttpHandler([](const SHttpRequest&, std::string& out) {
        out = HttpResponse(200, "OK", "application/json", "{}", false);
        return true;
    });
    ASSERT_EQ(server.Start("127.0.0.1", 0), kServerStarted);
    test::TestClient seedLink(server.Port());
    ASSERT_TRUE(seedLink.Send("HELLO\r\n"));
    EXPECT_FALSE(seedLink.Line().empty());
    for (int i = 0; i < 5; ++i) {
        test::TestClient browser(server.Port());
        ASSERT_TRUE(browser.Send("GET /status.json HTTP/1.1\r\nHost: h\r\n\r\n"));
        EXPECT_EQ(browser.Line(), "HTTP/1.1 200 OK");
    }
    // The snapshot is renewed about once a second.
    std::vector<SConnectionInfo> listed;
    const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(4);
    while (std::chrono::steady_clock::now() < end) {
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
        listed = server.Connections();
        if (listed.size() == 1 && server.ClientCount() == 1) {
            break;
        }
    }
    ASSERT_EQ(listed.size(), 1u);
    EXPECT_FALSE(listed[0].webSocket);
    server.Stop();
    EXPECT_TRUE(server.Connections().empty());
    std::lock_guard lock(mutex);
    ASSERT_FALSE(lines.empty());
    for (const std::string& line : lines) {
        EXPECT_EQ(line.find("GET"), std::string::npos) << line;
    }
    EXPECT_EQ(std::count_if(
                  lines.begin(), lines.end(),
                  [](const std::string& l) { return l.find(" connected") != std::string::npos; }),
              1);
}

} // namespace
} // namespace nereid::seedlink
