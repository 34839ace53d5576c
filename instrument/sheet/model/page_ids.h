#pragma once

#include <cstdint>

namespace nereid::instrument {

// Dialog identifiers of the pages. They identify a page to its sheet and form its help topics.
enum PageId : int {
    kHardwarePage = 131,
    kStateOfHealthPage = 132,
    kAcquisitionPage = 133,
    kRelaysPage = 134,
    kVppPage = 135,
    kLedPage = 136,
    kColdResetPage = 137,
    kWarmResetPage = 139,
    kPowerOffPage = 140,
    kFlushPage = 141,
    kFivePortCommunicationsPage = 142,
    kEightChannelPage = 143,
    kTimePage = 144,
    kGpsPage = 162,
    kPowerDownDrivePage = 196,
    kDampingPage = 213,
    kAdcOffsetPage = 214,
    kTriggersPage = 1545,
    kSixChannelPage = 1546,
    kOnePortCommunicationsPage = 1547,
    kDriveStatusPage = 1548,
    kRealTimePage = 1549,
};

// Dialog identifiers of the Calibration and Internal Recording pages.
enum CalibrationPageId : int {
    kImmediatePageId = 170,
    kScheduledPageId = 171,
    kIRStationNamePageId = 1560,
    kIRContinuousPageId = 1561,
    kIREventPageId = 1562,
    kIRWindowPageId = 1563,
    kIRSohPageId = 1564,
    kIRStatusPageId = 1565,
};

// The instrument model codes the page sets turn on.
constexpr int kMerlinModel = 17; // drive status, power-down-drive, real-time, six-channel pages
constexpr int kLumenModel = 3;   // damping resistors, model-specific state-of-health scaling

// The model name the "Hardware" page shows for a model code; "Unknown" for codes not listed.
const char* ModelName(int modelCode);

} // namespace nereid::instrument
