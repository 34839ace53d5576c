#pragma once

#include <atomic>
#include <cstdint>
#include <iosfwd>
#include <string>
#include <vector>

#include "cli/cli_options.h"
#include "instrument/upload/model/upload_engine.h"
#include "link/direct_search.h"
#include "link/serial_link.h"
#include "link/serial_port_control.h"

namespace nereid::cli {

// Exit code of a `get` or `rm` stopped by Ctrl-C (what had arrived is kept).
constexpr int kExitInterrupted = 130;

// One file found by a listing.
struct FoundFile {
    std::string directory; // "A:\DAY093"
    instrument::RecorderEntry entry;
};

// A connection to the recorder for the file commands, and the loop that drives the upload
// engine: it sleeps in the port until bytes arrive (or a time limit is due), so that each
// block is acknowledged the moment it is complete.
class UploadSession {
public:
    UploadSession();

    // Finds the recorder. Returns kExitOk or the connection's exit code (said on stderr).
    int Connect(const GlobalOptions& options);
    instrument::CUploadEngine& Engine() { return m_Engine; }

    // Services the engine until it is idle. When `interrupt` becomes true, sends the abort
    // once and goes on until the abort is answered. `tick` runs about every 200 ms.
    void RunUntilIdle(const std::atomic<bool>* interrupt = nullptr,
                      const std::function<void()>& tick = {});

    // Lists `pattern`. Returns kExitOk with the entries, kExitRefused, or kExitNoAnswer.
    int List(const std::string& pattern, std::vector<instrument::RecorderEntry>& entries);

    std::uint32_t Baud() const { return m_Search.Baud(); }

private:
    link::CSerialLink m_Link;
    link::CSerialPortControl m_Ports;
    link::CDirectSearch m_Search;
    instrument::CUploadEngine m_Engine;
};

// "A:" and "A:\DAY093" name folders: their files are listed as "…\*.*". A last component
// with a wildcard or a dot is a file pattern and kept as it is.
std::string ListingPattern(const std::string& path);

// Installs a SIGINT handler that sets the returned flag (the previous handler is restored by
// the guard's destructor).
class InterruptGuard {
public:
    InterruptGuard();
    ~InterruptGuard();
    InterruptGuard(const InterruptGuard&) = delete;
    InterruptGuard& operator=(const InterruptGuard&) = delete;
    const std::atomic<bool>& Flag() const;
};

} // namespace nereid::cli
