#include "instrument/configuration/model/config_fields.h"

#include "instrument/configuration/model/config_text.h"

namespace nereid::instrument {

namespace {

class FieldList {
public:
    explicit FieldList(std::vector<ConfigField>& fields) : m_Fields(fields) {}
    void Page(const char* page) { m_Page = page; }
    void Text(const std::string& key, const std::string& value) {
        m_Fields.push_back({m_Page, key, value, false});
    }
    void Number(const std::string& key, const std::string& value) {
        m_Fields.push_back({m_Page, key, value, true});
    }
    void Number(const std::string& key, long long value) { Number(key, std::to_string(value)); }

private:
    std::vector<ConfigField>& m_Fields;
    std::string m_Page;
};

void PortFields(FieldList& out, int port, const PortSettings& s) {
    const std::string p = std::string("port.") + kPortKeys[port] + ".";
    out.Text(p + "data", OnOff(s.data));
    if (const int baud = BaudOfPosition(s.baud); baud > 0) {
        out.Number(p + "baud", baud);
    } else {
        out.Text(p + "baud", "unselected");
    }
    out.Text(p + "protocol", ListText(kProtocolNames, 3, s.protocol));
    out.Text(p + "format", ListText(kFormatNames, 3, s.format));
    out.Text(p + "tx-acknak", OnOff(s.txAckNak));
    out.Text(p + "rx-acknak", OnOff(s.rxAckNak));
    out.Text(p + "command-response", OnOff(s.commandResponse));
    out.Text(p + "unsolicited", OnOff(s.unsolicited));
}

std::string ChannelListText(const PortValues& v) {
    std::string text;
    for (int k = 1; k <= 6; ++k) {
        if (v.primary[static_cast<std::size_t>(k - 1)]) {
            text += (text.empty() ? "" : ",") + std::to_string(k);
        }
    }
    for (int k = 1; k <= 6; ++k) {
        if (v.secondary[static_cast<std::size_t>(k - 1)]) {
            text += (text.empty() ? "" : ",") + std::to_string(k + 8);
        }
    }
    return text.empty() ? "none" : text;
}

void RateField(FieldList& out, const std::string& key, int rate) {
    if (rate > 0) {
        out.Number(key, rate);
    } else {
        out.Text(key, "unselected");
    }
}

void EightChannelFields(FieldList& out, const CChaPageModel& page) {
    for (int r = 0; r < page.VisibleRows(); ++r) {
        const int c = page.RowChannel(r);
        if (c == 0) {
            continue;
        }
        const ChaRow& row = page.Row(r);
        const std::string p = "channel." + std::to_string(c) + ".";
        out.Text(p + "enabled", OnOff(row.enabled));
        const auto& list = page.RateList();
        RateField(out, p + "rate",
                  row.ratePosition >= 0 && static_cast<std::size_t>(row.ratePosition) < list.size()
                      ? list[static_cast<std::size_t>(row.ratePosition)].samplesPerSecond
                      : 0);
        if (page.AuthenticationShown()) {
            out.Text(p + "auth-local", OnOff(row.authLocal));
            out.Text(p + "auth-main", OnOff(row.authMain));
            out.Text(p + "auth-gen", OnOff(row.authGeneration));
        }
    }
    if (page.AuthenticationShown()) {
        out.Text("soh.local", OnOff(page.sohLocal));
        out.Text("soh.main", OnOff(page.sohMain));
    }
}

void SixChannelFields(FieldList& out, const CChannelPageModel& page) {
    for (int k = 1; k <= 6; ++k) {
        if (page.ChannelPresent(k)) {
            out.Text("channel." + std::to_string(k) + ".enabled", OnOff(page.Enabled(k)));
        }
    }
    for (int k = 1; k <= 6; ++k) {
        if (page.ChannelPresent(k)) {
            RateField(
                out, "channel." + std::to_string(k) + ".rate",
                page.PrimaryRate(k <= 3 ? CChannelPageModel::kGroupA : CChannelPageModel::kGroupB));
        }
    }
    for (int k = 1; k <= 6; ++k) {
        if (page.ChannelPresent(k)) {
            RateField(out, "channel." + std::to_string(k + 8) + ".rate",
                      page.Group(k <= 3 ? CChannelPageModel::kGroupA : CChannelPageModel::kGroupB)
                          .secondaryRate);
        }
    }
}

void TriggerFields(FieldList& out, const CTriggerPageModel& page) {
    for (int k : page.ChannelChoices()) {
        if (k < 1 || k > CTriggerPageModel::kChannels) {
            continue;
        }
        const TriggerValues& v = page.Values(k);
        const std::string p = "trigger." + std::to_string(k) + ".";
        out.Text(p + "mode", ListText(kTriggerModeKeys, 3, v.mode));
        out.Number(p + "high-pass", DecimalText(v.highPass));
        out.Number(p + "low-pass", DecimalText(v.lowPass));
        if (v.mode == CTriggerPageModel::kModeLevel) {
            out.Number(p + "level", DecimalText(v.level));
        } else {
            out.Number(p + "sta", v.sta);
        }
        out.Number(p + "lta", v.lta);
        out.Number(p + "ratio", DecimalText(v.ratio));
        out.Number(p + "detrigger", DecimalText(v.detrigger));
        out.Text(p + "updating-lta", OnOff(v.updatingLta));
    }
}

} // namespace

std::vector<ConfigField> ConfigurationFields(const CConfigModel& model) {
    std::vector<ConfigField> fields;
    FieldList out(fields);
    out.Page(kCommunicationsGroup);
    for (int port = 0; port < kPortCount; ++port) {
        if (model.SixChannel()) {
            const PortValues& v = model.CommunicationPage().Port(port);
            PortFields(out, port, v.settings);
            out.Text(std::string("port.") + kPortKeys[port] + ".channels", ChannelListText(v));
        } else {
            PortFields(out, port, model.ComPage().Row(port));
        }
    }
    out.Page(kChannelsGroup);
    if (model.SixChannel()) {
        SixChannelFields(out, model.ChannelPage());
    } else {
        EightChannelFields(out, model.ChaPage());
    }
    out.Page(kTimeGroup);
    const TimeSettings& t = model.TimePage().Settings();
    out.Text("time.sync", ListText(kSyncKeys, 3, t.syncMode));
    out.Number("time.gps-cycle", t.gpsCycleTime);
    out.Number("time.min-correction", t.minimumCorrection);
    out.Number("time.jam-threshold", t.jamSetThreshold);
    out.Number("time.drift", t.driftCompensation);
    if (model.SixChannel()) {
        out.Page(kTriggersGroup);
        TriggerFields(out, model.TriggerPage());
    }
    return fields;
}

} // namespace nereid::instrument
