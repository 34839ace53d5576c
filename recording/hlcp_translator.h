#pragma once

#include "recording/background_appender.h"
#include "recording/hlcp_format.h"
#include "recording/mseed_packer.h"
#include "recording/mseed_packer_pool.h"
#include "recording/seisan_format.h"
#include "recording/staged_file.h"

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace nereid::recording {

// Translates one HLCP file, fed whole (file translate) or in pieces as they arrive (upload),
// into one of the PC forms. The samples are decoded a block at a time into a small buffer and
// written as they come to a temporary file in the destination folder, which Write completes
// and renames to the output's name: memory stays a few MiB whatever the file's size, and a
// translation that fails or is abandoned leaves no output behind.
class HlcpTranslator {
public:
    enum Form : int { kDadisp = 0, kSeisan = 1, kAscii = 2, kHlcp = 3, kCss = 4, kMseed = 5 };

    static constexpr const char* kNotHlcpText =
        "The file can not be translated since it is not the HLCP file format!";
    static constexpr const char* kMappedFileText = "Fails due to the mapped file";

    // `expectedSourceBytes`: the recorder file's size as far as it is known beforehand (0 when
    // not). Headers that count the samples are planned from it; when more or fewer arrive they
    // are corrected at the end, at the cost of a copy when a header changes length.
    // `sourceName` may be a path; only its base name is used. `destinationFolder` without a
    // trailing "/".
    HlcpTranslator(int form, std::uint64_t expectedSourceBytes, std::string sourceName,
                   std::string destinationFolder);
    ~HlcpTranslator();
    HlcpTranslator(const HlcpTranslator&) = delete;
    HlcpTranslator& operator=(const HlcpTranslator&) = delete;

    // The miniSEED form's network code and channel -> component letters, and the unit number
    // that names the station when the file carries no station name. Defaults: "XX", none, 0.
    void SetMseedOptions(std::string network, MseedComponentMap components, std::uint16_t unit);
    // The stream codes the miniSEED form gives this file (valid once the header was read).
    SMseedStreamId MseedStream() const;

    // True when the working buffers could be made (and the form is known).
    bool PrepareOutput();

    // 1 accepted, 0 refused (Message() says why). The first piece of every form but HLCP
    // must hold the whole 276-byte header. A piece may end inside a sample: its bytes are
    // kept for the next piece. A failure to write the output is reported by Write.
    int Feed(const std::uint8_t* piece, std::size_t length);

    // Completes the output file(s), replacing existing ones. 1 written, 0 failed
    // (Message() holds "Can't save file <path> error = <errno>", and nothing is left of the
    // output). Once only (Write or WritePart).
    int Write();
    // Completes what arrived of a file that did not arrive whole, under the output's names
    // with `suffix` added. It replaces nothing, least of all the whole file fetched before:
    // when a name is taken, the first free of ".2" + suffix, ".3" + suffix ... is used.
    int WritePart(const std::string& suffix);

    // Releases the working buffers; output not yet written is dropped.
    void ReleaseOutput();

    // Name of the output file shown to the user (the CSS data file for CSS), with the suffix
    // of a part once WritePart chose it; empty before the header has been read, except for
    // the HLCP form.
    std::string OutputName() const;
    // Every file Write created.
    const std::vector<std::string>& WrittenPaths() const { return m_written; }
    const std::string& Message() const { return m_message; }
    std::uint64_t SampleCount() const { return m_samples; }
    // Bytes of an incomplete last sample (0..2) still held; Write leaves them out.
    std::size_t PendingBytes() const { return m_carryLength; }
    const HlcpHeader& Header() const { return m_header; }

    // Samples per channel when SEISAN data longer than a channel header can count (999999)
    // is split into consecutive channels of one file: whole seconds and whole 32-sample pieces.
    static std::uint64_t SeisanSegmentSamples(int rate);

private:
    void OpenOutput();
    bool WritesInBackground() const;
    CStagedFile::Layout LayoutFor(std::uint64_t samples) const;
    void Decode(const std::uint8_t* bytes, std::size_t count);
    void DecodeSamples(const std::uint8_t* p, std::size_t count);
    void FlushBuffer(bool all = false);
    void KeepBytes(const std::uint8_t* piece, std::size_t length);
    int Fail(const std::string& path, int error);
    // kKeep: a part, under the first free name with `partSuffix`.
    int Complete(CStagedFile::Existing existing, const std::string& partSuffix);
    std::string FreePartSuffix(const std::string& suffix) const;
    std::string BaseOutputName() const;
    std::string CssDataName() const;

    int m_form;
    std::uint64_t m_expectedBytes;
    std::string m_sourceName;
    std::string m_folder;
    std::string m_nameSuffix; // a part's, added to every output name
    HlcpHeader m_header;
    bool m_headerParsed = false;
    std::uint64_t m_samples = 0;
    std::unique_ptr<std::uint8_t[]> m_buffer; // output bytes not yet written
    std::unique_ptr<std::uint8_t[]> m_spare;  // the buffer before, still being written
    std::size_t m_fill = 0;
    std::unique_ptr<CStagedFile> m_output;
    std::unique_ptr<CBackgroundAppender> m_appender; // m_output's, gone before it
    int m_outputError = 0; // errno of the first failure to write the output
    CSeisanDataFramer m_framer;
    std::unique_ptr<CSteim2ChunkPacker> m_packer; // miniSEED
    bool m_rawChunks = false; // chunks sent off that still read the piece being fed
    int m_packError = 0;
    bool m_sealed = false;
    std::uint8_t m_carry[3] = {0, 0, 0};
    std::size_t m_carryLength = 0;
    std::string m_message;
    std::vector<std::string> m_written;
    std::string m_network = kDefaultMseedNetwork;
    MseedComponentMap m_components;
    std::uint16_t m_unit = 0;
};

class CMappedFile;

// Feeds a whole mapped file to `translator` in pieces, letting go of the pages already
// translated, so that a large file does not stay resident. Feed's result.
int FeedMappedFile(HlcpTranslator& translator, const CMappedFile& file);

} // namespace nereid::recording
