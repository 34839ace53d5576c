#include "instrument/configuration/model/config_settings.h"

#include <algorithm>
#include <map>
#include <sstream>

#include "instrument/configuration/model/config_text.h"

namespace nereid::instrument {

namespace {

// The largest decimal field value whose hundredths still fit the record's 16 bits.
constexpr double kMaxHundredths = 655.35;

class Applier {
public:
    Applier(CConfigModel& model, ConfigSettingReport& report) : m(model), r(report) {}

    void Apply(const ConfigSetting& s) {
        m_Key = s.key;
        m_Value = s.value;
        const std::vector<std::string> p = SplitKey(s.key);
        if (p.size() == 3 && p[0] == "port") {
            Port(p[1], p[2]);
        } else if (p.size() == 3 && p[0] == "channel") {
            Channel(p[1], p[2]);
        } else if (p.size() == 2 && p[0] == "soh") {
            Soh(p[1]);
        } else if (p.size() == 2 && p[0] == "time") {
            Time(p[1]);
        } else if (p.size() == 3 && p[0] == "trigger") {
            Trigger(p[1], p[2]);
        } else {
            Refuse("unknown key");
        }
    }

private:
    void Refuse(const std::string& why) {
        r.refusals.push_back(m_Key + "=" + m_Value + ": " + why);
    }
    void Note(const std::string& what) { r.notes.push_back(m_Key + ": " + what); }
    bool Bool(bool& target) {
        if (!ParseOnOff(m_Value, target)) {
            Refuse("expected on or off");
            return false;
        }
        return true;
    }
    bool Whole(const FieldRange& range, long long& out) {
        if (!ParseWhole(m_Value, out) || out < range.low || out > range.high) {
            Refuse(RangeMessage(range));
            return false;
        }
        return true;
    }

    void Port(const std::string& name, const std::string& field) {
        const int port = FindName(kPortKeys, kPortCount, name);
        if (port < 0) {
            Refuse("ports are local, main, slot0, slot1, slot2");
            return;
        }
        PortSettings& s =
            m.SixChannel() ? m.CommunicationPage().Port(port).settings : m.ComPage().Row(port);
        m.ComPage().MarkModified();
        if (field == "baud") {
            long long baud = 0;
            const int* end = kBaudRates + 8;
            const int* at = ParseWhole(m_Value, baud) ? std::find(kBaudRates, end, baud) : end;
            if (at == end) {
                Refuse("baud rates are 1200, 2400, 4800, 9600, 19200, 38400, 57600, 115200");
                return;
            }
            s.baud = static_cast<int>(at - kBaudRates);
        } else if (field == "protocol") {
            const int v = FindName(kProtocolNames, 3, m_Value);
            if (v < 0) {
                Refuse("protocols are LLCP, ALCP, HLCP");
                return;
            }
            s.protocol = v;
        } else if (field == "format") {
            int v = FindName(kFormatNames, 3, m_Value);
            const std::string lower = Lower(m_Value);
            v = lower == "disabled" ? 0 : lower == "usgs" ? 2 : v;
            if (v < 0) {
                Refuse("data formats are \"Data TX Disabled\" (disabled), HLCP, "
                       "USGS/IASPEI (usgs)");
                return;
            }
            s.format = v;
        } else if (field == "data") {
            if (m.SixChannel()) {
                Refuse("data output is not editable on this model's Communications page");
                return;
            }
            Bool(s.data);
        } else if (field == "tx-acknak") {
            Bool(s.txAckNak);
        } else if (field == "rx-acknak") {
            Bool(s.rxAckNak);
        } else if (field == "command-response") {
            Bool(s.commandResponse);
        } else if (field == "unsolicited") {
            Bool(s.unsolicited);
        } else if (field == "channels") {
            PortChannels(port);
        } else {
            Refuse("unknown port setting");
        }
    }

