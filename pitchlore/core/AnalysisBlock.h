// The analyser's complete state as one little-endian byte block, the way it
// is embedded in project files, and the checked reading of such a block.
#pragma once

#include "Analyser.h"

#include <cstdint>
#include <optional>
#include <span>
#include <vector>

namespace pitchlore {

class AnalysisBlock {
public:
    enum class Layout { Records, Older };

    // Size field included.
    static std::vector<uint8_t> write(const Analyser& analyser);

    // bytes: the block after its size field. nullopt when it is damaged, too
    // short for what it declares, or holds settings a reset would refuse.
    static std::optional<AnalysisBlock> read(std::span<const uint8_t> bytes, Layout layout);

    // Loads the block into the analyser (which is reset first).
    void applyTo(Analyser& analyser) const;

private:
    Layout m_layout = Layout::Records;
    int32_t m_tempo = 0;
    int32_t m_TS = 0;
    int32_t m_FFT = 0;
    int32_t m_FPB = 0;
    std::vector<double> m_amplitude;
    std::vector<double> m_frequency;
    std::vector<double> m_pitch;
    double m_loudest = 0;
    double m_leadInLevel = -1.0;
    int32_t m_noteCount = 0;
    int32_t m_key = -1;
    NoteRecords m_notes;
};

}  // namespace pitchlore
