#pragma once

#include <cstddef>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "datalink/datalink_client.h"
#include "datalink/push_service.h"

namespace nereid::cli {

// The DataLink side of `nereid serve`: hubs that get every record the service packs.
struct DataLinkOptions {
    std::vector<std::string> hubs; // "HOST:PORT" as given, checked
    std::string queueFolder;       // empty: datalink::DefaultQueueFolder()
    std::size_t queueRecords = datalink::kDefaultQueueRecords;
    std::string user;
    std::string password; // from --datalink-pass or NEREID_DATALINK_PASS; never printed
};

// The options' lines of the usage text.
extern const char* const kDataLinkUsage;

// Takes one option of the DataLink side: 1 when `name` was one and `value` fits, 0 when
// `name` is no DataLink option, -1 with `why` when the value does not fit.
int TakeDataLinkOption(const std::string& name, const std::string& value, DataLinkOptions& o,
                       std::string& why);
// Checks the options as a whole (after every option was taken): a user needs a password.
// Returns true, or false with `why`.
bool CheckDataLinkOptions(DataLinkOptions& o, std::string& why);

// Starts pushing to every hub of `o` (none: returns null with `error` empty). The queue folder
// is made when missing. `program` opens the ID line; retries as the recorder's. Returns the
// running push, or null with `error` saying why.
std::unique_ptr<datalink::CDataLinkPush>
StartDataLinkPush(const DataLinkOptions& o, const std::string& program, double retrySeconds,
                  double retryMaxSeconds, std::function<void(const std::string&)> log,
                  std::string& error);

} // namespace nereid::cli
