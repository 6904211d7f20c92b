#include "ArrangixState.h"

#include "Log.h"

#include <cerrno>

namespace melodrift::arrangix {

namespace {

void* loadByName(const char* name)
{
    char error[512] = "";
    errno = 0;
    void* handle = MDP_LoadLibrary(name, error, sizeof error);
    if (handle == nullptr) {
        int code = errno;
        char file[256] = "";
        MDP_LibraryFileName(name, file, sizeof file);
        log("Load %s error! errcode=%d %s\n", file, code, error);
    }
    return handle;
}

template <typename Fn>
Fn bind(void* lib, const char* name)
{
    return reinterpret_cast<Fn>(MDP_GetSymbol(lib, name));
}

}  // namespace

int32_t& ArrangixState::storedTempo()
{
    static int32_t tempo = -1;
    return tempo;
}

ArrangixState::~ArrangixState()
{
    unbindPatbank();
    MDP_FreeLibrary(tonalyze_);
}

int32_t ArrangixState::initialize()
{
    if (!bindTonalyze() || !bindPatbank())
        return -1;
    return 0;
}

bool ArrangixState::bindTonalyze()
{
    if (tonalyze_ == nullptr)
        tonalyze_ = loadByName("Tonalyze.dll");
    if (tonalyze_ == nullptr)
        return false;
    inputMelody_ = bind<MA_InputMelodyFn>(tonalyze_, "MA_InputMelody");
    maRelease_ = bind<MA_ReleaseFn>(tonalyze_, "MA_Release");
    melodyAnalysis_ = bind<MA_MelodyAnalysisFn>(tonalyze_, "MA_MelodyAnalysis");
    return inputMelody_ != nullptr && maRelease_ != nullptr && melodyAnalysis_ != nullptr;
}

bool ArrangixState::bindPatbank()
{
    unbindPatbank();
    patbank_ = loadByName("Patbank.dll");
    if (patbank_ == nullptr)
        return false;
    getInfo_ = bind<SF_GetInfo_fn>(patbank_, "SF_GetInfo");
    getData_ = bind<SF_GetData_fn>(patbank_, "SF_GetData");
    tsInfos_ = bind<SF_GetTSInfos_fn>(patbank_, "SF_GetTSInfos");
    recomInfos_ = bind<SF_GetRecomInfos_fn>(patbank_, "SF_GetRecomInfos");
    StoreAccess store;
    if (getInfo_ != nullptr)
        store.getInfo = [fn = getInfo_](int32_t id, void* r) { return fn(id, static_cast<tagStyleInfo*>(r)); };
    if (getData_ != nullptr)
        store.getData = getData_;
    catalog_.setStore(std::move(store));
    return getInfo_ != nullptr && getData_ != nullptr && tsInfos_ != nullptr && recomInfos_ != nullptr;
}

void ArrangixState::unbindPatbank()
{
    catalog_.clear();
    catalog_.setStore({});
    getInfo_ = nullptr;
    getData_ = nullptr;
    tsInfos_ = nullptr;
    recomInfos_ = nullptr;
    MDP_FreeLibrary(patbank_);
    patbank_ = nullptr;
}

int32_t ArrangixState::release()
{
    catalog_.clear();
    if (maRelease_ != nullptr)
        maRelease_();
    unbindPatbank();
    return 0;
}

Composer ArrangixState::composer()
{
    AnalyserAccess a;
    if (inputMelody_ != nullptr)
        a.inputMelody = inputMelody_;
    if (melodyAnalysis_ != nullptr)
        a.melodyAnalysis = [fn = melodyAnalysis_](int32_t key, int32_t* sc, SM_Section* s, int32_t* cc, SM_Chord* c,
                                                  int32_t* fc, SM_Fill* f) {
            // Same layouts: two int32 each.
            return fn(key, sc, reinterpret_cast<MA_Section*>(s), cc, reinterpret_cast<MA_Chord*>(c), fc,
                      reinterpret_cast<MA_Fill*>(f));
        };
    if (maRelease_ != nullptr)
        a.release = maRelease_;
    return Composer(catalog_, std::move(a), storedTempo());
}

int32_t ArrangixState::styleInfos(int32_t selector, void* array, int32_t* count) const
{
    return tsInfos_ != nullptr ? tsInfos_(selector, count, static_cast<tagStyleInfo*>(array)) : -1;
}

int32_t ArrangixState::recomInfos(int32_t selector, void* array, int32_t* count) const
{
    return recomInfos_ != nullptr ? recomInfos_(selector, count, static_cast<tagStyleInfo*>(array)) : -1;
}

} // namespace melodrift::arrangix
