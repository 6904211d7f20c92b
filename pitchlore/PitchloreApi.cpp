// The C boundary of libPitchlore.so: one process-wide analyser and the
// library bindings, each export a short forward into the core. Nothing
// thrown inside gets past this file.
#include "Pitchlore.h"

#include "Analyser.h"
#include "BlockFile.h"
#include "LibraryBindings.h"
#include "MidiInput.h"

#include "MelodriftPlatform.h"

#include <memory>
#include <new>

using namespace pitchlore;

namespace {

struct Library {
    std::unique_ptr<Analyser> analyser;
    LibraryBindings bindings;
};

Library& library()
{
    static Library instance;
    return instance;
}

Analyser* analyser() { return library().analyser.get(); }

template <typename F>
int32_t guarded(F&& body)
{
    try {
        return body();
    } catch (...) {
        MDP_DebugOutput("Pitchlore: unexpected failure\n");
        return -1;
    }
}

int32_t toCount(size_t n) { return static_cast<int32_t>(n); }

}  // namespace

MELODRIFT_API int32_t MR_CreateAnalyser(void)
{
    return guarded([] {
        MR_DestroyAnalyser();
        Library& lib = library();
        try {
            lib.analyser = std::make_unique<Analyser>();
        } catch (const std::bad_alloc&) {
            return -1;
        }
        lib.bindings.bindTonalyze();
        lib.bindings.bindTunescan();
        lib.analyser->setKeyAnalysis(lib.bindings.keyAnalysis());
        return 0;
    });
}

MELODRIFT_API int32_t MR_ResetAnalyser(int32_t tempo, int32_t TS, int32_t FFT, uint32_t FPB)
{
    return guarded([&] {
        Analyser* a = analyser();
        if (a == nullptr)
            return -1;
        return a->reset(tempo, TS, FFT, FPB) ? 0 : -1;
    });
}

MELODRIFT_API int32_t MR_SetMethod(int32_t method)
{
    Analyser* a = analyser();
    if (a == nullptr || (method != MR_METHOD_NOTES && method != MR_METHOD_SEGMENTS))
        return -1;
    a->setMethod(method == MR_METHOD_NOTES ? Analyser::Method::Notes : Analyser::Method::Segments);
    return 0;
}

MELODRIFT_API int32_t MR_DestroyAnalyser(void)
{
    Library& lib = library();
    if (lib.analyser) {
        lib.analyser.reset();
        lib.bindings.releaseTonalyze();
    }
    return 0;
}

MELODRIFT_API void MR_FrameAnalysis(uint32_t frameIndex, const float* spectrum)
{
    guarded([&] {
        if (Analyser* a = analyser())
            a->frame(frameIndex, spectrum);
        return 0;
    });
}

MELODRIFT_API int32_t MR_MelodyAnalysis(int32_t* leadInBars, int32_t* barCount, int32_t key)
{
    return guarded([&] {
        Analyser* a = analyser();
        if (a == nullptr)
            return -1;
        auto result = a->analyseMelody(key);
        if (!result)
            return 0;
        if (leadInBars != nullptr)
            *leadInBars = result->leadInBars;
        if (barCount != nullptr)
            *barCount = result->barCount;
        return result->pitched;
    });
}

MELODRIFT_API int32_t MR_GetMelodyInfo(int32_t* key, int32_t* TS, int32_t* tempo)
{
    return guarded([&] {
        Analyser* a = analyser();
        if (a == nullptr)
            return -1;
        if (key != nullptr)
            *key = a->key();
        if (a->configured()) {
            if (TS != nullptr)
                *TS = a->config().TS;
            if (tempo != nullptr)
                *tempo = a->config().tempo;
        }
        MDP_DebugOutput("KeysSize = %d\n", a->noteCount());
        return a->noteCount();
    });
}

MELODRIFT_API int32_t MR_GetMelody(uint8_t* notes, uint16_t* lengths, int32_t key)
{
    return guarded([&] {
        Analyser* a = analyser();
        if (a == nullptr)
            return -1;
        if (notes == nullptr && lengths == nullptr)
            return a->noteCount();
        a->changeKey(key);
        const MelodyOutputs& out = a->outputs();
        uint32_t fpb = a->configured() ? a->config().FPB : 1;
        for (size_t i = 0; i < out.noteNumbers().size(); ++i) {
            if (notes != nullptr)
                notes[i] = out.noteNumbers()[i];
            if (lengths != nullptr) {
                uint64_t ticks = static_cast<uint64_t>(out.lengths()[i]) * 192 / fpb;
                lengths[i] = static_cast<uint16_t>(ticks > 65535 ? 65535 : ticks);
            }
        }
        return a->noteCount();
    });
}

MELODRIFT_API int32_t MR_GetPitchRevise(float* offsets, int32_t* ticks)
{
    return guarded([&] {
        Analyser* a = analyser();
        if (a == nullptr)
            return -1;
        std::vector<PitchRevise> events = a->pitchRevise();
        if (offsets != nullptr) {
            for (size_t k = 0; k < events.size(); ++k) {
                offsets[k] = events[k].offset;
                if (ticks != nullptr)
                    ticks[k] = events[k].tick;
            }
        }
        return toCount(events.size());
    });
}

namespace {

int32_t save(const char* path, int64_t offset, bool append)
{
    Analyser* a = analyser();
    if (a == nullptr)
        return -1;
    if (!a->configured())
        return -1;
    std::vector<uint8_t> block = AnalysisBlock::write(*a);
    BlockFile::Status status = append ? BlockFile::append(path, block) : BlockFile::writeAt(path, offset, block);
    switch (status) {
    case BlockFile::Status::Done:
        return toCount(block.size());
    case BlockFile::Status::CannotOpen:
        return 0;
    default:
        return -1;
    }
}

int32_t load(const char* path, int64_t offset, AnalysisBlock::Layout layout, int32_t extra)
{
    Analyser* a = analyser();
    if (a == nullptr)
        return -1;
    BlockFile::Outcome outcome = BlockFile::load(path, offset, layout, *a);
    if (outcome.status == BlockFile::Status::Done || outcome.status == BlockFile::Status::Empty)
        return static_cast<int32_t>(outcome.storedSize + extra);
    return 0;
}

}  // namespace

MELODRIFT_API int32_t MR_SaveProject(const char* path)
{
    return guarded([&] { return save(path, 0, true); });
}

MELODRIFT_API int32_t MR_LoadProject(const char* path, int32_t offset, int32_t /*unused*/)
{
    return guarded([&] { return load(path, offset, AnalysisBlock::Layout::Records, 4); });
}

MELODRIFT_API int32_t MR_SaveAnalysis(const char* path, int32_t offset)
{
    return guarded([&] { return save(path, offset, false); });
}

MELODRIFT_API int32_t MR_LoadAnalysis(const char* path, int32_t offset, int32_t version)
{
    return guarded([&] {
        bool older = (static_cast<uint32_t>(version) & 0xFFFF) <= 2;
        return load(path, offset, older ? AnalysisBlock::Layout::Older : AnalysisBlock::Layout::Records, 0);
    });
}

MELODRIFT_API int32_t MR_MidiAnalysis(const char* source, int32_t selector, int32_t* leadInBars, int32_t* barCount)
{
    return guarded([&] {
        Analyser* a = analyser();
        if (a == nullptr)
            return -1;
        auto result = analyseMidi(*a, library().bindings.retriveMelody(), source, selector);
        if (!result)
            return 0;
        if (leadInBars != nullptr)
            *leadInBars = result->leadInBars;
        if (barCount != nullptr)
            *barCount = result->barCount;
        return result->pitched;
    });
}
