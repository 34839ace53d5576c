#include <gtest/gtest.h>

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <signal.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <functional>
#include <sstream>
#include <thread>

#include "seedlink_test_client.h"
#include "tests/sim/exec_child.h"

// nereid serve --http against the simulator: the status document as the line, the recording
// and the recorder's Status pages make it, on a port of its own or on the SeedLink port.
namespace nereid::seedlink::test {
namespace {

namespace fs = std::filesystem;

// A child program with standard output and error in files; SIGTERM and wait at the end.
class Program {
public:
    Program(std::vector<std::string> args, const std::string& out, const std::string& err) {
        m_Pid = fork();
        if (m_Pid == 0) {
            dup2(open(out.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644), 1);
            dup2(open(err.c_str(), O_WRONLY | O_CREAT | O_APPEND, 0644), 2);
            nereid::sim::test::ExecOrExit(args);
        }
    }
    ~Program() { Stop(); }
    int Stop() {
        if (m_Pid <= 0) {
            return -1;
        }
        kill(m_Pid, SIGTERM);
        int status = 0;
        waitpid(m_Pid, &status, 0);
        m_Pid = -1;
        return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    }

private:
    pid_t m_Pid = -1;
};

std::string ReadFile(const std::string& path) {
    std::ifstream in(path);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

// Waits up to `ms` for `done`; true when it came.
bool WaitFor(const std::function<bool()>& done, int ms) {
    const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(ms);
    while (std::chrono::steady_clock::now() < end) {
        if (done()) {
            return true;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    return done();
}

// One HTTP GET; the whole response ("" when nobody answers).
std::string HttpGet(int port, const std::string& path) {
    const int fd = socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_port = htons(static_cast<std::uint16_t>(port));
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    std::string response;
    if (connect(fd, reinterpret_cast<sockaddr*>(&a), sizeof a) == 0) {
        const std::string request = "GET " + path + " HTTP/1.1\r\nHost: 127.0.0.1\r\n\r\n";
        if (send(fd, request.data(), request.size(), MSG_NOSIGNAL) ==
            static_cast<ssize_t>(request.size())) {
            char buffer[4096];
            ssize_t n = 0;
            while ((n = recv(fd, buffer, sizeof buffer, 0)) > 0) {
                response.append(buffer, static_cast<std::size_t>(n));
            }
        }
    }
    close(fd);
    return response;
}

// A port free a moment ago, for the tests that need to name it twice.
int FreePort() {
    const int fd = socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    bind(fd, reinterpret_cast<sockaddr*>(&a), sizeof a);
    socklen_t length = sizeof a;
    getsockname(fd, reinterpret_cast<sockaddr*>(&a), &length);
    close(fd);
    return ntohs(a.sin_port);
}

class ServePageTest : public ::testing::Test {
protected:
    void SetUp() override {
        char pattern[] = "/tmp/nereid-serve-page-XXXXXX";
        m_Folder = mkdtemp(pattern);
        m_Link = m_Folder + "/line";
        // A page folder of the test's own: the document comes from the program either way.
        fs::create_directory(m_Folder + "/web");
        std::ofstream(m_Folder + "/web/index.html") << "<html>station</html>";
        setenv("NEREID_WEB_DIR", (m_Folder + "/web").c_str(), 1);
    }
    void TearDown() override {
        m_Serve.reset();
        m_Sim.reset();
        unsetenv("NEREID_WEB_DIR");
        std::error_code ec;
        fs::remove_all(m_Folder, ec);
    }

    void StartSim() {
        m_Sim.reset();
        m_Sim = std::make_unique<Program>(
            std::vector<std::string>{NEREID_SIM_PATH, "--link", m_Link, "--realtime",
                                     "--time-scale", "10", "--serial", "2468"},
            m_Folder + "/sim.out", m_Folder + "/sim.err");
        ASSERT_TRUE(WaitFor([&] { return !ReadFile(m_Folder + "/sim.out").empty(); }, 5000));
    }

    // Starts the service; returns the page's port from its "serving the station page" line.
    int StartServe(std::vector<std::string> extra) {
        std::vector<std::string> args{NEREID_CLI_PATH, "--port", m_Link,      "serve",
                                      "--latency",     "1",      "--silence", "0.6",
                                      "--retry",       "0.2",    "--health",  "5",
                                      "--ring-file",   m_Folder + "/seedlink.ring"};
        args.insert(args.end(), extra.begin(), extra.end());
        m_Serve = std::make_unique<Program>(args, m_Folder + "/serve.out", m_Folder + "/serve.err");
        const std::string prefix = "serving the station page on http://";
        int port = 0;
        WaitFor(
            [&] {
                const std::string out = ReadFile(m_Folder + "/serve.out");
                const std::size_t at = out.find(prefix);
                const std::size_t colon =
                    at == std::string::npos ? at : out.find(':', at + prefix.size());
                if (colon != std::string::npos) {
                    port = std::atoi(out.c_str() + colon + 1);
                }
                return port != 0;
            },
            5000);
        EXPECT_NE(port, 0) << ReadFile(m_Folder + "/serve.err");
        return port;
    }

    // Waits until /status.json holds every one of `parts`; the last document.
    std::string StatusWith(int port, const std::vector<std::string>& parts, int ms = 6000) {
        std::string document;
        WaitFor(
            [&] {
                document = HttpGet(port, "/status.json");
                for (const std::string& part : parts) {
                    if (document.find(part) == std::string::npos) {
                        return false;
                    }
                }
                return true;
            },
            ms);
        return document;
    }

    std::string m_Folder;
    std::string m_Link;
    std::unique_ptr<Program> m_Sim;
    std::unique_ptr<Program> m_Serve;
};

TEST_F(ServePageTest, OnTheSeedLinkPortThePageTheDocumentAndSeedLinkAllAnswer) {
    StartSim();
    const int port = FreePort();
    const std::string address = "127.0.0.1:" + std::to_string(port);
    ASSERT_EQ(StartServe({"--seedlink", address, "--http", address}), port);
    const std::string document =
        StatusWith(port, {"\"connected\": true", "\"Serial Number\": 2468", "\"Lock\": \"Locked\"",
                          "\"Latitude\": 12.34567", "\"channel\": \"HH1\""});
    EXPECT_NE(document.find("\"Serial Number\": 2468"), std::string::npos) << document;
    EXPECT_NE(document.find("\"Latitude\": 12.34567"), std::string::npos) << document;
    EXPECT_NE(document.find("\"station\": {\"network\": \"XX\", \"station\": \"SIM1\""),
              std::string::npos)
        << document;
    EXPECT_NE(document.find("\"crcErrors\": 0"), std::string::npos);
    EXPECT_NE(document.find("\"recording\": {\"on\": false}"), std::string::npos);
    EXPECT_EQ(document.find("\"recorderTime\": null"), std::string::npos);

    const std::string page = HttpGet(port, "/");
    EXPECT_EQ(page.rfind("HTTP/1.1 200 OK\r\n", 0), 0u) << page;
    EXPECT_NE(page.find("<html>station</html>"), std::string::npos);
    EXPECT_EQ(HttpGet(port, "/../serve.err").rfind("HTTP/1.1 404 ", 0), 0u);

    // SeedLink on the same port, listed in the document while it is connected.
    TestClient client(port);
    ASSERT_TRUE(client.Send("HELLO\r\n"));
    EXPECT_NE(client.Line().find("SeedLink"), std::string::npos);
    EXPECT_EQ(client.Line(), "Nereid station service");
    ASSERT_TRUE(client.Send("DATA\r\n")); // uni-station: the data follow at once
    std::vector<DecodedRecord> records;
    EXPECT_TRUE(client.Collect(
        records, [](const auto& got) { return got.size() >= 12; }, 4000));
    EXPECT_NE(StatusWith(port, {"\"protocol\": \"SeedLink 3\""}).find("\"streaming\": true"),
              std::string::npos);
    const std::string errors = ReadFile(m_Folder + "/serve.err");
    EXPECT_EQ(errors.find("beyond this computer"), std::string::npos) << errors;
    EXPECT_EQ(errors.find("GET"), std::string::npos) << "page requests stay out of the log";
}

TEST_F(ServePageTest, TheRecordingAndALostLineAsTheDocumentShowsThem) {
    StartSim();
    const std::string dir = m_Folder + "/files";
    fs::create_directory(dir);
    const int port = StartServe({"--seedlink", "127.0.0.1:0", "--http", "127.0.0.1:0", "--record",
                                 "mseed", "--minutes", "1", "--dir", dir});
    std::string document =
        StatusWith(port, {"\"connected\": true", "\"periodStart\": \"2", "\"freeBytes\": "});
    EXPECT_NE(
        document.find("\"form\": \"mseed\", \"folder\": \"" + dir + "\", \"periodMinutes\": 1"),
        std::string::npos)
        << document;
    EXPECT_EQ(document.find("\"freeBytes\": null"), std::string::npos) << document;

    m_Sim->Stop(); // the line is cut
    document = StatusWith(port, {"\"connected\": false", "\"lostSince\": \"2"});
    EXPECT_NE(document.find("\"lostSince\": \"2"), std::string::npos) << document;
    EXPECT_NE(document.find("\"framesPerSecond\": 0.000"), std::string::npos) << document;

    StartSim(); // and restored
    document = StatusWith(port, {"\"connected\": true", "\"lostSince\": null"}, 8000);
    EXPECT_NE(document.find("\"lostSince\": null"), std::string::npos)
        << document << ReadFile(m_Folder + "/serve.err");
    EXPECT_EQ(m_Serve->Stop(), 0);
}

TEST_F(ServePageTest, ListeningBeyondLoopbackIsSaidAndBadAddressesAreRefused) {
    StartSim();
    StartServe({"--seedlink", "127.0.0.1:0", "--http", "0.0.0.0:0"});
    EXPECT_TRUE(WaitFor(
        [&] {
            return ReadFile(m_Folder + "/serve.err")
                       .find("listens beyond this computer on 0.0.0.0") != std::string::npos;
        },
        3000))
        << ReadFile(m_Folder + "/serve.err");
    m_Serve.reset();

    for (const char* bad : {"localhost", "127.0.0.1:70000", "[::1:80"}) {
        const std::string errors = m_Folder + "/usage.err";
        // Appended piece by piece: GCC 12 at -O2 warns falsely (array-bounds) on a chain of
        // temporaries and literals.
        std::string command = NEREID_CLI_PATH;
        command.append(" --port ").append(m_Link).append(" serve --http '").append(bad);
        command.append("' 2>").append(errors);
        const int status = std::system(command.c_str());
        EXPECT_TRUE(WIFEXITED(status));
        EXPECT_EQ(WEXITSTATUS(status), 2) << bad;
        EXPECT_NE(ReadFile(errors).find("--http: "), std::string::npos) << ReadFile(errors);
    }
}

} // namespace
} // namespace nereid::seedlink::test
