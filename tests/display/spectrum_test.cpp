#include "display/model/spectrum.h"

#include <gtest/gtest.h>

#include <cmath>
#include <numbers>
#include <vector>

#include "display/model/tables.h"
#include "recording/dadisp_format.h"
#include "recording/file_channel.h"

using namespace nereid::display::model;

TEST(Spectrum, ConstantGivesOnlyDcInEveryMode) {
    CFftPlan plan(1024);
    ASSERT_TRUE(plan.Valid());
    for (float c : {3.0f, -250.0f}) {
        std::fill(plan.Input(), plan.Input() + 1024, c);
        std::vector<float> s;
        plan.Compute(kPowerSpectrum, s);
        ASSERT_EQ(s.size(), 513u);
        EXPECT_NEAR(s[0], c * c, c * c * 1e-5);
        for (std::size_t k = 1; k < s.size(); ++k)
            ASSERT_NEAR(s[k], 0.0f, 1e-6f * c * c) << k;

        std::fill(plan.Input(), plan.Input() + 1024, c);
        plan.Compute(kAmplitudeSpectrum, s);
        EXPECT_NEAR(s[0], 1024.0f * std::fabs(c), 1e-3f * std::fabs(c));

        std::fill(plan.Input(), plan.Input() + 1024, c);
        plan.Compute(kLogAmplitude, s);
        EXPECT_NEAR(s[0], std::log10(1.0f + 1024.0f * std::fabs(c)), 1e-4f);
        EXPECT_NEAR(s[5], 0.0f, 1e-3f);
    }
}

TEST(Spectrum, ExactBinSineAndTheNyquistTerm) {
    const int n = 2048;
    CFftPlan plan(n);
    const float amplitude = 1000.0f;
    for (int i = 0; i < n; ++i)
        plan.Input()[i] =
            amplitude * static_cast<float>(std::sin(2 * std::numbers::pi * 10 * i / n));
    std::vector<float> s;
    plan.Compute(kPowerSpectrum, s);
    // A sine of amplitude A has power A^2 / 2 in its bin: 2 (A N / 2)^2 / N^2.
    EXPECT_NEAR(s[10], amplitude * amplitude / 2, amplitude * amplitude * 1e-4);
    for (std::size_t k = 0; k < s.size(); ++k) {
        if (k != 10) {
            ASSERT_LT(s[k], amplitude * amplitude * 1e-7) << k;
        }
    }
    // Alternating +1/-1 is the Nyquist term: half the factor, like DC.
    for (int i = 0; i < n; ++i)
        plan.Input()[i] = (i % 2) ? -1.0f : 1.0f;
    plan.Compute(kPowerSpectrum, s);
    EXPECT_NEAR(s[n / 2], 1.0f, 1e-5f);
    for (int i = 0; i < n; ++i)
        plan.Input()[i] = (i % 2) ? -1.0f : 1.0f;
    plan.Compute(kAmplitudeSpectrum, s);
    EXPECT_NEAR(s[n / 2], static_cast<float>(n), 1e-2f);
}

TEST(Spectrum, BinsShownFollowTheSize) {
    EXPECT_EQ(kBinsShown[static_cast<std::size_t>(ReduceBinsIndex(6, 256))], 128);
    EXPECT_EQ(kBinsShown[static_cast<std::size_t>(ReduceBinsIndex(6, 8192))], 1024);
    EXPECT_EQ(kBinsShown[static_cast<std::size_t>(ReduceBinsIndex(9, 8192))], 4096);
    EXPECT_EQ(ReduceBinsIndex(0, 256), 0);
    EXPECT_EQ(SpectrumFirstBin(1024, 128, 0), 0);
    EXPECT_EQ(SpectrumFirstBin(1024, 128, 200), 384);
    EXPECT_EQ(SpectrumFirstBin(1024, 512, 100), 0);
}

TEST(SpectrumBlock, RingBlockEndsAtTheWindowEndAndWraps) {
    const int rate = 100;
    std::vector<std::int32_t> ring(120 * rate);
    for (std::size_t i = 0; i < ring.size(); ++i)
        ring[i] = static_cast<std::int32_t>(i);
    std::vector<float> block(256);
    // Window of 4 s starting at 11800 hundredths: it ends at 12200 = 200 past the ring start,
    // so the block ends at sample 199 and begins 256 samples earlier, at the ring's end.
    RingBlock(ring.data(), ring.size(), rate, 11800, 400, 256, block.data());
    EXPECT_EQ(block[0], static_cast<float>(ring.size() - 56));
    EXPECT_EQ(block[55], static_cast<float>(ring.size() - 1));
    EXPECT_EQ(block[56], 0.0f);
    EXPECT_EQ(block[255], 199.0f);
}

TEST(SpectrumBlock, ShortFileIsPaddedWithZeros) {
    using namespace nereid::recording;
    std::vector<std::uint8_t> bytes = {1, 0, 0, 0, 2, 0, 0, 0, 3, 0, 0, 0};
    FileChannel channel;
    channel.sampleType = kSampleLong;
    channel.firstSample = bytes.data();
    channel.sampleCount = 3;
    std::vector<float> block(256, -1.0f);
    FileBlock(channel, 0, 256, block.data());
    EXPECT_EQ(block[0], 1.0f);
    EXPECT_EQ(block[2], 3.0f);
    for (std::size_t i = 3; i < block.size(); ++i)
        ASSERT_EQ(block[i], 0.0f);
    // A cursor past the end is clamped to the last sample.
    FileBlock(channel, 99, 256, block.data());
    EXPECT_EQ(block[0], 3.0f);
    EXPECT_EQ(block[1], 0.0f);

    CFftPlan plan(256);
    FileBlock(channel, 0, 256, plan.Input());
    std::vector<float> s;
    plan.Compute(kAmplitudeSpectrum, s);
    EXPECT_NEAR(s[0], 6.0f, 1e-5f); // DC of 1 + 2 + 3 and zeros
}
