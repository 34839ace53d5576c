#pragma once

// A DataLink server for the tests, after the DataLink protocol 1.0 document (libdali's
// "DataLink protocol") and what ringserver 4 does around it: "DL", a header length byte, an
// ASCII header and a data section whose size the header's last size field gives; ID is
// answered with "ID DataLink <version> :: <capabilities>", a WRITE with flag A with
// "OK <packet id> 0" or "ERROR 0 <size>" plus a message, and, as ringserver does, a refused WRITE
// closes the connection. Scripted faults: the n-th WRITE ever received can be refused or can
// make the hub drop the connection before storing it; the hub can stop listening and come back
// on the same port.

#include <atomic>
#include <cstdint>
#include <functional>
#include <map>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "recording/unique_fd.h"

namespace nereid::datalink::test {

struct StoredRecord {
    std::string streamId;
    std::int64_t startUs = 0;
    std::int64_t endUs = 0;
    std::string data;
};

class TestHub {
public:
    // Listens on 127.0.0.1, on `port` (0: any free port).
    explicit TestHub(int port = 0);
    ~TestHub();

    // Stops listening and closes every connection (the hub goes away); Listen() brings it back
    // on the same port.
    void Shutdown();
    bool Listen();
    int Port() const { return m_Port; }

    // The n-th WRITE received (from 1, over the hub's life) is answered with ERROR and its
    // connection closed; or the connection is closed before that WRITE is stored or answered.
    void RefuseWrite(std::uint64_t n, const std::string& message);
    void DropAtWrite(std::uint64_t n);
    // Asks for AUTH USERPASS with these credentials before any WRITE is taken.
    void RequireCredentials(const std::string& user, const std::string& password);
    // Whether the ID reply names WRITE (ringserver's sign that this address may write).
    void GrantWrite(bool granted) { m_GrantWrite.store(granted); }
    // Closes every connection right after accepting it, before reading anything.
    void SlamDoor(bool slam) { m_Slam.store(slam); }
    // Refuses every WRITE of a record whose first sample is at `startUs` (a duplicate the hub
    // already holds), each time it comes.
    void RefuseRecordAt(std::int64_t startUs, const std::string& message);
    // How many WRITEs of the record at `startUs` arrived, refused or not.
    int WritesOfRecordAt(std::int64_t startUs) const;
    // Connections the hub ends (drops, refusals) are closed at once, as ringserver does, not
    // after reading what the client already sent: with WRITEs unread the close is a reset,
    // which may swallow answers still on their way.
    void CloseAbruptly(bool abrupt) { m_Abrupt.store(abrupt); }
    // Stores WRITEs without answering them (a hub that hangs).
    void Mute(bool mute) { m_Mute.store(mute); }
    // After a refused WRITE the connection stays open (a server less strict than ringserver).
    void KeepOpenAfterRefusal(bool keep) { m_KeepOpen.store(keep); }

    std::vector<StoredRecord> Stored() const;
    std::vector<std::string> ClientIds() const;
    std::uint64_t WritesSeen() const { return m_Writes.load(); }
    int Accepted() const { return m_Accepted.load(); }
    // Accept times, seconds since the hub was made.
    std::vector<double> AcceptTimes() const;
    // Credentials of AUTH packets received, "user\rpassword".
    std::vector<std::string> Credentials() const;

    // Polls `done` every 10 ms for at most `seconds`; returns its last value.
    static bool WaitFor(const std::function<bool()>& done, double seconds);

private:
    struct Connection {
        recording::UniqueFd fd;
        std::string input;
        bool authenticated = false;
    };
    void Run();
    // Handles every whole packet in `c.input`; false when the connection is to be closed.
    bool Serve(Connection& c);
    void Reply(Connection& c, const std::string& header, const std::string& data = {});
    // Ends a connection the hub chose to end: answers already sent reach the client first.
    void Close(Connection& c);

    int m_Port = 0;
    recording::UniqueFd m_Listen;
    recording::UniqueFd m_Wake;
    std::thread m_Thread;
    std::atomic<bool> m_Stop{false};
    std::atomic<bool> m_GrantWrite{true};
    std::atomic<bool> m_Slam{false};
    std::atomic<bool> m_Mute{false};
    std::atomic<bool> m_KeepOpen{false};
    std::atomic<bool> m_Abrupt{false};
    std::atomic<std::uint64_t> m_Writes{0};
    std::atomic<int> m_Accepted{0};
    std::int64_t m_Born = 0;
    mutable std::mutex m_Mutex;
    std::map<std::uint64_t, std::string> m_Refuse;
    std::map<std::uint64_t, bool> m_Drop;
    std::map<std::int64_t, std::string> m_RefuseAt;
    std::map<std::int64_t, int> m_WritesAt;
    std::string m_User;
    std::string m_Password;
    std::vector<StoredRecord> m_Stored;
    std::vector<std::string> m_Ids;
    std::vector<std::string> m_Credentials;
    std::vector<double> m_AcceptTimes;
    std::uint64_t m_NextPacketId = 1000;
};

} // namespace nereid::datalink::test
