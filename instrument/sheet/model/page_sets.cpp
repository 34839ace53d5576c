#include "instrument/sheet/model/page_sets.h"

#include "instrument/sheet/model/page_ids.h"

namespace nereid::instrument {

std::vector<int> AllPagesOf(SheetKind sheet) {
    switch (sheet) {
    case kStatusSheet:
        return {kHardwarePage, kStateOfHealthPage, kGpsPage, kDriveStatusPage};
    case kConfigurationSheet:
        return {kFivePortCommunicationsPage,
                kEightChannelPage,
                kOnePortCommunicationsPage,
                kSixChannelPage,
                kTimePage,
                kTriggersPage};
    case kCommandSheet:
        return {kColdResetPage,   kWarmResetPage, kPowerOffPage, kFlushPage, kPowerDownDrivePage,
                kAcquisitionPage, kRelaysPage,    kVppPage,      kLedPage,   kRealTimePage,
                kDampingPage,     kAdcOffsetPage};
    case kCalibrationSheet:
        return {kImmediatePageId, kScheduledPageId};
    case kInternalRecordingSheet:
        return {kIRStationNamePageId, kIRContinuousPageId, kIREventPageId,
                kIRWindowPageId,      kIRSohPageId,        kIRStatusPageId};
    default:
        return {};
    }
}

std::vector<int> PagesFor(SheetKind sheet, int modelCode) {
    const bool merlin = modelCode == kMerlinModel;
    std::vector<int> pages;
    for (int page : AllPagesOf(sheet)) {
        switch (page) {
        case kDriveStatusPage:
        case kPowerDownDrivePage:
        case kRealTimePage:
        case kOnePortCommunicationsPage:
        case kSixChannelPage:
        case kTriggersPage:
            if (!merlin)
                continue;
            break;
        case kFivePortCommunicationsPage:
        case kEightChannelPage:
            if (merlin)
                continue;
            break;
        case kDampingPage:
            if (modelCode != kLumenModel)
                continue;
            break;
        default:
            break;
        }
        pages.push_back(page);
    }
    return pages;
}

bool CPageSetLatch::Latch(int modelCode) {
    if (m_Latched)
        return false;
    m_Latched = true;
    m_ModelCode = modelCode;
    return true;
}

} // namespace nereid::instrument
