#pragma once

#include <cstdint>

namespace nereid::instrument {

// Answers the recorder may still send for requests the engine stopped waiting for.
//
// Listing, file and delete answers carry no file name, so a request sent again after a long
// silence can be answered twice: once for the first copy (a drive that was spinning up) and
// once for the second. Whatever arrives after the answer that was taken belongs to the
// abandoned copies, and must not be taken for the answer to the next request. The engine
// holds the next request back while answers are owed: every frame of the owed type that
// arrives is acknowledged and dropped, each complete answer (its last frame) pays one off,
// and when the line stays quiet for the quiet time the rest are taken as lost.
class COwedAnswers {
public:
    // `count` answers of `type` may still come; `quietMs` is how long a silence means that
    // none will. Adds to what is owed already of the same type; another type replaces it.
    void Expect(int count, std::uint8_t type, std::int64_t nowMs, std::int64_t quietMs);
    // A frame of the owed type arrived; `last` when it ends its answer (a single answer, or
    // the last frame of a listing or file).
    void FrameArrived(bool last, std::int64_t nowMs);
    // True while the next request must wait.
    bool Holding(std::int64_t nowMs) const;
    // The time at which holding ends unless another frame arrives.
    std::int64_t QuietEndMs() const { return m_QuietEndMs; }
    std::uint8_t Type() const { return m_Type; }
    int Owed() const { return m_Owed; }
    // Stale frames dropped since construction.
    std::uint32_t Dropped() const { return m_Dropped; }
    void Clear();

private:
    int m_Owed = 0;
    std::uint8_t m_Type = 0;
    std::int64_t m_QuietMs = 0;
    std::int64_t m_QuietEndMs = 0;
    std::uint32_t m_Dropped = 0;
};

} // namespace nereid::instrument
