#include "link/channel_rebuild.h"

#include "link/instrument_link.h"
#include "recording/channel_table.h"

namespace nereid::link {

int RebuildChannels(recording::CChannelTable& table, const recording::CStreamList& streams,
                    CInstrumentLink* link, recording::CPausable* thread,
                    recording::CIntakeState* state) {
    recording::CChannelTable::DecodeBufferSizer sizer;
    if (link != nullptr)
        sizer = [link](std::size_t bytes) { return link->ResizeDecodeBuffer(bytes); };
    return table.RebuildChannels(streams, thread, state, sizer);
}

} // namespace nereid::link
