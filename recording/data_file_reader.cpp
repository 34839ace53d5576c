#include "recording/data_file_reader.h"

#include "recording/calendar.h"
#include "recording/css_format.h"
#include "recording/dadisp_format.h"
#include "recording/fixed_text.h"
#include "recording/mapped_file.h"
#include "recording/mseed_reader.h"
#include "recording/regular_file.h"
#include "recording/seisan_reader.h"
#include "recording/unique_fd.h"

#include <cctype>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <unistd.h>

namespace nereid::recording {

namespace {

constexpr const char* kNrUtil = "NR_UTIL Application";

char Upper(char c) {
    return static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
}

int Fail(ReaderMessage& m, int code, std::string text, std::string caption,
         std::string detail = {}) {
    m.text = std::move(text);
    m.caption = std::move(caption);
    m.detail = std::move(detail);
    return code;
}

int FullYearOf(int year) {
    if (year >= 1970) {
        return year;
    }
    return year < 70 ? 2000 + year : 1900 + year;
}

int MapFile(const std::string& path, std::shared_ptr<const CMappedFile>& file, ReaderMessage& m) {
    int error = 0;
    const int r = CMappedFile::Open(path, file, error);
    if (r == CMappedFile::kOpenFailed || r == CMappedFile::kNotRegular) {
        return Fail(m, kOpenCannotOpen, "iii", "File could not be opened",
                    path + ": " + FileErrorText(error));
    }
    if (r != CMappedFile::kOk) {
        return Fail(m, kOpenCannotMap, "Could not map view of file", kNrUtil,
                    path + ": " + FileErrorText(error));
    }
    return kOpenAdded;
}

// A miniSEED file, when the bytes start with a record: kOpenAdded, a refusal with the reason,
// or 0 when it is not miniSEED at all.
int OpenMseed(const std::string& path, const std::shared_ptr<const CMappedFile>& file,
              std::vector<FileChannel>& channels, ReaderMessage& m, const std::string& refused) {
    std::vector<FileChannel> found;
    const int r = ReadMseedFile(*file, found);
    if (r == kMseedNotThisForm) {
        return 0;
    }
    if (r != kMseedOk) {
        return Fail(m, kOpenNotValid, refused, kNrUtil,
                    r == kMseedNoSamples ? "miniSEED records without samples"
                                         : "a damaged miniSEED file");
    }
    for (FileChannel& ch : found) {
        ch.path = path;
        channels.push_back(std::move(ch));
    }
    return kOpenAdded;
}

// The DADiSP reader with the SEISAN fall-backs.
int OpenDadispOrSeisan(const std::string& path, std::shared_ptr<const CMappedFile> file,
                       std::vector<FileChannel>& channels, ReaderMessage& m) {
    DadispHeaderInfo info;
    const int r = ParseDadispHeader(file->Data(), file->Size(), info);
    if (r == kDadispUnknownFileType) {
        return Fail(m, kOpenFileTypeUnknown, "File type unknown", "Vireo Application");
    }
    if (r == kDadispOk) {
        FileChannel ch;
        ch.signalName = info.signalName.substr(0, 11);
        ch.dateWord = static_cast<std::uint32_t>(info.day & 0xFF) |
                      static_cast<std::uint32_t>(info.month & 0xFF) << 8 |
                      static_cast<std::uint32_t>(info.year & 0xFFFF) << 16;
        ch.timeWord = static_cast<std::uint32_t>(info.second & 0xFF) |
                      static_cast<std::uint32_t>(info.minute & 0xFF) << 8 |
                      static_cast<std::uint32_t>(info.hour & 0xFF) << 16;
        ch.fraction = info.fraction;
        ch.dateText = info.dateText;
        ch.timeText = info.timeText;
        ch.rate = info.rate;
        ch.sampleType = info.sampleType;
        ch.formatText = "DADiSP Format";
        const std::size_t sampleSize = static_cast<std::size_t>(SampleSize(info.sampleType));
        ch.sampleCount = (file->Size() - info.dataOffset) / sampleSize;
        ch.firstSample = file->Data() + info.dataOffset;
        ch.fullYear = FullYearOf(info.year);
        if (info.month >= 1 && info.month <= 12 && info.day >= 1 && info.day <= 31 &&
            ch.fullYear >= 1970 && ch.fullYear <= 2105) {
            ch.startSecond = CalendarToSeconds(info.second, info.minute, info.hour, info.day,
                                               info.month, ch.fullYear - 1900);
        }
        ch.path = path;
        ch.mapping = std::move(file);
        channels.push_back(std::move(ch));
        return kOpenAdded;
    }
    std::vector<FileChannel> found;
    if (ReadSeisanBinary(file->Data(), file->Size(), found, file.get()) == kSeisanOk ||
        ReadSeisanText(file->Data(), file->Size(), found, file.get()) == kSeisanOk) {
        for (FileChannel& ch : found) {
            ch.path = path;
            channels.push_back(std::move(ch));
        }
        return kOpenAdded;
    }
    // Named like a recorder file but holding miniSEED records.
    if (const int r = OpenMseed(path, file, channels, m, path + " is not valid file"); r != 0) {
        return r;
    }
    return Fail(m, kOpenNotValid, path + " is not valid file", kNrUtil);
}

int OpenCss(const std::string& path, const std::string& folder, const std::string& base,
            std::vector<FileChannel>& channels, ReaderMessage& m) {
    std::uint8_t record[kWfdiscSize];
    std::string dataPath;
    if (Upper(base[1]) == 'H') {
        std::shared_ptr<const CMappedFile> wf;
        if (const int r = MapFile(path, wf, m); r != kOpenAdded) {
            return r;
        }
        if (wf->Size() < kWfdiscSize) {
            return Fail(m, kOpenHeaderShort, "Could not read header file", kNrUtil, path);
        }
        std::memcpy(record, wf->Data(), kWfdiscSize);
        const std::string dfile = Trim(TakeText(record, kWfdiscSize, 213, 17));
        // The record names a file of this folder; anything that could lead elsewhere is
        // refused.
        if (dfile.empty() || dfile == "." || dfile == ".." ||
            dfile.find_first_of(std::string("/\\\0", 3)) != std::string::npos) {
            return Fail(m, kOpenNotValid, path + " is not valid file", kNrUtil);
        }
        dataPath = folder + dfile;
    } else {
        dataPath = path;
        const std::string wfdiscPath = folder + WfdiscNameOf(base);
        int error = 0;
        UniqueFd fd(OpenRegularFile(wfdiscPath, error));
        if (!fd.Valid()) {
            return Fail(m, kOpenHeaderMissing, "Header file could not be opened", kNrUtil,
                        wfdiscPath + ": " + FileErrorText(error));
        }
        std::size_t got = 0;
        while (got < kWfdiscSize) {
            const ssize_t n = ::read(fd.Get(), record + got, kWfdiscSize - got);
            if (n < 0 && errno == EINTR) {
                continue;
            }
            if (n <= 0) {
                break;
            }
            got += static_cast<std::size_t>(n);
        }
        if (got < kWfdiscSize) {
            return Fail(m, kOpenHeaderShort, "Could not read header file", kNrUtil, wfdiscPath);
        }
    }
    WfdiscInfo info;
    if (ParseWfdisc(record, kWfdiscSize, info) != 1) {
        return Fail(m, kOpenNotValid, path + " is not valid file", kNrUtil);
    }
    std::shared_ptr<const CMappedFile> data;
    if (const int r = MapFile(dataPath, data, m); r != kOpenAdded) {
        return r;
    }
    const CalendarTime t = SecondsToCalendar(info.startSecond);
    FileChannel ch;
    ch.signalName = info.channelCode.substr(0, 11);
    ch.dateWord = static_cast<std::uint32_t>(t.day) | static_cast<std::uint32_t>(t.month) << 8 |
                  static_cast<std::uint32_t>(t.year % 100) << 16;
    ch.timeWord = static_cast<std::uint32_t>(t.second) | static_cast<std::uint32_t>(t.minute) << 8 |
                  static_cast<std::uint32_t>(t.hour) << 16;
    ch.fraction = 0;
    ch.dateText = Format("%.2d-%.2d-%.2d", t.month, t.day, t.year % 100);
    ch.timeText = Format("%.2d:%.2d:%.2d", t.hour, t.minute, t.second);
    ch.rate = info.rate;
    ch.sampleType = kSampleLong;
    ch.formatText = "CSS Format";
    ch.sampleCount = data->Size() / 4;
    ch.firstSample = data->Data();
    ch.fullYear = t.year;
    ch.startSecond = info.startSecond;
    ch.path = dataPath;
    ch.mapping = std::move(data);
    channels.push_back(std::move(ch));
    return kOpenAdded;
}

// A file whose name is none of the recorder's patterns, recognised by its contents: miniSEED
// records, SEISAN files as SEISAN writes them (named by their start time), and DADiSP
// datasets by their header. Anything else is refused as before, with the reason in the detail.
int OpenByContents(const std::string& path, std::vector<FileChannel>& channels, ReaderMessage& m) {
    const std::string refused = path + " is not a valid file";
    std::shared_ptr<const CMappedFile> file;
    int error = 0;
    if (CMappedFile::Open(path, file, error) != CMappedFile::kOk) {
        return Fail(m, kOpenBadName, refused, kNrUtil, path + ": " + FileErrorText(error));
    }
    if (const int r = OpenMseed(path, file, channels, m, refused); r != 0) {
        return r == kOpenAdded ? r : kOpenBadName;
    }
    std::vector<FileChannel> found;
    const int seisan = ReadSeisanFile(file->Data(), file->Size(), found, file.get());
    if (seisan == kSeisanOk) {
        for (FileChannel& ch : found) {
            ch.path = path;
            channels.push_back(std::move(ch));
        }
        return kOpenAdded;
    }
    if (seisan != kSeisanNotThisForm) {
        return Fail(m, kOpenBadName, refused, kNrUtil, "a damaged SEISAN file");
    }
    DadispHeaderInfo info;
    if (ParseDadispHeader(file->Data(), file->Size(), info) != kDadispNotHeader) {
        return OpenDadispOrSeisan(path, std::move(file), channels, m);
    }
    return Fail(m, kOpenBadName, refused, kNrUtil,
                "neither a SEISAN file nor a DADiSP dataset by its contents");
}

} // namespace

bool IsDataFileName(const std::string& base) {
    if (base.size() != 12 && base.size() != 17) {
        return false;
    }
    const char first = Upper(base[0]);
    if (first != 'D' && first != 'E' && first != 'W' && first != 'C') {
        return false;
    }
    const std::size_t at = base.size() == 17 ? 14 : 9;
    const int doy = std::atoi(base.c_str() + at);
    return doy >= 1 && doy <= 366;
}

int OpenDataFile(const std::string& path, std::vector<FileChannel>& channels,
                 ReaderMessage& message) {
    const std::size_t slash = path.find_last_of('/');
    const std::string base = slash == std::string::npos ? path : path.substr(slash + 1);
    const std::string folder =
        slash == std::string::npos ? std::string() : path.substr(0, slash + 1);
    if (!IsDataFileName(base)) {
        return OpenByContents(path, channels, message);
    }
    if (base.size() == 17 && Upper(base[0]) != 'D') {
        return OpenCss(path, folder, base, channels, message);
    }
    if (base.size() == 17 && Upper(base[1]) != 'D') {
        // Starts with "D" but is neither a DADiSP nor a CSS name.
        return Fail(message, kOpenNotValid, path + " is not valid file", kNrUtil);
    }
    std::shared_ptr<const CMappedFile> file;
    if (const int r = MapFile(path, file, message); r != kOpenAdded) {
        return r;
    }
    return OpenDadispOrSeisan(path, std::move(file), channels, message);
}

} // namespace nereid::recording