    void PortChannels(int port) {
        if (!m.SixChannel()) {
            Refuse("channels per port exist on model code 17 only");
            return;
        }
        PortValues& v = m.CommunicationPage().Port(port);
        std::array<bool, 6> primary{};
        std::array<bool, 6> secondary{};
        if (Lower(m_Value) != "none") {
            std::stringstream in(m_Value);
            std::string item;
            while (std::getline(in, item, ',')) {
                long long c = 0;
                const bool ok = ParseWhole(item, c) && ((c >= 1 && c <= 6) || (c >= 9 && c <= 14));
                const int k = static_cast<int>(c >= 9 ? c - 8 : c);
                if (!ok || !m.CommunicationPage().ChannelPresent(k)) {
                    Refuse("channel '" + item +
                           "' is not a channel of this recorder (1..6 primary, 9..14 secondary)");
                    return;
                }
                (c >= 9 ? secondary : primary)[static_cast<std::size_t>(k - 1)] = true;
            }
        }
        v.primary = primary;
        v.secondary = secondary;
    }

    void Channel(const std::string& number, const std::string& field) {
        long long c = 0;
        if (!ParseWhole(number, c) || c < 1 || c > 16) {
            Refuse("channels are 1..16");
            return;
        }
        if (m.SixChannel()) {
            SixChannel(static_cast<int>(c), field);
        } else {
            EightChannel(static_cast<int>(c), field);
        }
    }

    void EightChannel(int c, const std::string& field) {
        CChaPageModel& page = m.ChaPage();
        int row = -1;
        for (int i = 0; i < page.VisibleRows(); ++i) {
            row = page.RowChannel(i) == c ? i : row;
        }
        if (row < 0) {
            Refuse("channel " + std::to_string(c) + " has no row on the Channels page");
            return;
        }
        page.MarkModified();
        ChaRow& target = page.Row(row);
        if (field == "enabled") {
            Bool(target.enabled);
        } else if (field == "rate") {
            long long rate = 0;
            const int position = ParseWhole(m_Value, rate)
                                     ? RatePositionOfRate(page.RateList(), static_cast<int>(rate))
                                     : -1;
            if (position < 0) {
                Refuse("not a rate of the list: " + RateListText(page.RateList()));
                return;
            }
            if (m_CommonRate != 0 && m_CommonRate != rate) {
                Refuse("every channel has one common primary rate, already set to " +
                       std::to_string(m_CommonRate));
                return;
            }
            m_CommonRate = rate;
            page.ChooseRate(position);
            if (page.VisibleRows() > 1) {
                Note("one common primary rate: every channel at " + std::to_string(rate) +
                     " samples/s");
            }
        } else if (field == "auth-local" || field == "auth-main" || field == "auth-gen") {
            if (!page.AuthenticationShown()) {
                Refuse("authentication settings exist on model codes 2 and 3 only");
                return;
            }
            Bool(field == "auth-local"  ? target.authLocal
                 : field == "auth-main" ? target.authMain
                                        : target.authGeneration);
        } else {
            Refuse("unknown channel setting");
        }
    }

    static std::string RateListText(const std::vector<RateChoice>& list) {
        std::string text;
        for (const RateChoice& c : list) {
            text += (text.empty() ? "" : ", ") + std::to_string(c.samplesPerSecond);
        }
        return text;
    }

