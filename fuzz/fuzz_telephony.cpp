// The Hayes dialler fed any modem answers between its ticks, and the phone directory read
// from any phone.ini. The dialler only ever writes modem commands, ends every call exactly
// once and is idle again within its longest time limits; a directory entry is stored cut to
// the editor limits and storing it leaves every other slot as it was.
#include "fuzz/fuzz_support.h"
#include "link/hayes_dialler.h"
#include "link/phone_directory.h"

#include <fuzzer/FuzzedDataProvider.h>

#include <deque>

using namespace nereid::link;

namespace {

class ScriptedLine : public CModemLine {
public:
    int Open(const std::string&) override {
        open = true;
        return 1;
    }
    bool IsOpen() const override { return open; }
    int Write(const std::uint8_t* bytes, std::size_t length) override {
        if (!open)
            return 0;
        written.append(reinterpret_cast<const char*>(bytes), length);
        return static_cast<int>(length);
    }
    int Read(std::uint8_t* bytes, std::size_t capacity) override {
        std::size_t n = 0;
        while (open && n < capacity && !input.empty()) {
            bytes[n++] = input.front();
            input.pop_front();
        }
        return static_cast<int>(n);
    }
    int DuplicateHandle() override { return -1; }
    bool CarrierLost() const override { return carrierLost; }
    void Close() override { open = false; }

    bool open = false;
    bool carrierLost = false;
    std::string written;
    std::deque<std::uint8_t> input;
};

class Listener : public CDiallerListener {
public:
    void CallProgress(const char*) override {}
    void CallConnected(int) override { ++connected; }
    void CallEnded(int) override { ++ended; }
    int connected = 0;
    int ended = 0;
};

void CheckWrittenCommands(const std::string& written) {
    // Every line the dialler sends is an AT command or the escape "+++".
    std::size_t at = 0;
    while (at < written.size()) {
        std::size_t end = written.find('\r', at);
        if (end == std::string::npos)
            end = written.size();
        const std::string line = written.substr(at, end - at);
        NEREID_FUZZ_CHECK(line.empty() || line.rfind("AT", 0) == 0 || line == "+++");
        at = end + 1;
    }
}

void Dialler(FuzzedDataProvider& in) {
    ScriptedLine line;
    Listener listener;
    CHayesDialler dialler(line, listener);
    if (dialler.Dial("/dev/null", "5551234") != CHayesDialler::kDialStarted)
        return;
    int ticks = 0;
    while (in.remaining_bytes() > 0 && ticks < 5000) {
        switch (in.ConsumeIntegralInRange<int>(0, 5)) {
        case 0:
            dialler.Hangup();
            break;
        case 1:
            line.carrierLost = in.ConsumeBool();
            break;
        case 2: {
            static const char* const kAnswers[] = {
                "OK\r\n",    "CONNECT 9600\r\n", "RINGING\r\n",  "BUSY\r\n", "NO CARRIER\r\n",
                "ERROR\r\n", "NO DIALTONE\r\n",  "RINGBACK\r\n", "\r\n"};
            const std::string a = kAnswers[in.ConsumeIntegralInRange<int>(0, 8)];
            line.input.insert(line.input.end(), a.begin(), a.end());
            break;
        }
        default: {
            const std::string raw = in.ConsumeRandomLengthString(40);
            line.input.insert(line.input.end(), raw.begin(), raw.end());
            break;
        }
        }
        dialler.Tick();
        ++ticks;
        NEREID_FUZZ_CHECK(listener.ended <= 1);
    }
    // Silence: every wait ends; a standing call is hung up.
    dialler.Hangup();
    const int limit = CHayesDialler::kInitReplyTicks * CHayesDialler::kInitTries +
                      CHayesDialler::kDialToneTicks + CHayesDialler::kDigitsTicks +
                      CHayesDialler::kDialReplyTicks + 2 * CHayesDialler::kGuardTicks +
                      CHayesDialler::kHangupReplyTicks + 10;
    for (int i = 0; i < limit && dialler.GetState() != CHayesDialler::kIdle; ++i) {
        dialler.Tick();
        if (i == 0)
            dialler.Hangup();
    }
    NEREID_FUZZ_CHECK(dialler.GetState() == CHayesDialler::kIdle);
    NEREID_FUZZ_CHECK(listener.ended == 1);
    NEREID_FUZZ_CHECK(!line.open);
    CheckWrittenCommands(line.written);
}

void Directory(FuzzedDataProvider& in) {
    const int slot = in.ConsumeIntegralInRange<int>(0, 30);
    const std::string name = in.ConsumeRandomLengthString(64);
    const std::string number = in.ConsumeRandomLengthString(64);
    const std::string file = in.ConsumeRemainingBytesAsString();
    const std::string path = nereid::fuzz::ScratchFolder() + "/phone.ini";
    nereid::fuzz::WriteFileBytes(path, reinterpret_cast<const std::uint8_t*>(file.data()),
                                 file.size());
    CPhoneDirectory before(path);
    NEREID_FUZZ_CHECK(before.Load() == 1);
    const int r = before.Update(slot, name, number);
    CPhoneDirectory after(path);
    NEREID_FUZZ_CHECK(after.Load() == 1);
    for (int i = 0; i < 31; ++i) {
        if (i == slot && r == 1)
            continue;
        NEREID_FUZZ_CHECK(after.Name(i) == before.Name(i));
        NEREID_FUZZ_CHECK(after.Number(i) == before.Number(i));
    }
    if (r == 1) {
        // What was stored reads back as it is held.
        NEREID_FUZZ_CHECK(after.Name(slot) == before.Name(slot));
        NEREID_FUZZ_CHECK(after.Number(slot) == before.Number(slot));
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    FuzzedDataProvider in(data, size);
    if (in.ConsumeBool())
        Dialler(in);
    else
        Directory(in);
    return 0;
}
