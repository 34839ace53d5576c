#pragma once

// The values of the internal recording keys of `nereid ir` as an operator types and reads
// them: drives by letter, modes by name, dates as YYYY-MM-DDTHH:MM[:SS], spans as HHH:MM:SS,
// counts with a unit letter, channel lists.

#include <array>
#include <string>

#include "instrument/internal_recording/model/ir_setup_model.h"
#include "instrument/sheet/model/drive_names.h"

namespace nereid::cli {

std::string DriveText(int index);
std::string ModeText(int mode);
std::string DateText(const instrument::IRDateTime& t, bool withSeconds);
std::string SpanText(const instrument::IRSpan& s);
std::string UnitText(long long value, int unit);
std::string ChannelText(const std::array<bool, 6>& on);

// Each returns false for a value it refuses; those with `error` say why there.
bool ParseMode(const std::string& value, int count, int& mode);
bool ParseDrive(const instrument::CDriveNames& drives, const std::string& value, int& index,
                std::string& error);
bool ParseChannels(const std::string& value, std::array<bool, 6>& on, std::string& error);
bool ParseValueUnit(const std::string& value, long long& number, int& unit);
bool ParseDate(const std::string& value, bool withSeconds, instrument::IRDateTime& t,
               std::string& error);
bool ParseSpan(const std::string& value, instrument::IRSpan& span, std::string& error);

} // namespace nereid::cli