    void SixChannel(int c, const std::string& field) {
        CChannelPageModel& page = m.ChannelPage();
        const int k = c >= 9 ? c - 8 : c;
        if (k < 1 || k > 6 || !page.ChannelPresent(k)) {
            Refuse("channel " + std::to_string(c) + " is not on the Channels page");
            return;
        }
        const int group = k <= 3 ? CChannelPageModel::kGroupA : CChannelPageModel::kGroupB;
        const std::string members = k <= 3 ? "1..3" : "4..6";
        if (field == "enabled") {
            if (c >= 9) {
                Refuse("the secondary stream follows channel." + std::to_string(k) + ".enabled");
                return;
            }
            bool on = false;
            if (Bool(on)) {
                page.SetEnabled(k, on);
            }
            return;
        }
        if (field != "rate") {
            Refuse("unknown channel setting");
            return;
        }
        long long rate = 0;
        if (!ParseWhole(m_Value, rate)) {
            Refuse("expected samples per second");
            return;
        }
        auto& chosen = (c >= 9 ? m_SecondaryRates : m_PrimaryRates)[group];
        if (chosen != 0 && chosen != rate) {
            Refuse("channels " + std::string(c >= 9 ? (k <= 3 ? "9..11" : "12..14") : members) +
                   " share one rate, already set to " + std::to_string(chosen));
            return;
        }
        if (c <= 6) {
            const int position = RatePositionOfRate(StandardRateList(), static_cast<int>(rate));
            if (position < 0) {
                Refuse("not a rate of the list: " + RateListText(StandardRateList()));
                return;
            }
            const int secondaryBefore = page.Group(group).secondaryRate;
            page.ChoosePrimary(group, position);
            chosen = rate;
            Note("the primary rate of channels " + members + " is " + std::to_string(rate));
            if (page.Group(group).secondaryRate != secondaryBefore) {
                Note(std::string("the secondary rate of channels ") +
                     (k <= 3 ? "9..11" : "12..14") + " becomes " +
                     std::to_string(page.Group(group).secondaryRate) + " (" +
                     std::to_string(secondaryBefore) + " is not offered for " +
                     std::to_string(rate) + ")");
            }
            return;
        }
        if (page.ChooseSecondary(group, static_cast<int>(rate)) != 1) {
            std::string offered;
            for (int v : page.SecondaryList(group)) {
                offered += (offered.empty() ? "" : ", ") + std::to_string(v);
            }
            Refuse("secondary rates offered for " + std::to_string(page.PrimaryRate(group)) + ": " +
                   (offered.empty() ? "none" : offered));
            return;
        }
        chosen = rate;
    }

    void Soh(const std::string& port) {
        if (m.SixChannel() || !m.ChaPage().AuthenticationShown()) {
            Refuse("SOH frame settings exist on model codes 2 and 3 only");
            return;
        }
        if (port != "local" && port != "main") {
            Refuse("SOH frames go out on local or main");
            return;
        }
        m.ChaPage().MarkModified();
        Bool(port == "local" ? m.ChaPage().sohLocal : m.ChaPage().sohMain);
    }

    void Time(const std::string& field) {
        TimeSettings& t = m.TimePage().Settings();
        long long v = 0;
        if (field == "sync") {
            int mode = FindName(kSyncKeys, 3, m_Value);
            mode = mode >= 0 ? mode : FindName(CTimePageModel::kSyncNames, 3, m_Value);
            if (mode < 0) {
                Refuse("sync modes are none, ext1pps, gps");
                return;
            }
            t.syncMode = static_cast<std::uint8_t>(mode);
        } else if (field == "gps-cycle") {
            if (Whole(CTimePageModel::kGpsCycleRange, v)) {
                t.gpsCycleTime = static_cast<std::uint32_t>(v);
            }
        } else if (field == "jam-threshold") {
            if (Whole(CTimePageModel::kJamThresholdRange, v)) {
                t.jamSetThreshold = static_cast<std::uint16_t>(v);
            }
        } else if (field == "min-correction" || field == "drift") {
            Refuse("shown greyed on the Time page: not settable");
        } else {
            Refuse("unknown time setting");
        }
    }

