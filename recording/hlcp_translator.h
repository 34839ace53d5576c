#pragma once

#include "recording/hlcp_format.h"
#include "recording/mseed_packer.h"
#include "recording/output_block.h"
#include "recording/seisan_format.h"

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace nereid::recording {

// Translates one HLCP file, fed whole (file translate) or in pieces as they arrive (upload),
// into one of the PC forms. Samples are decoded into an anonymous memory block; Write puts the
// form's header and that block into the destination folder.
class HlcpTranslator {
public:
    enum Form : int { kDadisp = 0, kSeisan = 1, kAscii = 2, kHlcp = 3, kCss = 4, kMseed = 5 };

    static constexpr const char* kNotHlcpText =
        "The file can not be translated since it is not the HLCP file format!";
    static constexpr const char* kMappedFileText = "Fails due to the mapped file";

    // Output capacity for a source of `sourceSize` bytes: x 4 for ASCII, x 2 otherwise,
    // + 4000 bytes. The block grows when more arrives than announced.
    static std::size_t CapacityFor(int form, std::size_t sourceSize);

    // `sourceName` may be a path; only its base name is used. `destinationFolder` without a
    // trailing "/".
    HlcpTranslator(int form, std::size_t capacity, std::string sourceName,
                   std::string destinationFolder);
    ~HlcpTranslator();
    HlcpTranslator(const HlcpTranslator&) = delete;
    HlcpTranslator& operator=(const HlcpTranslator&) = delete;

    // The miniSEED form's network code and channel -> component letters, and the unit number
    // that names the station when the file carries no station name. Defaults: "XX", none, 0.
    void SetMseedOptions(std::string network, MseedComponentMap components, std::uint16_t unit);
    // The stream codes the miniSEED form gives this file (valid once the header was read).
    SMseedStreamId MseedStream() const;

    // True when the output block could be mapped.
    bool PrepareOutput();

    // 1 accepted, 0 refused (Message() says why). The first piece of every form but HLCP
    // must hold the whole 276-byte header. A piece may end inside a sample: its bytes are
    // kept for the next piece.
    int Feed(const std::uint8_t* piece, std::size_t length);

    // Creates the output file(s), replacing existing ones. 1 written, 0 failed
    // (Message() holds "Can't save file <path> error = <errno>").
    int Write();

    // Releases the output block.
    void ReleaseOutput();

    // Name of the output file shown to the user (the CSS data file for CSS); empty before
    // the header has been read, except for the HLCP form.
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
    void Decode(const std::uint8_t* bytes, std::size_t count);
    void Emit(std::int32_t sample, std::uint8_t*& out);
    std::string BaseOutputName() const;
    std::string CssDataName() const;
    int WriteFile(const std::string& path, const std::string& head, const std::uint8_t* body,
                  std::size_t bodyLength);
    int AppendFile(const std::string& path, const std::string& head, const std::uint8_t* body,
                   std::size_t bodyLength);
    int PutFile(const std::string& path, const std::string& head, const std::uint8_t* body,
                std::size_t bodyLength, int flags);
    int WriteSeisan(const std::string& path, const std::string& component);
    int WriteMseed(const std::string& path);

    int m_form;
    std::size_t m_capacity;
    std::string m_sourceName;
    std::string m_folder;
    HlcpHeader m_header;
    bool m_headerParsed = false;
    std::uint64_t m_samples = 0;
    COutputBlock m_block;
    CSeisanDataFramer m_framer;
    bool m_sealed = false;
    std::uint8_t m_carry[3] = {0, 0, 0};
    std::size_t m_carryLength = 0;
    std::string m_message;
    std::vector<std::string> m_written;
    std::string m_network = kDefaultMseedNetwork;
    MseedComponentMap m_components;
    std::uint16_t m_unit = 0;
};

} // namespace nereid::recording
