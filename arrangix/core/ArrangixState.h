#pragma once

#include "Composer.h"
#include "StyleCatalog.h"

#include "Patbank.h"
#include "Tonalyze.h"

#include <cstdint>

namespace melodrift::arrangix {

// The library's one process-wide state: the two bound libraries and the
// caches. Created by SM_Initialize.
class ArrangixState {
public:
    ArrangixState() = default;
    ~ArrangixState();
    ArrangixState(const ArrangixState&) = delete;
    ArrangixState& operator=(const ArrangixState&) = delete;

    int32_t initialize();
    int32_t release();

    StyleCatalog& catalog() { return catalog_; }
    Composer composer();

    int32_t styleInfos(int32_t selector, void* array, int32_t* count) const;
    int32_t recomInfos(int32_t selector, void* array, int32_t* count) const;

    static int32_t& storedTempo();

private:
    bool bindTonalyze();
    bool bindPatbank();
    void unbindPatbank();

    void* tonalyze_ = nullptr;
    MA_InputMelodyFn inputMelody_ = nullptr;
    MA_MelodyAnalysisFn melodyAnalysis_ = nullptr;
    MA_ReleaseFn maRelease_ = nullptr;

    void* patbank_ = nullptr;
    SF_GetInfo_fn getInfo_ = nullptr;
    SF_GetData_fn getData_ = nullptr;
    SF_GetTSInfos_fn tsInfos_ = nullptr;
    SF_GetRecomInfos_fn recomInfos_ = nullptr;

    StyleCatalog catalog_;
};

} // namespace melodrift::arrangix
