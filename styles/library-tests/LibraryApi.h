// The composer library loaded by name, as the program loads it.
#pragma once

#include "Arrangix.h"
#include "MelodriftPlatform.h"
#include "Patbank.h"

#include <string>

namespace stylelib {

struct LibraryApi {
    void* lib = nullptr;
    std::string error;
    SM_InitializeFn initialize = nullptr;
    SM_ReleaseFn release = nullptr;
    SM_GetStyleInfoFn styleInfo = nullptr;
    SM_GetSegmentNumFn segmentNum = nullptr;
    SM_GetSegmentBarNumFn segmentBars = nullptr;
    SM_GetStyleInfosFn styleInfos = nullptr;
    SM_GetStyleRecomInfosFn recomInfos = nullptr;
    SM_InputWavNotesFn inputWavNotes = nullptr;
    SM_BaseComposeFn baseCompose = nullptr;
    SM_ComposeFn compose = nullptr;
    SM_GetStyleDemoFn demo = nullptr;
    SM_GetStyleDemoDataFn demoData = nullptr;

    template <typename F>
    bool bind(F& f, const char* name)
    {
        f = reinterpret_cast<F>(MDP_GetSymbol(lib, name));
        if (f == nullptr)
            error += std::string(" missing ") + name;
        return f != nullptr;
    }

    bool load()
    {
        char err[512] = {0};
        lib = MDP_LoadLibrary("Arrangix.dll", err, sizeof err);
        if (lib == nullptr) {
            error = err;
            return false;
        }
        bool ok = bind(initialize, "SM_Initialize") & bind(release, "SM_Release") &
                  bind(styleInfo, "SM_GetStyleInfo") & bind(segmentNum, "SM_GetSegmentNum") &
                  bind(segmentBars, "SM_GetSegmentBarNum") & bind(styleInfos, "SM_GetStyleInfos") &
                  bind(recomInfos, "SM_GetStyleRecomInfos") & bind(inputWavNotes, "SM_InputWavNotes") &
                  bind(baseCompose, "SM_BaseCompose") & bind(compose, "SM_Compose") &
                  bind(demo, "SM_GetStyleDemo") & bind(demoData, "SM_GetStyleDemoData");
        return ok;
    }

    ~LibraryApi()
    {
        if (lib != nullptr)
            MDP_FreeLibrary(lib);
    }
};

}  // namespace stylelib
