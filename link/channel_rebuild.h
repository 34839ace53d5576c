#pragma once

namespace nereid::recording {
class CChannelTable;
class CPausable;
class CStreamList;
struct CIntakeState;
} // namespace nereid::recording

namespace nereid::link {

class CInstrumentLink;

// A new channel table for a new stream list, on a live session: with `thread` (if given)
// parked, the table is rebuilt and `link`'s decode buffer (if given) sized so that a data frame
// of the fastest channel fits; the receiver thread reads both. Returns what
// recording::CChannelTable::RebuildChannels returns: 1, kRebuildThreadWaitFailed (nothing
// changed) or kRebuildMemoryFailed (a ring or the decode buffer could not be had).
int RebuildChannels(recording::CChannelTable& table, const recording::CStreamList& streams,
                    CInstrumentLink* link, recording::CPausable* thread,
                    recording::CIntakeState* state = nullptr);

} // namespace nereid::link
