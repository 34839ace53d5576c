#include "instrument/configuration/model/config_model.h"

namespace nereid::instrument {

void CConfigModel::Open(int modelCode, const recording::CStreamList& streams) {
    m_ModelCode = modelCode;
    m_Received.reset();
    m_LastSent.reset();
    m_Communication.SetStreams(streams);
    m_Cha.Open(modelCode, streams);
    m_Channel.SetStreams(streams);
    m_Trigger.Open(streams);
}

void CConfigModel::ShowAnswer(const link::ConfigurationRecord& record) {
    m_Received = record;
    m_Time.ShowAnswer(record);
    if (SixChannel()) {
        m_Trigger.ShowAnswer(record);
        m_Channel.ShowAnswer(record);
        m_Communication.ShowAnswer(record);
        PublishGroupRates();
    } else {
        m_Cha.ShowAnswer(record);
        m_Com.ShowAnswer(record);
    }
}

void CConfigModel::PublishGroupRates() {
    m_Trigger.SetGroupRates(m_Channel.PrimaryRate(CChannelPageModel::kGroupA),
                            m_Channel.PrimaryRate(CChannelPageModel::kGroupB));
}

int CConfigModel::Assemble(link::ConfigurationRecord& out) {
    // Without the recorder's own record every field no control shows would go out as 0: the
    // ports' words among them, which can cut the recorder off its line.
    if (!m_Received) {
        return kConfigurationNotRead;
    }
    link::ConfigurationRecord record = *m_Received;
    if (SixChannel()) {
        m_Communication.Fill(record);
    } else if (m_Com.Fill(record) != 1) {
        return kInvalidEntry;
    }
    m_Time.Fill(record);
    if (SixChannel()) {
        PublishGroupRates();
        m_Trigger.LimitAllCorners();
        m_Trigger.Fill(record);
        m_Channel.Fill(record);
    } else {
        m_Cha.Fill(record);
    }
    out = record;
    return 1;
}

int CConfigModel::OnAccepted(recording::CStreamList& streams) {
    if (!m_LastSent) {
        return 0;
    }
    const link::ConfigurationRecord& sent = *m_LastSent;
    streams.ApplyConfiguration(sent.channelEnableMask, sent.rateCodes);
    const int localBaud = BaudOfPosition((sent.portWords[0] >> 1) & 0x7);
    if (SixChannel()) {
        // The pages' last received values become what was sent.
        ShowAnswer(sent);
    } else {
        m_Received = sent;
    }
    ClearModified();
    return localBaud;
}

bool CConfigModel::Modified() const {
    if (m_Time.Modified()) {
        return true;
    }
    if (SixChannel()) {
        return m_Communication.Modified() || m_Channel.Modified() || m_Trigger.Modified();
    }
    return m_Com.Modified() || m_Cha.Modified();
}

void CConfigModel::ClearModified() {
    m_Time.ClearModified();
    m_Com.ClearModified();
    m_Cha.ClearModified();
    m_Communication.ClearModified();
    m_Channel.ClearModified();
    m_Trigger.ClearModified();
}

} // namespace nereid::instrument
