#pragma once

#include "recording/pausable.h"

namespace nereid::recording::test {

// Stands for the receiver thread where the channel table parks it: counts the parks and
// resumes, and parks with `parkResult`.
class CountingPause : public CPausable {
public:
    int Park() override {
        ++parks;
        return parkResult;
    }
    void Resume() override { ++resumes; }
    int parks = 0, resumes = 0, parkResult = 1;
};

} // namespace nereid::recording::test
