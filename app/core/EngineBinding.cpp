#include "EngineBinding.h"

#include "EngineTables.h"
#include "MelodriftPlatform.h"

namespace melodrift {

EngineTables& Engines()
{
    static EngineTables tables;
    return tables;
}

namespace {

void* Load(const char* name)
{
    char error[512] = "";
    void* handle = MDP_LoadLibrary(name, error, sizeof error);
    if (!handle)
        MDP_DebugOutput("Load %s error! %s\n", name, error);
    return handle;
}

template <typename Fn>
void Resolve(void* library, Fn& slot, const char* name, bool& complete)
{
    slot = reinterpret_cast<Fn>(MDP_GetSymbol(library, name));
    if (!slot)
        complete = false;
}

bool ResolveSonobox(void* lib, SonoboxTable& t)
{
    bool complete = true;
#define MELODRIFT_RESOLVE(name) Resolve(lib, t.name, #name, complete);
    MELODRIFT_SONOBOX_ENTRIES(MELODRIFT_RESOLVE)
    return complete;
}

bool ResolveArrangix(void* lib, ArrangixTable& t)
{
    bool complete = true;
    MELODRIFT_ARRANGIX_ENTRIES(MELODRIFT_RESOLVE)
    return complete;
}

bool ResolveTidelink(void* lib, TidelinkTable& t)
{
    bool complete = true;
    MELODRIFT_TIDELINK_ENTRIES(MELODRIFT_RESOLVE)
#undef MELODRIFT_RESOLVE
    return complete;
}

void Free(EngineTables& e, LibrarySlot slot)
{
    if (e.libraries[slot]) {
        MDP_FreeLibrary(e.libraries[slot]);
        e.libraries[slot] = nullptr;
    }
}

} // namespace

int BindEngineLibraries()
{
    EngineTables& e = Engines();
    if (!(e.libraries[kSlotSonobox] = Load("Sonobox.dll")))
        return 1;
    if (!ResolveSonobox(e.libraries[kSlotSonobox], e.mm))
        return 2;
    if (!(e.libraries[kSlotArrangix] = Load("Arrangix.dll")))
        return 3;
    if (!ResolveArrangix(e.libraries[kSlotArrangix], e.sm) || e.sm.SM_Initialize() != 0)
        return 4;
    if (!(e.libraries[kSlotTidelink] = Load("Tidelink.dll")))
        return 5;
    if (!ResolveTidelink(e.libraries[kSlotTidelink], e.cs))
        return 6;
    char ignored[8];
    if ((e.libraries[kSlotGlyphmint] = MDP_LoadLibrary("Glyphmint.dll", ignored, sizeof ignored)))
        e.qr.QR_Encode = reinterpret_cast<QR_Encode_fn>(MDP_GetSymbol(e.libraries[kSlotGlyphmint], "QR_Encode"));
    return 0;
}

void UnbindEngineLibraries()
{
    EngineTables& e = Engines();
    Free(e, kSlotArrangix);
    e.sm = {};
    Free(e, kSlotSonobox);
    e.mm = {};
    Free(e, kSlotTidelink);
    e.cs = {};
    Free(e, kSlotGlyphmint);
    e.qr = {};
}

const char* BindingFailureMessage(int code)
{
    static const char* const kMessages[] = {
        "加载媒体控制模块失败！", "获取媒体控制函数失败！", "加载媒体处理模块失败！",
        "获取媒体处理函数失败！", "加载网络服务模块失败！", "获取网络服务函数失败！",
    };
    return code >= 1 && code <= 6 ? kMessages[code - 1] : "";
}

} // namespace melodrift
