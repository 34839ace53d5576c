#include "cli/config_command.h"

#include <cstdio>
#include <ctime>
#include <iostream>

#include "cli/connect.h"
#include "cli/transaction_wait.h"
#include "instrument/configuration/model/config_model.h"
#include "instrument/configuration/model/time_page_model.h"
#include "link/direct_search.h"
#include "link/serial_link.h"
#include "link/serial_port_control.h"
#include "recording/calendar.h"

namespace nereid::cli {

namespace {

// "YYYY-MM-DDTHH:MM:SS" (a space for the T is taken as well). Fields out of range are not
// refused here: the Time page's clamping follows.
bool ParseClockText(const std::string& text, instrument::ClockFields& f) {
    int consumed = 0;
    char separator = 0;
    if (std::sscanf(text.c_str(), "%4d-%2d-%2d%c%2d:%2d:%2d%n", &f.year, &f.month, &f.day,
                    &separator, &f.hour, &f.minute, &f.second, &consumed) != 7) {
        return false;
    }
    return (separator == 'T' || separator == ' ') && consumed == static_cast<int>(text.size());
}

instrument::ClockFields NowUtc() {
    const std::time_t now = std::time(nullptr);
    std::tm t{};
    ::gmtime_r(&now, &t);
    instrument::ClockFields f;
    f.year = t.tm_year + 1900;
    f.month = t.tm_mon + 1;
    f.day = t.tm_mday;
    f.hour = t.tm_hour;
    f.minute = t.tm_min;
    f.second = t.tm_sec > 59 ? 59 : t.tm_sec; // a leap second is not a field value
    return f;
}

} // namespace

int RunClockCommand(const GlobalOptions& options, const std::vector<std::string>& args) {
    if (args.size() != 2 || args[0] != "set") {
        std::cerr << "Usage: nereid clock set YYYY-MM-DDTHH:MM:SS | nereid clock set --now\n";
        return kExitUsage;
    }
    instrument::ClockFields fields;
    if (args[1] == "--now") {
        fields = NowUtc();
    } else if (!ParseClockText(args[1], fields)) {
        std::cerr << "nereid clock set: expected YYYY-MM-DDTHH:MM:SS (UTC), not '" << args[1]
                  << "'\n";
        return kExitUsage;
    }
    if (instrument::CTimePageModel::ClampFields(fields) > 0) {
        char text[64];
        std::snprintf(text, sizeof text, "%04d-%02d-%02dT%02d:%02d:%02d", fields.year, fields.month,
                      fields.day, fields.hour, fields.minute, fields.second);
        std::cerr << "nereid clock set: " << args[1] << " corrected to " << text
                  << " (month 1..12, day 1..31, year 1970..2069, hour 0..23, minute and "
                     "second 0..59)\n";
    }
    const link::ClockSetCommand command = instrument::CTimePageModel::ClockSet(fields);

    link::CSerialLink link;
    link::CSerialPortControl ports(link);
    link::CDirectSearch search(link, ports);
    if (const int connected = ConnectToRecorder(options, link, search, std::cerr, std::cerr);
        connected != kExitOk) {
        return connected;
    }
    link::CTransaction transaction(link);
    const int result =
        RunSheetTransaction(transaction, instrument::kSetClock, link::CommandRecord{0, command});
    if (result != link::kTransactionAccepted) {
        std::cerr << "nereid clock set: " << transaction.ResultText() << "\n";
        return result == link::kTransactionRejected ? kExitRefused : kExitNoAnswer;
    }
    const recording::CalendarTime t = recording::SecondsToCalendar(command.seconds);
    char text[96];
    std::snprintf(text, sizeof text,
                  "Accepted: %04d-%02d-%02d %02d:%02d:%02d UTC (%u s since 1970)", t.year, t.month,
                  t.day, t.hour, t.minute, t.second, command.seconds);
    std::cout << text << "\n";
    return kExitOk;
}

} // namespace nereid::cli
