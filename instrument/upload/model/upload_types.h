#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace nereid::instrument {

// What the engine is doing.
enum UploadOperation : int {
    kUploadIdle = 0,
    kUploadDriveStatus = 1,
    kUploadListing = 2,
    kUploadRetrieve = 3,
    kUploadDelete = 4,
    kUploadAbort = 5,
};

// Outcomes of an operation or of one file.
enum UploadResult : int {
    kUploadAccepted = 1,
    kUploadRejected = -1,         // the recorder refused (listing, read, delete, abort)
    kUploadNoResponse = -3,       // no frame within the no-frame limit
    kUploadNotSent = -4,          // the port is closed or the command could not be built
    kUploadBusy = -5,             // another operation runs
    kUploadMappedFileFailed = -7, // the writer could not set up its output block
    kUploadOutOfSequence = -8,    // the recorder kept sending a block that does not follow
    kUploadNotTranslatable = -9,  // the file is not in the recorder's data form
    kUploadWriteFailed = -10,     // the output file could not be written
    kUploadAborted = -11,         // stopped by Abort; what arrived was written
};

// One recorder file to fetch.
struct UploadItem {
    std::string directory;  // "A:" or "A:\DAY093"
    std::string name;       // "D1234001.093"
    std::uint32_t size = 0; // bytes, from the listing
};

// The end of one file of a retrieve.
struct UploadFileOutcome {
    std::size_t index = 0; // into the items of StartRetrieve
    std::string name;
    int result = kUploadAccepted;
    int form = 0;                     // the form it was written in
    std::uint64_t bytes = 0;          // data bytes received
    std::vector<std::string> written; // files created
    std::string outputName;           // shown in the local file list
    std::string message;              // why it failed, when it did
};

// Progress of a retrieve after each block.
struct UploadProgress {
    std::size_t index = 0;
    std::uint64_t fileBytes = 0; // bytes of the current file so far
    std::uint64_t fileSize = 0;  // its size from the listing
    std::uint64_t runBytes = 0;  // bytes of every file of this retrieve so far
    std::uint64_t runSize = 0;   // listed sizes of every file
    std::int64_t elapsedMs = 0;  // since the retrieve started
};

} // namespace nereid::instrument
