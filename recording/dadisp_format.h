#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

namespace nereid::recording {

// DADiSP ASCII-header dataset: text lines ended by CR LF, then the samples as signed 32-bit
// little-endian integers, no trailer.
//
//   #  line                          notes
//   1  "DATASET " + name             real-time: file name without folder; translate: 12-char name
//   2  "FILE_TYPE LONG"
//   3  "VERSION next"
//   4  "SIGNAL " + signal            real-time "Chan3"; translate "ABCD c1p" (station, component)
//   5  "DATE mm-dd-yy"               yy = year - 1900, less 100 from 2000 on
//   6  "TIME hh:mm:ss.0"             real-time ends after ".0"; translate writes ".00"
//   7  "INTERVAL 0.010"              seconds per sample, see IntervalText
//   8  "VERT_UNITS Counts"
//   9  "HORZ_UNITS Sec"
//  10  "COMMENTS " + comment         at most 80 characters of comment
//  11  "DATA"
//
// With a 3-decimal interval the header is name + comment + 154 bytes long.

// Sample types shared with the readers (FileChannel::sampleType).
enum SampleType : int {
    kSampleByte = 0,
    kSampleInteger = 1,
    kSampleFloat = 2,
    kSampleDouble = 3,
    kSampleLong = 4,
};

// Bytes per sample of a SampleType; 0 for an unknown type.
int SampleSize(int sampleType);

struct DadispHeader {
    std::string datasetName;
    std::string signal; // text after "SIGNAL "
    std::uint32_t startSecond = 0;
    bool shortTimeFraction = true; // true: "TIME hh:mm:ss.0" (real-time), false: ".00"
    int rate = 0;                  // samples per second, > 0
    std::string comments;          // cut to 80 characters when written
};

// Header of a real-time channel file: signal "Chan" + the channel's first digit.
DadispHeader MakeRealTimeDadispHeader(const std::string& fileName, int channelNumber,
                                      std::uint32_t startSecond, int rate,
                                      const std::string& comments);

// Header of a translated instrument file: signal = first 4 characters of the station name
// followed by the component (" c1p" ... " c8s").
DadispHeader MakeTranslateDadispHeader(const std::string& datasetName, const std::string& station,
                                       const std::string& component, std::uint32_t startSecond,
                                       int rate);

// "INTERVAL" value text: "%.3f" of 1 / rate when that is exact (rates dividing 1000),
// otherwise six decimals, so that a reader gets the rate back (0.008 would read as 125 for a
// 120 samples/s file). Rates <= 0 give "0.000".
std::string IntervalText(int rate);

// The complete header, DATA line included.
std::string BuildDadispHeader(const DadispHeader& header);

// What ParseDadispHeader finds.
struct DadispHeaderInfo {
    std::size_t dataOffset = 0;
    std::string signalName;           // at most 9 characters
    std::string dateText;             // as written, e.g. "04-03-03"
    std::string timeText;             // as written, e.g. "15:30:00.0"
    int month = 0, day = 0, year = 0; // year as written (two digits)
    int hour = 0, minute = 0, second = 0;
    double fraction = 0.0; // of the first second
    int sampleType = kSampleLong;
    int rate = 0; // 0 when INTERVAL is absent or not above 0
};

// Results of ParseDadispHeader.
enum DadispParseResult : int {
    kDadispOk = 1,
    kDadispNotHeader = 0,        // too short or no DATA line in the first 500 bytes
    kDadispUnknownFileType = -1, // FILE_TYPE missing or none of the five words
};

// Reads a header from the first bytes of a file; never reads beyond `size`.
int ParseDadispHeader(const std::uint8_t* data, std::size_t size, DadispHeaderInfo& info);

} // namespace nereid::recording
