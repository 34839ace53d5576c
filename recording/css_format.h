#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

namespace nereid::recording {

// CSS 3.0 wfdisc record: exactly 283 bytes, no line end, spaces where nothing is written.
//
//   offset width field     content
//      0     6  sta        real-time: 3 station chars + "0" + channel digit; translate: 4 chars
//      7     8  chan       real-time "sd"; translate "CH " + digit + "P" or "S"
//     16    17  time       start second, "%17.5f"
//     34     8  wfid       start hour, "%8.8i"
//     43     8  chanid     -1, "%7.7i"
//     52     8  jdate      "%4.4i%3.3i " year and day of year
//     61    17  endtime    time + (nsamp - 1) / samprate, "%17.5f"
//     79     8  nsamp      "%8.8i"
//     88    11  samprate   "%11.7f" (fewer decimals from 1000/s on, to stay 11 wide)
//    100    16  calib      0, "%16.6f"
//    117    16  calper     -1, "%16.6f"
//    134     6  instype    "------"
//    141     1  segtype    "-"
//    143     2  datatype   "i4"
//    146     1  clip       "-"
//    148    64  dir        "." (the wfdisc's own folder), space padded
//    213    17  dfile      data file name
//    246    10  foff       0, "0000000000"
//    257     8  commid     -1, "%7.7i"
//    266    17  lddate     17 "-" (the last byte of the record)
//
// dir and foff carry real values: the schema has no "not available" value for either, and
// readers that follow it look for a folder named by hyphens or seek to -1.
// Bytes 6, 15, 33, 42, 51, 60, 78, 87, 99, 116, 133, 140, 142, 145, 147, 212, 245, 256 and
// 265 separate the columns and are always spaces.
// The data file holds the samples as signed 32-bit little-endian integers ("i4") only.

constexpr std::size_t kWfdiscSize = 283;

struct WfdiscFields {
    std::string sta;  // up to 6 characters
    std::string chan; // up to 8 characters
    std::uint32_t startSecond = 0;
    std::uint64_t nsamp = 0;
    int rate = 0;      // samples per second
    std::string dfile; // data file name, 17 characters
};

// Real-time recorder: sta = first 3 characters of the station name + "0" + the channel digit
// (third character of the data file name), chan "sd".
WfdiscFields MakeRealTimeWfdisc(const std::string& stationName, const std::string& dataFileName,
                                std::uint32_t startSecond, std::uint64_t nsamp, int rate);

// File translate: sta = first 4 characters of the station name; chan from the source name's
// channel character: "1".."8" give "CH 1P" .. "CH 8P", others 16 code points lower + "S".
WfdiscFields MakeTranslateWfdisc(const std::string& stationName, char channelCharacter,
                                 const std::string& dataFileName, std::uint32_t startSecond,
                                 std::uint64_t nsamp, int rate);

// The 283 bytes.
std::string BuildWfdisc(const WfdiscFields& fields);

// The wfdisc file name of a data file name and back: the second character becomes "H" / "D".
std::string WfdiscNameOf(const std::string& dataFileName);
std::string DataNameOf(const std::string& wfdiscFileName);

// What ParseWfdisc takes from a record.
struct WfdiscInfo {
    std::uint32_t startSecond = 0;
    int rate = 0;
    std::string channelCode; // the 8 characters at offset 7, trailing spaces removed
    std::string dfile;       // the 17 characters at offset 213, trailing spaces removed
};

// 1 when the record is long enough and its time and samprate columns hold numbers
// (time 0 .. 2^32 - 1, rate 1 .. 1000000), negative otherwise.
int ParseWfdisc(const std::uint8_t* record, std::size_t size, WfdiscInfo& info);

} // namespace nereid::recording
