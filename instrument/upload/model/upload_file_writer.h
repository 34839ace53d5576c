#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

#include "instrument/upload/model/upload_types.h"
#include "recording/mseed_packer.h"

namespace nereid::recording {
class HlcpTranslator;
}

namespace nereid::instrument {

// The PC side of one file being fetched: the translator it is fed into block by block, and
// what becomes of it at the end (written whole, written in part, or not at all).
class CUploadFileWriter {
public:
    CUploadFileWriter();
    ~CUploadFileWriter();
    CUploadFileWriter(const CUploadFileWriter&) = delete;
    CUploadFileWriter& operator=(const CUploadFileWriter&) = delete;

    // Sets up the translator for `item`: `form` (0..4), except HLCP for a name holding "S" or
    // "T"; headers planned from the listed size. False when its working buffers cannot be made
    // (nothing is open then).
    bool Open(const UploadItem& item, int form, const std::string& folder);
    // Stream codes of the miniSEED form for the files opened from now on.
    void SetMseedOptions(recording::SMseedOptions options) { m_Mseed = std::move(options); }
    bool IsOpen() const { return m_Translator != nullptr; }
    int Form() const { return m_Form; }
    // Data bytes fed so far.
    std::uint64_t Bytes() const { return m_Bytes; }

    // Feeds one block. Once the translator refused (not an HLCP file), later blocks are only
    // counted; Close reports the refusal.
    void Feed(const std::uint8_t* data, std::size_t length);

    // The part of a file that did not arrive whole is kept under its name with this added
    // (".2.part", ".3.part" ... when an earlier part or file has the name).
    static constexpr const char* kPartSuffix = ".part";

    // Ends the file with `result` (kUploadAccepted for a complete file; kUploadAborted or
    // kUploadNoResponse keep the part that arrived, named with kPartSuffix) and releases the
    // translator. Fills the outcome's form, bytes, result, message, written files and output
    // name. A file that cannot be written gives kUploadWriteFailed with "Can't save file
    // <path> error = <errno> (<reason>)".
    void Close(int result, const std::string& message, UploadFileOutcome& outcome);

private:
    std::unique_ptr<recording::HlcpTranslator> m_Translator;
    int m_Form = 0;
    std::uint64_t m_Bytes = 0;
    bool m_Refused = false;
    std::string m_RefusedMessage;
    recording::SMseedOptions m_Mseed;
};

} // namespace nereid::instrument
