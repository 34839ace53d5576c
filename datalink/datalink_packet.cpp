#include "datalink/datalink_packet.h"

#include <sys/utsname.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <sstream>
#include <string_view>
#include <vector>

namespace nereid::datalink {

namespace {

std::vector<std::string> Words(const std::string& text) {
    std::vector<std::string> words;
    std::istringstream in(text);
    for (std::string word; in >> word;) {
        words.push_back(word);
    }
    return words;
}

bool ParseSize(const std::string& text, long& size) {
    if (text.empty() || text.size() > 9 ||
        text.find_first_not_of("0123456789") != std::string::npos) {
        return false;
    }
    size = std::strtol(text.c_str(), nullptr, 10);
    return size <= static_cast<long>(kMaxDataLength);
}

bool IsPlainCode(const std::string& code) {
    return code.find_first_of("_/ \t\r\n") == std::string::npos;
}

// Login name for the ID line; never a secret.
std::string UserName() {
    if (const char* user = std::getenv("USER"); user != nullptr && *user != '\0') {
        return user;
    }
    return "unknown";
}

std::string WithoutColons(std::string text) {
    for (char& c : text) {
        if (c == ':' || c == ' ') {
            c = '-';
        }
    }
    return text;
}

} // namespace

std::string FramePacket(const std::string& header, const char* data, std::size_t size) {
    if (header.empty() || header.size() > kMaxHeaderLength) {
        return {};
    }
    std::string packet = "DL";
    packet.push_back(static_cast<char>(static_cast<unsigned char>(header.size())));
    packet += header;
    if (data != nullptr && size > 0) {
        packet.append(data, size);
    }
    return packet;
}

long ReplyDataSize(const std::string& header) {
    const std::vector<std::string> words = Words(header);
    if (words.empty()) {
        return -1;
    }
    const std::string& kind = words[0];
    if (kind == "OK" || kind == "ERROR" || kind == "INFO" || kind == "PACKET") {
        long size = 0;
        if (words.size() < 2 || !ParseSize(words.back(), size)) {
            return -1;
        }
        return size;
    }
    return 0;
}

int CReplyReader::Next(SPacket& packet) {
    if (std::string_view("DL").substr(0, std::min<std::size_t>(m_Buffer.size(), 2)) !=
        std::string_view(m_Buffer).substr(0, 2)) {
        return kReaderNotDataLink;
    }
    if (m_Buffer.size() < 3) {
        return kReaderNeedMore;
    }
    const std::size_t headerLength = static_cast<unsigned char>(m_Buffer[2]);
    if (headerLength == 0) {
        return kReaderNotDataLink;
    }
    if (m_Buffer.size() < 3 + headerLength) {
        return kReaderNeedMore;
    }
    std::string header = m_Buffer.substr(3, headerLength);
    const long dataLength = ReplyDataSize(header);
    if (dataLength < 0) {
        return kReaderNotDataLink;
    }
    const std::size_t total = 3 + headerLength + static_cast<std::size_t>(dataLength);
    if (m_Buffer.size() < total) {
        return kReaderNeedMore;
    }
    packet.header = std::move(header);
    packet.data = m_Buffer.substr(3 + headerLength, static_cast<std::size_t>(dataLength));
    m_Buffer.erase(0, total);
    return kReaderPacket;
}

bool ParseStatusReply(const SPacket& packet, SStatusReply& reply) {
    const std::vector<std::string> words = Words(packet.header);
    if (words.size() != 3 || (words[0] != "OK" && words[0] != "ERROR")) {
        return false;
    }
    char* end = nullptr;
    errno = 0;
    const long long value = std::strtoll(words[1].c_str(), &end, 10);
    if (*end != '\0' || errno != 0) {
        return false;
    }
    reply.ok = words[0] == "OK";
    reply.value = value;
    reply.message = packet.data;
    while (!reply.message.empty() &&
           (reply.message.back() == '\0' || reply.message.back() == '\n' ||
            reply.message.back() == '\r')) {
        reply.message.pop_back();
    }
    return true;
}

std::string SourceStreamId(const std::string& network, const std::string& station,
                           const std::string& location, const std::string& channel) {
    if (channel.size() != 3 || network.empty() || station.empty() || !IsPlainCode(network) ||
        !IsPlainCode(station) || !IsPlainCode(location) || !IsPlainCode(channel)) {
        return {};
    }
    std::string id = "FDSN:" + network + "_" + station + "_" + location + "_";
    id += channel[0];
    id += '_';
    id += channel[1];
    id += '_';
    id += channel[2];
    return id + "/MSEED";
}

std::string WriteHeader(const std::string& streamId, std::int64_t startUs, std::int64_t endUs,
                        std::size_t size) {
    return "WRITE " + streamId + " " + std::to_string(startUs) + " " + std::to_string(endUs) +
           " A " + std::to_string(size);
}

std::string IdHeader(const std::string& program) {
    utsname system{};
    std::string machine = "unknown";
    if (uname(&system) == 0) {
        machine = std::string(system.sysname) + "-" + system.machine;
    }
    // Each field short enough that the line stays within the 255 bytes of a header.
    return "ID " + WithoutColons(program).substr(0, 64) + ":" +
           WithoutColons(UserName()).substr(0, 64) + ":" + std::to_string(getpid()) + ":" +
           WithoutColons(machine).substr(0, 64);
}

std::string AuthHeader(std::size_t size) {
    return "AUTH USERPASS " + std::to_string(size);
}

std::string AuthData(const std::string& user, const std::string& password) {
    return user + "\r" + password;
}

std::int64_t MicrosecondsOf(std::int64_t ns) {
    const std::int64_t us = ns / 1000;
    return (ns % 1000 < 0) ? us - 1 : us;
}

bool HasCapability(const std::string& idHeader, const std::string& word, std::string* value) {
    const std::size_t mark = idHeader.find("::");
    if (mark == std::string::npos) {
        return false;
    }
    for (const std::string& w : Words(idHeader.substr(mark + 2))) {
        if (w == word) {
            return true;
        }
        if (w.size() > word.size() && w.compare(0, word.size(), word) == 0 &&
            w[word.size()] == ':') {
            if (value != nullptr) {
                *value = w.substr(word.size() + 1);
            }
            return true;
        }
    }
    return false;
}

} // namespace nereid::datalink
