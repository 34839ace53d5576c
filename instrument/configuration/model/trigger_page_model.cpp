#include "instrument/configuration/model/trigger_page_model.h"

#include <cstdlib>

namespace nereid::instrument {

void CTriggerPageModel::Open(const recording::CStreamList& streams) {
    m_Choices.clear();
    for (const recording::StreamEntry& s : streams.Streams()) {
        m_Choices.push_back(std::atoi(s.number.c_str()));
    }
}

void CTriggerPageModel::ShowAnswer(const link::ConfigurationRecord& record) {
    for (std::size_t k = 0; k < kChannels; ++k) {
        const link::TriggerRecord& r = record.triggers[k];
        TriggerValues& v = m_Values[k];
        v = TriggerValues{};
        v.mode = r.mode;
        v.highPass = r.highPassCorner / 100.0;
        v.lowPass = r.lowPassCorner / 100.0;
        if (r.mode == kModeLevel) {
            v.level = r.levelOrStaTime / 100.0;
        } else {
            v.sta = r.levelOrStaTime;
        }
        v.lta = r.ltaTime;
        v.ratio = r.triggerRatio / 100.0;
        v.detrigger = r.detriggerRatio / 100.0;
        v.updatingLta = r.updatingLta == 1;
    }
    m_Received = m_Values;
    m_Selected = m_Choices.empty() ? 1 : m_Choices.front();
}

double CTriggerPageModel::CornerLimit(int k) const {
    const int rate = m_GroupRates[k <= 3 ? 0 : 1];
    return rate > 0 ? rate / 2.0 : 0.0;
}

double CTriggerPageModel::LimitCorner(int k, double hz) const {
    const double limit = CornerLimit(k);
    return limit > 0 && hz > limit ? limit : hz;
}

double CTriggerPageModel::LimitLevel(double percent) {
    if (percent < 0.01) {
        return 0;
    }
    return percent > 100 ? 100 : percent;
}

int CTriggerPageModel::LimitTimeConstant(long long secs) {
    if (secs <= 0) {
        return 1;
    }
    return secs > 65535 ? 65535 : static_cast<int>(secs);
}

double CTriggerPageModel::LimitRatio(double ratio) {
    constexpr double kLargest = 655.35;
    return ratio > kLargest ? kLargest : ratio < 0 ? 0.0 : ratio;
}

int CTriggerPageModel::LimitAllCorners() {
    int changed = 0;
    for (int k = 1; k <= kChannels; ++k) {
        TriggerValues& v = Values(k);
        for (double* corner : {&v.highPass, &v.lowPass}) {
            const double kept = LimitCorner(k, *corner);
            changed += kept != *corner ? 1 : 0;
            *corner = kept;
        }
    }
    return changed;
}

std::uint16_t CTriggerPageModel::Hundredths(double value) {
    const double scaled = value * 100 + 0.001;
    if (!(scaled > 0)) {
        return 0;
    }
    return scaled >= 65535 ? 65535 : static_cast<std::uint16_t>(scaled);
}

int CTriggerPageModel::Fill(link::ConfigurationRecord& record) const {
    for (int k = 1; k <= kChannels; ++k) {
        const TriggerValues& v = Values(k);
        link::TriggerRecord& r = record.triggers[static_cast<std::size_t>(k - 1)];
        r.mode = static_cast<std::uint8_t>(v.mode);
        r.highPassCorner = Hundredths(LimitCorner(k, v.highPass));
        r.lowPassCorner = Hundredths(LimitCorner(k, v.lowPass));
        r.levelOrStaTime =
            v.mode == kModeLevel ? Hundredths(v.level) : static_cast<std::uint16_t>(v.sta);
        r.ltaTime = static_cast<std::uint16_t>(v.lta);
        r.triggerRatio = Hundredths(v.ratio);
        r.detriggerRatio = Hundredths(v.detrigger);
        r.updatingLta = v.updatingLta ? 1 : 0;
    }
    return 1;
}

} // namespace nereid::instrument
