#include "instrument/upload/model/upload_file_writer.h"

#include <cstdlib>
#include <cstring>

#include "instrument/upload/model/upload_entry.h"
#include "recording/hlcp_translator.h"

namespace nereid::instrument {

namespace {

// "Can't save file <path> error = <errno>" with the reason in words after it.
std::string WithReason(std::string message) {
    while (!message.empty() && (message.back() == '\n' || message.back() == ' ')) {
        message.pop_back();
    }
    const std::size_t at = message.rfind("error = ");
    if (at != std::string::npos) {
        const int error = std::atoi(message.c_str() + at + 8);
        if (error > 0) {
            message += std::string(" (") + std::strerror(error) + ")";
        }
    }
    return message;
}

} // namespace

CUploadFileWriter::CUploadFileWriter() = default;

CUploadFileWriter::~CUploadFileWriter() {
    if (m_Translator) {
        m_Translator->ReleaseOutput();
    }
}

bool CUploadFileWriter::Open(const UploadItem& item, int form, const std::string& folder) {
    m_Form = KeepsRecorderForm(item.name) ? recording::HlcpTranslator::kHlcp : form;
    m_Bytes = 0;
    m_Refused = false;
    m_RefusedMessage.clear();
    // The size as listed ("Size-k"): the translator plans the headers that count the samples
    // from it and corrects them when more or less arrives.
    const std::size_t expected = static_cast<std::size_t>(SizeInK(item.size)) * 1000;
    m_Translator = std::make_unique<recording::HlcpTranslator>(m_Form, expected, item.name, folder);
    m_Translator->SetMseedOptions(m_Mseed.network, m_Mseed.components, 0);
    if (!m_Translator->PrepareOutput()) {
        m_Translator.reset();
        return false;
    }
    return true;
}

void CUploadFileWriter::Feed(const std::uint8_t* data, std::size_t length) {
    m_Bytes += length;
    if (!m_Translator || m_Refused) {
        return;
    }
    if (m_Translator->Feed(data, length) != 1) {
        m_Refused = true;
        m_RefusedMessage = m_Translator->Message();
    }
}

void CUploadFileWriter::Close(int result, const std::string& message, UploadFileOutcome& outcome) {
    outcome.form = m_Form;
    outcome.bytes = m_Bytes;
    outcome.result = result;
    outcome.message = message;
    if (!m_Translator) {
        return;
    }
    // An aborted or silent file keeps what arrived: the part is written like a whole file,
    // and the outcome says it is not complete.
    const bool partial = result == kUploadAborted || result == kUploadNoResponse;
    if (m_Refused && (result == kUploadAccepted || partial)) {
        outcome.result = result == kUploadAccepted ? kUploadNotTranslatable : result;
        outcome.message = m_RefusedMessage;
    } else if (result == kUploadAccepted || (partial && m_Bytes > 0)) {
        // What arrived of a file cut short is kept under a name that cannot pass for the whole
        // file, and never in place of the whole file fetched before.
        const int written = partial ? m_Translator->WritePart(kPartSuffix) : m_Translator->Write();
        if (written == 1) {
            outcome.outputName = m_Translator->OutputName();
        } else {
            outcome.result = kUploadWriteFailed;
            outcome.message = WithReason(m_Translator->Message());
        }
        outcome.written = m_Translator->WrittenPaths();
    }
    m_Translator->ReleaseOutput();
    m_Translator.reset();
}

} // namespace nereid::instrument
