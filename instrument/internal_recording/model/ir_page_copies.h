#pragma once

namespace nereid::instrument {

// The two copies every internal recording page keeps: the values being edited and the values
// last received from (or last accepted by) the recorder. The page is modified when they differ.
template <typename Values> class CIRPageCopies {
public:
    Values edit;

    const Values& Received() const { return m_Received; }
    bool Modified() const { return !(edit == m_Received); }

protected:
    void Take(const Values& values) {
        edit = values;
        m_Received = values;
    }

private:
    Values m_Received;
};

} // namespace nereid::instrument
