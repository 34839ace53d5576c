#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

namespace nereid::datalink {

// A DataLink packet is "DL", one byte giving the header's length (at most 255 bytes of ASCII),
// the header, and as many data bytes as the header's size field says.
constexpr std::size_t kMaxHeaderLength = 255;
// Larger data sections are taken as a stream that is not DataLink (bytes).
constexpr std::size_t kMaxDataLength = 1 << 20;

struct SPacket {
    std::string header;
    std::string data;
};

// "DL" + length + header + data. Empty when the header is empty or longer than 255 bytes.
std::string FramePacket(const std::string& header, const char* data = nullptr,
                        std::size_t size = 0);

// Bytes of the data section a server reply with this header carries: the last field of OK,
// ERROR, INFO and PACKET; none for ID and ENDSTREAM. -1 when the size field is missing or not a
// number within kMaxDataLength.
long ReplyDataSize(const std::string& header);

// Results of CReplyReader::Next.
enum ReaderResult : int {
    kReaderPacket = 1,       // a whole packet was taken
    kReaderNeedMore = 0,     // the bytes so far end inside a packet
    kReaderNotDataLink = -1, // no "DL" where a packet starts, or an impossible size
};

// Cuts a server's byte stream into packets.
class CReplyReader {
public:
    void Feed(const char* data, std::size_t size) { m_Buffer.append(data, size); }
    // See ReaderResult; after kReaderNotDataLink the reader stays broken until Clear().
    int Next(SPacket& packet);
    void Clear() { m_Buffer.clear(); }

private:
    std::string m_Buffer;
};

// A server's status reply, "OK value size" or "ERROR value size" with the message as data.
struct SStatusReply {
    bool ok = false;
    std::int64_t value = 0; // for an acknowledged WRITE, the packet ID the hub gave the record
    std::string message;
};

// True when `packet` is an OK or ERROR reply; `reply` filled.
bool ParseStatusReply(const SPacket& packet, SStatusReply& reply);

// The FDSN source identifier ringserver 4 files miniSEED under:
// "FDSN:NET_STA_LOC_B_S_S/MSEED", the channel's band, source and subsource codes as three
// fields. Empty when the channel is not three characters or a code holds '_', '/' or spaces.
std::string SourceStreamId(const std::string& network, const std::string& station,
                           const std::string& location, const std::string& channel);

// "WRITE <streamid> <hpdatastart> <hpdataend> A <size>": the times in microseconds since the
// epoch, "A" asking for an acknowledgement.
std::string WriteHeader(const std::string& streamId, std::int64_t startUs, std::int64_t endUs,
                        std::size_t size);

// "ID program:user:pid:system-machine" (the client identification DataLink servers log).
std::string IdHeader(const std::string& program);

// "AUTH USERPASS <size>" and its data "user\rpass".
std::string AuthHeader(std::size_t size);
std::string AuthData(const std::string& user, const std::string& password);

// Nanoseconds to DataLink's microseconds, rounded towards the past.
std::int64_t MicrosecondsOf(std::int64_t ns);

// A capability word of a server's ID reply ("ID DataLink 2018.078 :: DLPROTO:1.0
// PACKETSIZE:512 WRITE"): true when `word` stands alone after "::"; `value` gets what follows
// "WORD:" when there is one.
bool HasCapability(const std::string& idHeader, const std::string& word,
                   std::string* value = nullptr);

} // namespace nereid::datalink
