#include "link/instrument_link.h"

#include <poll.h>

#include <algorithm>

#include <exception>

namespace nereid::link {

CInstrumentLink::CInstrumentLink() : m_DecodeBuffer(kInitialDecodeBufferSize) {}

CInstrumentLink::~CInstrumentLink() = default;

int CInstrumentLink::ReadFrame(std::uint8_t& /*expectedType*/, FrameRecord& /*record*/) {
    return 1;
}

int CInstrumentLink::WaitForData(int timeoutMs, int wakeFd) {
    pollfd p{wakeFd, POLLIN, 0};
    ::poll(&p, wakeFd >= 0 ? 1 : 0, std::clamp(timeoutMs, 0, 1));
    return 1;
}

int CInstrumentLink::SendCommand(std::uint8_t /*code*/, const CommandRecord& /*record*/) {
    return 1;
}

int CInstrumentLink::ResizeDecodeBuffer(std::size_t bytes) {
    // Under the port lock: the other thread may be decoding into the buffer.
    Lock();
    int result = 1;
    try {
        std::vector<std::uint8_t> fresh(bytes);
        m_DecodeBuffer.swap(fresh);
    } catch (const std::exception&) {
        // No buffer at all is the state the link must then handle: it drops every frame.
        std::vector<std::uint8_t>().swap(m_DecodeBuffer);
        result = 0;
    }
    Unlock();
    return result;
}

} // namespace nereid::link
