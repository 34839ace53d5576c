#include "cli/datalink_options.h"

#include <cerrno>
#include <cstdlib>
#include <filesystem>

namespace nereid::cli {

const char* const kDataLinkUsage =
    "         [--datalink HOST:PORT ...] [--datalink-queue-dir DIR] [--datalink-queue N]\n"
    "         [--datalink-user NAME] [--datalink-pass PASSWORD]\n";

int TakeDataLinkOption(const std::string& name, const std::string& value, DataLinkOptions& o,
                       std::string& why) {
    if (name == "--datalink") {
        std::string host;
        int port = 0;
        if (!datalink::ParseHubAddress(value, host, port, why)) {
            why = "--datalink: " + why;
            return -1;
        }
        o.hubs.push_back(value);
    } else if (name == "--datalink-queue-dir") {
        if (value.empty()) {
            why = "--datalink-queue-dir needs a folder";
            return -1;
        }
        o.queueFolder = value;
    } else if (name == "--datalink-queue") {
        char* end = nullptr;
        errno = 0;
        const unsigned long long n = std::strtoull(value.c_str(), &end, 10);
        // 10 million slots of 608 bytes are about 6 GB: more is a typing slip.
        if (value.empty() || value[0] == '-' || *end != '\0' || errno != 0 || n < 10 ||
            n > 10000000) {
            why = "--datalink-queue takes a number of records from 10 to 10000000, not '" + value +
                  "'";
            return -1;
        }
        o.queueRecords = static_cast<std::size_t>(n);
    } else if (name == "--datalink-user") {
        if (value.empty() || value.find_first_of("\r\n") != std::string::npos) {
            why = "--datalink-user needs a name on one line";
            return -1;
        }
        o.user = value;
    } else if (name == "--datalink-pass") {
        if (value.find_first_of("\r\n") != std::string::npos) {
            why = "--datalink-pass must be on one line";
            return -1;
        }
        o.password = value;
    } else {
        return 0;
    }
    return 1;
}

bool CheckDataLinkOptions(DataLinkOptions& o, std::string& why) {
    if (o.password.empty()) {
        if (const char* pass = std::getenv("NEREID_DATALINK_PASS"); pass != nullptr) {
            o.password = pass;
        }
    }
    if (o.hubs.empty() && (!o.user.empty() || !o.queueFolder.empty())) {
        why = "--datalink-user and --datalink-queue-dir belong to --datalink";
        return false;
    }
    for (std::size_t i = 0; i < o.hubs.size(); ++i) {
        for (std::size_t j = 0; j < i; ++j) {
            std::string hostI;
            std::string hostJ;
            int portI = 0;
            int portJ = 0;
            std::string ignored;
            datalink::ParseHubAddress(o.hubs[i], hostI, portI, ignored);
            datalink::ParseHubAddress(o.hubs[j], hostJ, portJ, ignored);
            if (hostI == hostJ && portI == portJ) {
                why = "--datalink " + o.hubs[i] + " is named twice";
                return false;
            }
        }
    }
    if (!o.user.empty() && o.password.empty()) {
        why = "--datalink-user needs --datalink-pass or NEREID_DATALINK_PASS";
        return false;
    }
    return true;
}

std::unique_ptr<datalink::CDataLinkPush>
StartDataLinkPush(const DataLinkOptions& o, const std::string& program, double retrySeconds,
                  double retryMaxSeconds, std::function<void(const std::string&)> log,
                  std::string& error) {
    error.clear();
    if (o.hubs.empty()) {
        return nullptr;
    }
    const std::string folder =
        o.queueFolder.empty() ? datalink::DefaultQueueFolder() : o.queueFolder;
    std::error_code made;
    std::filesystem::create_directories(folder, made);
    if (made) {
        error = "cannot make the DataLink queue folder '" + folder + "': " + made.message();
        return nullptr;
    }
    std::vector<datalink::SHubSettings> hubs;
    for (const std::string& address : o.hubs) {
        datalink::SHubSettings s;
        std::string why;
        datalink::ParseHubAddress(address, s.host, s.port, why);
        s.queuePath = datalink::QueueFileName(folder, s.host, s.port);
        s.queueCapacity = o.queueRecords;
        s.program = program;
        s.user = o.user;
        s.password = o.password;
        s.retrySeconds = retrySeconds;
        s.retryMaxSeconds = retryMaxSeconds;
        hubs.push_back(s);
    }
    auto push = std::make_unique<datalink::CDataLinkPush>(hubs);
    push->SetLog(std::move(log));
    if (push->Start(error) != datalink::kClientStarted) {
        return nullptr;
    }
    return push;
}

} // namespace nereid::cli
