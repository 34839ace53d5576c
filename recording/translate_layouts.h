#pragma once

#include "recording/hlcp_format.h"
#include "recording/staged_file.h"

#include <cstdint>
#include <string>

namespace nereid::recording {

// The heads of each translated form around its sample data, for a recorder file of
// `samples` samples: what a translation plans from the expected size and settles at the end.

// Samples per channel when SEISAN data longer than a channel header can count (999999) is
// split into consecutive channels of one file: whole seconds and whole 32-sample pieces.
std::uint64_t SeisanSegmentSamples(int rate);

// The DADiSP header, then the samples.
CStagedFile::Layout DadispLayout(const HlcpHeader& header);
// The listing's header (it counts the samples), then one line per sample.
CStagedFile::Layout AsciiLayout(const HlcpHeader& header, std::uint64_t samples);
// The main header and one channel header per segment, each before its part of the framed
// data (the data stream starts with the framer's leading marker).
CStagedFile::Layout SeisanLayout(const HlcpHeader& header, std::uint64_t samples);
// The wfdisc record of a CSS data file.
std::string CssWfdiscRecord(const HlcpHeader& header, char channelCharacter,
                            const std::string& dataName, std::uint64_t samples);

} // namespace nereid::recording
