#pragma once

#include "sim/drive_store.h"

#include <cstdint>
#include <vector>

namespace nereid::sim {

// A multi-frame answer: a directory listing in 'X' frames of eight entries, or a file in 'Y'
// frames of the requested block size. Frames are numbered from 1; every frame but the last
// carries state 2 ("more follow"), the last state 1. The recorder sends each next frame only
// after the PC acknowledged the previous one.
class Transfer {
public:
    static Transfer Listing(std::uint16_t header, std::vector<DriveEntry> entries);
    static Transfer File(std::uint16_t header, std::vector<std::uint8_t> data,
                         std::size_t blockSize);

    std::uint8_t Type() const { return m_Type; }
    std::size_t FrameCount() const;
    bool Done() const { return m_Next >= FrameCount(); }
    // The payload of the next frame; advances. Call only while !Done().
    std::vector<std::uint8_t> NextPayload();

private:
    std::uint8_t m_Type = 0;
    std::uint16_t m_Header = 0;
    std::vector<DriveEntry> m_Entries;
    std::vector<std::uint8_t> m_Data;
    std::size_t m_BlockSize = 1;
    std::size_t m_Next = 0;
};

} // namespace nereid::sim