    void Trigger(const std::string& number, const std::string& field) {
        if (!m.SixChannel()) {
            Refuse("triggers exist on model code 17 only");
            return;
        }
        CTriggerPageModel& page = m.TriggerPage();
        long long k = 0;
        const auto& choices = page.ChannelChoices();
        if (!ParseWhole(number, k) || k < 1 || k > CTriggerPageModel::kChannels ||
            std::find(choices.begin(), choices.end(), k) == choices.end()) {
            Refuse("no trigger for channel " + number);
            return;
        }
        const int channel = static_cast<int>(k);
        TriggerValues& v = page.Values(channel);
        double d = 0;
        long long whole = 0;
        if (field == "mode") {
            int mode = FindName(kTriggerModeKeys, 3, m_Value);
            mode = Lower(m_Value) == "sta-lta" ? CTriggerPageModel::kModeStaLta : mode;
            if (mode < 0) {
                Refuse("trigger modes are none, level, sta/lta");
                return;
            }
            v.mode = mode;
        } else if (field == "high-pass" || field == "low-pass") {
            if (!Decimal(d)) {
                return;
            }
            const double kept = page.LimitCorner(channel, d);
            if (kept != d) {
                Note("corrected to " + DecimalText(kept) +
                     " Hz, half the primary rate of the channel's group");
            }
            (field == "high-pass" ? v.highPass : v.lowPass) = kept;
        } else if (field == "level") {
            if (v.mode != CTriggerPageModel::kModeLevel) {
                Refuse("the trigger level applies in LEVEL mode (trigger." + number +
                       ".mode=level)");
                return;
            }
            if (!ParseDecimal(m_Value, d)) {
                Refuse("expected a decimal number");
                return;
            }
            v.level = CTriggerPageModel::LimitLevel(d);
            if (v.level != d) {
                Note("corrected to " + DecimalText(v.level) + " % full scale");
            }
        } else if (field == "sta" || field == "lta") {
            if (field == "sta" && v.mode == CTriggerPageModel::kModeLevel) {
                Refuse("the STA time constant does not apply in LEVEL mode");
                return;
            }
            if (!ParseWhole(m_Value, whole)) {
                Refuse("expected whole seconds");
                return;
            }
            const int kept = CTriggerPageModel::LimitTimeConstant(whole);
            if (kept != whole) {
                Note("corrected to " + std::to_string(kept) + " s");
            }
            (field == "sta" ? v.sta : v.lta) = kept;
        } else if (field == "ratio" || field == "detrigger") {
            if (Decimal(d)) {
                (field == "ratio" ? v.ratio : v.detrigger) = d;
            }
        } else if (field == "updating-lta") {
            Bool(v.updatingLta);
        } else {
            Refuse("unknown trigger setting");
        }
    }

    bool Decimal(double& out) {
        if (!ParseDecimal(m_Value, out) || out > kMaxHundredths) {
            Refuse("expected a decimal number between 0 and 655.35");
            return false;
        }
        return true;
    }

    CConfigModel& m;
    ConfigSettingReport& r;
    std::string m_Key;
    std::string m_Value;
    long long m_CommonRate = 0;
    std::map<int, long long> m_PrimaryRates;
    std::map<int, long long> m_SecondaryRates;
};

// Settings that others depend on: trigger modes and primary rates.
bool FirstPass(const ConfigSetting& s) {
    const std::vector<std::string> p = SplitKey(s.key);
    if (p.size() == 3 && p[0] == "trigger" && p[2] == "mode") {
        return true;
    }
    if (p.size() == 3 && p[0] == "channel" && p[2] == "rate") {
        long long c = 0;
        return ParseWhole(p[1], c) && c <= 8;
    }
    return false;
}

} // namespace

int ParseConfigSetting(const std::string& text, ConfigSetting& out) {
    const std::size_t eq = text.find('=');
    if (eq == std::string::npos || eq == 0) {
        return 0;
    }
    out.key = Lower(text.substr(0, eq));
    out.value = text.substr(eq + 1);
    return 1;
}

int ApplyConfigSettings(CConfigModel& model, const std::vector<ConfigSetting>& settings,
                        ConfigSettingReport& report) {
    Applier applier(model, report);
    for (const ConfigSetting& s : settings) {
        if (FirstPass(s)) {
            applier.Apply(s);
        }
    }
    model.PublishGroupRates();
    for (const ConfigSetting& s : settings) {
        if (!FirstPass(s)) {
            applier.Apply(s);
        }
    }
    return report.refusals.empty() ? 1 : 0;
}

} // namespace nereid::instrument
