#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

namespace nereid::recording {
struct FileChannel;
}

namespace nereid::display::model {

// Output modes of a spectrum plot.
enum SpectrumMode : int {
    kPowerSpectrum = 0,     // "Power Spectrum"
    kAmplitudeSpectrum = 1, // "Amplitude Spectrum"
    kLogAmplitude = 2,      // "Log(1+Amplitude)"
};

// A real-input transform of one size N (256 ... 8192) in single precision, with its own
// aligned buffers. Creating a plan is not thread-safe in FFTW: make them on one thread.
class CFftPlan {
public:
    explicit CFftPlan(int n);
    ~CFftPlan();
    CFftPlan(const CFftPlan&) = delete;
    CFftPlan& operator=(const CFftPlan&) = delete;

    int Size() const { return m_N; }
    bool Valid() const { return m_Plan != nullptr; }
    // The N input samples; fill them, then call Compute.
    float* Input() { return m_In; }

    // Transforms the input and writes S(0 ... N/2) of `mode` into `out` (N/2 + 1 values):
    // P(k) = re^2 + im^2; power S(k) = 2 P(k) / N^2 for 0 < k < N/2 and P / N^2 at 0 and N/2;
    // amplitude S(k) = sqrt(P(k)); log S(k) = log10(1 + sqrt(P(k))). No window, mean kept.
    void Compute(int mode, std::vector<float>& out);

private:
    int m_N;
    float* m_In = nullptr;
    void* m_Out = nullptr; // fftwf_complex[N/2 + 1]
    void* m_Plan = nullptr;
};

// The N samples of a real-time spectrum: those that end at the end of the visible window,
// from (windowStart + span) x rate / 100 - N, taken modulo the ring length and wrapping.
void RingBlock(const std::int32_t* ring, std::size_t ringLength, int rate, int windowStart,
               int spanHundredths, int n, float* out);
// The N samples of a file spectrum from the cursor's sample (clamped to the last sample);
// positions past the end of the file are 0.
void FileBlock(const recording::FileChannel& channel, std::uint64_t cursor, int n, float* out);

} // namespace nereid::display::model
