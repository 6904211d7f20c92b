#include "SpectrumAnalyser.h"

#include <fftw3.h>

#include <cmath>
#include <mutex>
#include <numbers>

namespace melodrift::sonobox {
namespace {
// FFTW's planner is not thread-safe; execution of a finished plan is.
std::mutex g_plannerLock;
} // namespace

struct SpectrumAnalyser::Plan {
    float* input = nullptr;
    fftwf_complex* output = nullptr;
    fftwf_plan plan = nullptr;
    ~Plan()
    {
        std::lock_guard<std::mutex> guard(g_plannerLock);
        if (plan)
            fftwf_destroy_plan(plan);
        fftwf_free(input);
        fftwf_free(output);
    }
};

SpectrumAnalyser::SpectrumAnalyser(std::size_t fftSize)
    : m_size(fftSize), m_window(fftSize), m_magnitudes(fftSize / 2 + 1), m_plan(std::make_unique<Plan>())
{
    for (std::size_t i = 0; i < fftSize; ++i)
        m_window[i] = static_cast<float>(0.5 - 0.5 * std::cos(2.0 * std::numbers::pi * static_cast<double>(i) / fftSize));
    std::lock_guard<std::mutex> guard(g_plannerLock);
    m_plan->input = fftwf_alloc_real(fftSize);
    m_plan->output = fftwf_alloc_complex(fftSize / 2 + 1);
    if (!m_plan->input || !m_plan->output)
        throw std::bad_alloc();
    m_plan->plan = fftwf_plan_dft_r2c_1d(static_cast<int>(fftSize), m_plan->input, m_plan->output, FFTW_ESTIMATE);
    if (!m_plan->plan)
        throw std::bad_alloc();
}

SpectrumAnalyser::~SpectrumAnalyser() = default;

const std::vector<float>& SpectrumAnalyser::Analyse(const float* signal, std::size_t length, long long centre)
{
    long long first = centre - static_cast<long long>(m_size / 2);
    for (std::size_t i = 0; i < m_size; ++i) {
        long long k = first + static_cast<long long>(i);
        float sample = (k >= 0 && k < static_cast<long long>(length)) ? signal[k] : 0.0f;
        m_plan->input[i] = sample * m_window[i];
    }
    fftwf_execute(m_plan->plan);
    // Scaled so that a full-scale sine peaks near 1 whatever the size.
    float scale = 4.0f / static_cast<float>(m_size);
    for (std::size_t i = 0; i < m_magnitudes.size(); ++i) {
        float re = m_plan->output[i][0];
        float im = m_plan->output[i][1];
        m_magnitudes[i] = std::sqrt(re * re + im * im) * scale;
    }
    return m_magnitudes;
}

} // namespace melodrift::sonobox
