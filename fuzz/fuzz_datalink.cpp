// What a DataLink hub may send back, and what a queue file may hold after a crash or another
// program's writing: the reply reader fed at once and in pieces, every packet it cuts through
// the status parser, and the bytes as a queue file opened and read to its end.
//
// Invariants: the reader cuts the same packets however the bytes arrive, each packet's data
// is exactly the size its header names, and a packet is never cut from a stream it called
// not DataLink; a queue file of any content opens (damaged ones are set aside), holds at most
// its capacity, and every record read back is within the slot's limits.
#include <cstdint>
#include <string>
#include <vector>

#include "datalink/datalink_packet.h"
#include "datalink/record_queue.h"
#include "fuzz/fuzz_support.h"

namespace {

using namespace nereid::datalink;

std::vector<SPacket> Cut(const std::string& bytes, const std::vector<std::uint8_t>& steps,
                         bool& broken) {
    CReplyReader reader;
    std::vector<SPacket> packets;
    broken = false;
    for (std::size_t at = 0; at < bytes.size() && !broken;) {
        const std::size_t n =
            steps.empty() ? bytes.size() : std::min<std::size_t>(bytes.size() - at,
                                                                  1 + steps[at] % 7);
        reader.Feed(bytes.data() + at, n);
        at += n;
        SPacket packet;
        int result = 0;
        while ((result = reader.Next(packet)) == kReaderPacket) {
            NEREID_FUZZ_CHECK(!packet.header.empty() && packet.header.size() <= kMaxHeaderLength);
            NEREID_FUZZ_CHECK(static_cast<long>(packet.data.size()) ==
                              ReplyDataSize(packet.header));
            SStatusReply reply;
            if (ParseStatusReply(packet, reply)) {
                NEREID_FUZZ_CHECK(reply.message.size() <= packet.data.size());
            }
            std::string value;
            HasCapability(packet.header, "PACKETSIZE", &value);
            packets.push_back(packet);
        }
        broken = result == kReaderNotDataLink;
    }
    return packets;
}

void CheckQueueFile(const std::uint8_t* data, std::size_t size) {
    nereid::fuzz::ClearScratchFolder();
    const std::string path = nereid::fuzz::ScratchFolder() + "/hub.queue";
    nereid::fuzz::WriteFileBytes(path, data, size);
    CRecordQueue queue;
    std::string note;
    NEREID_FUZZ_CHECK(queue.Open(path, 4, note) == kQueueOk);
    NEREID_FUZZ_CHECK(queue.Size() <= queue.Capacity());
    for (std::uint64_t p = queue.Head(); p < queue.End(); ++p) {
        SQueuedRecord record;
        if (queue.Get(p, record) == kQueueOk) {
            NEREID_FUZZ_CHECK(!record.data.empty() && record.data.size() <= kQueueRecordBytes);
            NEREID_FUZZ_CHECK(!record.streamId.empty() &&
                              record.streamId.size() < kQueueStreamIdBytes);
        }
    }
    SQueuedRecord fresh;
    fresh.streamId = "FDSN:XX_S__H_H_Z/MSEED";
    fresh.data.assign(512, 'r');
    NEREID_FUZZ_CHECK(queue.Push(fresh) == kQueueOk);
    SQueuedRecord back;
    NEREID_FUZZ_CHECK(queue.Get(queue.End() - 1, back) == kQueueOk && back.data == fresh.data);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const auto bytes = nereid::fuzz::ExactCopy(data, size);
    const std::string text(bytes.begin(), bytes.end());
    bool wholeBroken = false;
    bool piecesBroken = false;
    const std::vector<SPacket> whole = Cut(text, {}, wholeBroken);
    const std::vector<SPacket> pieces = Cut(text, bytes, piecesBroken);
    NEREID_FUZZ_CHECK(whole.size() == pieces.size());
    NEREID_FUZZ_CHECK(wholeBroken == piecesBroken);
    for (std::size_t i = 0; i < whole.size(); ++i) {
        NEREID_FUZZ_CHECK(whole[i].header == pieces[i].header && whole[i].data == pieces[i].data);
    }
    CheckQueueFile(bytes.data(), bytes.size());
    return 0;
}
