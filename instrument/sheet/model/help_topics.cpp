#include "instrument/sheet/model/help_topics.h"

#include "instrument/sheet/model/page_ids.h"

namespace nereid::instrument {

namespace {

struct Band {
    double from, to;
    int page; // dialog identifier; kFlushPage stands for the flush tab topic
};

int TopicOfBand(const Band* bands, int count, double x) {
    for (int i = 0; i < count; ++i)
        if (x >= bands[i].from && x < bands[i].to)
            return bands[i].page == kFlushPage ? kFlushTabTopic : PageTopic(bands[i].page);
    return 0;
}

bool InLowerCommandRow(int page) {
    return page == kAcquisitionPage || page == kRelaysPage || page == kVppPage ||
           page == kLedPage || page == kRealTimePage;
}

struct PageText {
    int page;
    const char* text;
};

// One short topic per page; a control topic shows its page's text.
constexpr PageText kTexts[] = {
    {kHardwarePage, "Hardware: what the recorder reports about itself: serial number, the boards "
                    "and controllers found, the modems, the model and the software version. "
                    "REFRESH asks again; the sheet also asks every 6 seconds."},
    {kStateOfHealthPage,
     "State of Health: supply voltages, temperatures and the event input, read from the "
     "recorder's monitor channels. Values are refreshed every 6 seconds while the page is open."},
    {kGpsPage, "GPS Information: the clock's sync mode, lock state and difference, and, when the "
               "clock is synchronised by GPS, the receiver's fix, position and satellites."},
    {kDriveStatusPage, "Drive Status: the five storage drives A to E: installed or not, type, "
                       "volume label, serial number and free space in kB."},
    {kColdResetPage, "Cold Reset: restarts the recorder with its power-up settings. Press "
                     "EXECUTE to send the order."},
    {kWarmResetPage, "Warm Reset: restarts the recorder's program and keeps its settings. Press "
                     "EXECUTE to send the order."},
    {kPowerOffPage, "Power Off: switches the recorder off. It cannot be reached again until it "
                    "is powered on at the site."},
    {kFlushPage, "Flush Data: writes the recorder's buffered data to its drives."},
    {kPowerDownDrivePage, "Power Down Drive: powers down drive B, C or D so that it can be "
                          "removed safely."},
    {kAcquisitionPage, "Acquisition: starts or stops data acquisition. With no choice, EXECUTE "
                       "stops it."},
    {kRelaysPage, "Relays: per channel, the input relay: Sig (signal), L.B. (loop back) or Short. "
                  "Channels not enabled are switched off."},
    {kVppPage, "Vpp Supply: switches the Vpp supply on or off."},
    {kLedPage, "LED Display: switches the recorder's LED display on or off."},
    {kRealTimePage, "Real Time Data to PC: starts or stops the stream of one frame per channel "
                    "per second to the PC."},
    {kDampingPage, "Damping Resistor Control and Status: enables and scale values (0 to 127) of "
                   "the eight damping resistors. Each Send button sends its column; the wide one "
                   "sends both, only when something changed."},
    {kAdcOffsetPage, "ADC Offset Calibration: makes the recorder measure and store the offsets "
                     "of its converters."},
    {kFivePortCommunicationsPage, "Communications: the five serial ports of the recorder."},
    {kOnePortCommunicationsPage, "Communications: the recorder's serial port."},
    {kEightChannelPage, "Channels: enables and sample rates of the eight channels."},
    {kSixChannelPage, "Channels: enables and the two sample rates of the six channels."},
    {kTimePage, "Time: the clock's synchronisation settings and the recorder's clock."},
    {kTriggersPage, "Triggers: the event trigger of each channel."},
};

} // namespace

PageHelpKind HelpKindOf(int dialogId) {
    switch (dialogId) {
    case kHardwarePage:
    case kStateOfHealthPage:
    case kGpsPage:
    case kDriveStatusPage:
    case kFivePortCommunicationsPage:
    case kEightChannelPage:
    case kTimePage:
    case kOnePortCommunicationsPage:
    case kColdResetPage:
    case kWarmResetPage:
    case kPowerOffPage:
        return kControlHelp;
    case kAcquisitionPage:
    case kRelaysPage:
    case kVppPage:
    case kLedPage:
    case kPowerDownDrivePage:
    case kRealTimePage:
    case kSixChannelPage:
        return kPageLevelHelp;
    default:
        return kNoPageHelp;
    }
}

int PageTopic(int dialogId) {
    return 0x20000 + dialogId;
}

unsigned ControlTopic(int dialogId, int controlId) {
    return 0x80000000u + static_cast<unsigned>(dialogId) * 0x10000u +
           static_cast<unsigned>(controlId);
}

unsigned PageRequestTopic(int dialogId, int controlId) {
    switch (HelpKindOf(dialogId)) {
    case kControlHelp:
        return ControlTopic(dialogId, controlId);
    case kPageLevelHelp:
        return static_cast<unsigned>(PageTopic(dialogId));
    default:
        return 0;
    }
}

int TabStripTopic(SheetKind sheet, int modelCode, int activePage, double x, double y) {
    if (x < 0 || y < 0)
        return 0;
    const bool merlin = modelCode == kMerlinModel;
    switch (sheet) {
    case kStatusSheet: {
        static constexpr Band kBands[] = {{0, 0.20, kHardwarePage},
                                          {0.20, 0.38, kStateOfHealthPage},
                                          {0.38, 0.58, kGpsPage},
                                          {0.58, 0.74, kDriveStatusPage}};
        return y < 0.15 ? TopicOfBand(kBands, 4, x) : 0;
    }
    case kConfigurationSheet: {
        if (y >= 0.15)
            return 0;
        const Band bands[] = {{0, 0.20, kFivePortCommunicationsPage},
                              {0.20, 0.38, merlin ? kSixChannelPage : kEightChannelPage},
                              {0.38, 0.58, kTimePage},
                              {0.58, 0.78, kTriggersPage}};
        return TopicOfBand(bands, merlin ? 4 : 3, x);
    }
    case kCommandSheet: {
        // Row A holds the resets, power off, flush and power-down-drive tabs; it stands below
        // row B unless a page of row B is active, which brings row B to the front (lower) line.
        const bool swapped = InLowerCommandRow(activePage);
        const double rowAFrom = swapped ? 0 : 0.12;
        const double rowBFrom = swapped ? 0.12 : 0;
        static constexpr Band kMerlinA[] = {{0, 0.20, kColdResetPage},
                                            {0.20, 0.38, kWarmResetPage},
                                            {0.38, 0.54, kPowerOffPage},
                                            {0.54, 0.72, kFlushPage},
                                            {0.72, 1.0, kPowerDownDrivePage}};
        static constexpr Band kMerlinB[] = {{0, 0.20, kAcquisitionPage},
                                            {0.20, 0.32, kRelaysPage},
                                            {0.32, 0.50, kVppPage},
                                            {0.50, 0.70, kLedPage},
                                            {0.70, 1.0, kRealTimePage}};
        static constexpr Band kOtherA[] = {{0, 0.25, kColdResetPage},
                                           {0.25, 0.5, kWarmResetPage},
                                           {0.5, 0.75, kPowerOffPage},
                                           {0.75, 1.0, kFlushPage}};
        static constexpr Band kOtherB[] = {{0, 0.25, kAcquisitionPage},
                                           {0.25, 0.5, kRelaysPage},
                                           {0.5, 0.75, kVppPage},
                                           {0.75, 1.0, kLedPage}};
        if (y >= rowAFrom && y < rowAFrom + 0.12)
            return merlin ? TopicOfBand(kMerlinA, 5, x) : TopicOfBand(kOtherA, 4, x);
        if (y >= rowBFrom && y < rowBFrom + 0.12)
            return merlin ? TopicOfBand(kMerlinB, 5, x) : TopicOfBand(kOtherB, 4, x);
        return 0;
    }
    default:
        return 0;
    }
}

std::string HelpText(unsigned topic) {
    if (topic == kCommandSheetHelpTopic)
        return "Commands: choose the page of an order, set its choices and press EXECUTE. The "
               "box at the bottom left shows whether the recorder accepted the order "
               "(\"Accepted\"), refused it (\"Rejected\") or did not answer within 4 seconds "
               "(\"No Response\").";
    if (topic == kConfigurationSheetHelpTopic)
        return "Configuration: the sheet reads the recorder's configuration when it opens. "
               "Change the entries of a page and press Send.";
    int page = -1;
    if (topic == static_cast<unsigned>(kFlushTabTopic))
        page = kFlushPage;
    else if (topic >= 0x80000000u)
        page = static_cast<int>((topic - 0x80000000u) / 0x10000u);
    else if (topic >= 0x20000u)
        page = static_cast<int>(topic - 0x20000u);
    for (const PageText& t : kTexts)
        if (t.page == page)
            return t.text;
    return "";
}

} // namespace nereid::instrument
