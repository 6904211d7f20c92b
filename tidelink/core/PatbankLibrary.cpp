#include "StyleStore.h"

#include "MelodriftPlatform.h"

#include <cerrno>

namespace melodrift::tidelink {

namespace {

class PatbankLibrary final : public StyleStore {
public:
    ~PatbankLibrary() override
    {
        if (m_initialised && m_release != nullptr)
            m_release();
        MDP_FreeLibrary(m_handle);
    }

    bool Bind(int32_t edition, const std::string& folder)
    {
        char error[512] = "";
        m_handle = MDP_LoadLibrary("Patbank.dll", error, sizeof error);
        if (m_handle == nullptr) {
            MDP_DebugOutput("Load Patbank.dll error! errcode=%d\n", errno);
            MDP_DebugOutput("%s\n", error);
            return false;
        }
        bool all = Get(m_initialize, "SF_Initialize") && Get(m_getUpdateDate, "SF_GetUpdateDate") &&
                   Get(m_updateIdList, "SF_UpdateIDlist") && Get(m_updateDetail, "SF_UpdateDetail") &&
                   Get(m_setUpdateDate, "SF_SetUpdateDate") && Get(m_updateRecom, "SF_UpdateRecomlist") &&
                   Get(m_updateData, "SF_UpdateData") && Get(m_getStyleNums, "SF_GetStyleNums") &&
                   Get(m_release, "SF_Release");
        if (!all)
            return false;
        if (m_initialize(edition, folder.c_str()) != 0)
            return false;
        m_initialised = true;
        return true;
    }

    int32_t GetUpdateDate() override { return m_getUpdateDate(); }
    int32_t UpdateIDlist(int32_t count, const tagStyleListItem* items, int32_t* outCount, int32_t* outIds) override
    {
        return m_updateIdList(count, items, outCount, outIds);
    }
    int32_t UpdateDetail(int32_t styleId, const tagStyleInfo* info) override { return m_updateDetail(styleId, info); }
    int32_t SetUpdateDate(int32_t stamp) override { return m_setUpdateDate(stamp); }
    int32_t UpdateRecomlist(int32_t count, const int32_t* ids, int32_t* outCount, int32_t* outIds) override
    {
        return m_updateRecom(count, ids, outCount, outIds);
    }
    int32_t UpdateData(int32_t styleId, int32_t size, const void* data) override
    {
        return m_updateData(styleId, size, data);
    }
    int32_t GetStyleNums(int32_t* online, int32_t* local) override { return m_getStyleNums(online, local); }

private:
    template <typename Fn>
    bool Get(Fn& fn, const char* name)
    {
        fn = reinterpret_cast<Fn>(MDP_GetSymbol(m_handle, name));
        return fn != nullptr;
    }

    void* m_handle = nullptr;
    bool m_initialised = false;
    SF_Initialize_fn m_initialize = nullptr;
    SF_GetUpdateDate_fn m_getUpdateDate = nullptr;
    SF_UpdateIDlist_fn m_updateIdList = nullptr;
    SF_UpdateDetail_fn m_updateDetail = nullptr;
    SF_SetUpdateDate_fn m_setUpdateDate = nullptr;
    SF_UpdateRecomlist_fn m_updateRecom = nullptr;
    SF_UpdateData_fn m_updateData = nullptr;
    SF_GetStyleNums_fn m_getStyleNums = nullptr;
    SF_Release_fn m_release = nullptr;
};

} // namespace

std::unique_ptr<StyleStore> LoadPatbank(int32_t edition, const std::string& folder)
{
    auto library = std::make_unique<PatbankLibrary>();
    if (!library->Bind(edition, folder))
        return nullptr;
    return library;
}

} // namespace melodrift::tidelink
