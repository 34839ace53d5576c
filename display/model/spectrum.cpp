#include "display/model/spectrum.h"

#include <fftw3.h>

#include <algorithm>
#include <cmath>

#include "display/model/decimation.h"
#include "recording/file_channel.h"

namespace nereid::display::model {

CFftPlan::CFftPlan(int n) : m_N(n) {
    m_In = fftwf_alloc_real(static_cast<std::size_t>(n));
    auto* out = fftwf_alloc_complex(static_cast<std::size_t>(n / 2 + 1));
    m_Out = out;
    if (m_In != nullptr && out != nullptr) {
        std::fill(m_In, m_In + n, 0.0f);
        m_Plan = fftwf_plan_dft_r2c_1d(n, m_In, out, FFTW_ESTIMATE);
    }
}

CFftPlan::~CFftPlan() {
    if (m_Plan != nullptr)
        fftwf_destroy_plan(static_cast<fftwf_plan>(m_Plan));
    fftwf_free(m_Out);
    fftwf_free(m_In);
}

void CFftPlan::Compute(int mode, std::vector<float>& out) {
    const int half = m_N / 2;
    out.assign(static_cast<std::size_t>(half + 1), 0.0f);
    if (m_Plan == nullptr)
        return;
    fftwf_execute(static_cast<fftwf_plan>(m_Plan));
    const auto* bins = static_cast<const fftwf_complex*>(m_Out);
    const float n2 = static_cast<float>(m_N) * static_cast<float>(m_N);
    for (int k = 0; k <= half; ++k) {
        const float re = bins[k][0];
        // The DC and Nyquist terms are real; their imaginary parts are zero by construction.
        const float im = (k == 0 || k == half) ? 0.0f : bins[k][1];
        const float p = re * re + im * im;
        float s;
        switch (mode) {
        case kAmplitudeSpectrum:
            s = std::sqrt(p);
            break;
        case kLogAmplitude:
            s = std::log10(1.0f + std::sqrt(p));
            break;
        default:
            s = (k == 0 || k == half) ? p / n2 : p * 2.0f / n2;
            break;
        }
        out[static_cast<std::size_t>(k)] = s;
    }
}

void RingBlock(const std::int32_t* ring, std::size_t ringLength, int rate, int windowStart,
               int spanHundredths, int n, float* out) {
    if (ring == nullptr || ringLength == 0) {
        std::fill(out, out + n, 0.0f);
        return;
    }
    const long long length = static_cast<long long>(ringLength);
    long long start = static_cast<long long>(windowStart + spanHundredths) * rate / 100 - n;
    start %= length;
    if (start < 0)
        start += length;
    std::size_t index = static_cast<std::size_t>(start);
    for (int i = 0; i < n; ++i) {
        out[i] = static_cast<float>(ring[index]);
        if (++index == ringLength)
            index = 0;
    }
}

void FileBlock(const recording::FileChannel& channel, std::uint64_t cursor, int n, float* out) {
    if (channel.sampleCount > 0)
        cursor = std::min(cursor, channel.sampleCount - 1);
    std::vector<double> values(static_cast<std::size_t>(n));
    ReadFileSamples(channel, cursor, values.size(), values.data());
    for (int i = 0; i < n; ++i)
        out[i] = static_cast<float>(values[static_cast<std::size_t>(i)]);
}

} // namespace nereid::display::model
