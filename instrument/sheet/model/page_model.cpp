#include "instrument/sheet/model/page_model.h"

namespace nereid::instrument {

int CPageModel::Prepare(std::uint8_t& code, link::CommandRecord& record, std::string& message) {
    // A query page sends its query; the Status sheet's REFRESH goes through here.
    code = QueryCode();
    record = link::CommandRecord{};
    message.clear();
    return code != 0 ? kPrepared : kNothingToSend;
}

int CPageModel::ShowAnswer(const link::FrameRecord&) {
    return 0;
}

int CPlainOrderModel::Prepare(std::uint8_t& code, link::CommandRecord& record,
                              std::string& message) {
    code = m_Code;
    record = link::CommandRecord{};
    message.clear();
    return kPrepared;
}

const char* YesNo(bool yes) {
    return yes ? "YES" : "NO";
}

std::string TrimmedLabel(const std::string& label) {
    std::size_t end = label.size();
    while (end > 0 && (label[end - 1] == ' ' || label[end - 1] == ':'))
        --end;
    // A run of padding dots goes; the one dot of an abbreviation ("Modem On Local S.P.") stays.
    std::size_t dots = end;
    while (dots > 0 && label[dots - 1] == '.')
        --dots;
    if (end - dots >= 2) {
        end = dots;
        while (end > 0 && label[end - 1] == ' ')
            --end;
    }
    std::size_t begin = 0;
    while (begin < end && label[begin] == ' ')
        ++begin;
    return label.substr(begin, end - begin);
}

} // namespace nereid::instrument
