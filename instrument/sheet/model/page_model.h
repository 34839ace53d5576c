#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "link/answer_records.h"
#include "link/command_records.h"

namespace nereid::instrument {

// One value a page shows: its label as the page prints it and its value text exactly as the
// page shows it. kNumber values are decimal numbers in their text (a leading '+' allowed);
// kFlag values are check boxes, `flag` holds the tick.
struct PageField {
    enum Kind : int { kText = 0, kNumber = 1, kFlag = 2 };
    std::string label;
    std::string text;
    Kind kind = kText;
    bool flag = false;
};

// Results of CPageModel::Prepare.
enum PrepareResult : int {
    kPrepared = 1,      // code and record hold the command to send
    kNothingToSend = 0, // the page sends nothing (its message, if any, says why)
    kEntryRefused = -1, // an entry failed its number or range check; message names the range
};

// The toolkit-free side of one page of a sheet: what it shows, what it sends. A widget binds
// to it; no protocol, scaling or bit packing lives in a widget. Pages are identified by their
// dialog identifier (131 "Hardware", 137 "Cold Reset", ...), which the help topics use too.
class CPageModel {
public:
    virtual ~CPageModel() = default;

    virtual int DialogId() const = 0;
    // The tab caption, with the spacing the tab shows.
    virtual const char* Caption() const = 0;

    // The query this page sends when it becomes active or is refreshed; 0 when it has none.
    virtual std::uint8_t QueryCode() const { return 0; }

    // Turns the page's entries into the command of the execute/send button. Returns a
    // PrepareResult; `message` carries the refusal text for kEntryRefused and kNothingToSend.
    virtual int Prepare(std::uint8_t& code, link::CommandRecord& record, std::string& message);

    // Decodes an accepted answer to the page's query. Returns 1, or 0 when the answer is not
    // of the page's type (the page then keeps what it showed).
    virtual int ShowAnswer(const link::FrameRecord& answer);

    // The values shown, in page order; empty for pages that show nothing but controls.
    virtual std::vector<PageField> Fields() const { return {}; }

    bool Modified() const { return m_Modified; }
    void SetModified(bool modified) { m_Modified = modified; }

private:
    bool m_Modified = false;
};

// A page whose command carries nothing but the header word (resets, power off, flush).
class CPlainOrderModel : public CPageModel {
public:
    CPlainOrderModel(int dialogId, const char* caption, std::uint8_t code)
        : m_DialogId(dialogId), m_Caption(caption), m_Code(code) {}
    int DialogId() const override { return m_DialogId; }
    const char* Caption() const override { return m_Caption; }
    int Prepare(std::uint8_t& code, link::CommandRecord& record, std::string& message) override;

private:
    int m_DialogId;
    const char* m_Caption;
    std::uint8_t m_Code;
};

// "YES"/"NO" as the status pages show flags.
const char* YesNo(bool yes);

// A page label without its trailing padding: spaces, colons and a run of two or more dots
// ("Serial Number.....:" gives "Serial Number"; "Modem On Local S.P." keeps its dot), for
// line-by-line output.
std::string TrimmedLabel(const std::string& label);

} // namespace nereid::instrument
