// The composer library loaded by name, as the program loads it: its table
// of entry points for the tests that go through the C boundary.
#pragma once

#include "Arrangix.h"
#include "MelodriftPlatform.h"
#include "Patbank.h"

#include <string>

namespace melodrift::testsupport {

struct ArrangixLibrary {
    void* lib = nullptr;
    std::string error;
    SM_InitializeFn initialize = nullptr;
    SM_ReleaseFn release = nullptr;
    SM_CheckStyleFn checkStyle = nullptr;
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
    bool Bind(F& f, const char* name)
    {
        f = reinterpret_cast<F>(MDP_GetSymbol(lib, name));
        if (f == nullptr)
            error += std::string(" missing ") + name;
        return f != nullptr;
    }

    bool Load()
    {
        char err[512] = {0};
        lib = MDP_LoadLibrary("Arrangix.dll", err, sizeof err);
        if (lib == nullptr) {
            error = err;
            return false;
        }
        bool ok = Bind(initialize, "SM_Initialize") & Bind(release, "SM_Release") & Bind(checkStyle, "SM_CheckStyle") &
                  Bind(styleInfo, "SM_GetStyleInfo") & Bind(segmentNum, "SM_GetSegmentNum") &
                  Bind(segmentBars, "SM_GetSegmentBarNum") & Bind(styleInfos, "SM_GetStyleInfos") &
                  Bind(recomInfos, "SM_GetStyleRecomInfos") & Bind(inputWavNotes, "SM_InputWavNotes") &
                  Bind(baseCompose, "SM_BaseCompose") & Bind(compose, "SM_Compose") & Bind(demo, "SM_GetStyleDemo") &
                  Bind(demoData, "SM_GetStyleDemoData");
        return ok;
    }

    ~ArrangixLibrary()
    {
        if (lib != nullptr)
            MDP_FreeLibrary(lib);
    }
};

} // namespace melodrift::testsupport
