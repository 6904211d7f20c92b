// The C entry points: the process-wide state and a thin layer over Service.
#include "Tidelink.h"

#include "NoticeBook.h"
#include "QnABook.h"
#include "Service.h"
#include "ServiceAddress.h"
#include "StyleStore.h"

#include "MelodriftPlatform.h"

#include <exception>
#include <filesystem>
#include <chrono>
#include <memory>
#include <mutex>
#include <thread>

using namespace melodrift::tidelink;

namespace {

struct Tidelink {
    NoticeBook notices;
    QnABook questions;
    std::unique_ptr<StyleStore> store;
    // Each call holds its own reference while it runs, so destroying the
    // service waits for them instead of pulling it from under them.
    std::mutex lock;
    std::shared_ptr<Service> service;
    std::string webRoot;
    bool listsLoaded = false;
};

Tidelink& State()
{
    static Tidelink state;
    return state;
}

std::shared_ptr<Service> Current()
{
    Tidelink& t = State();
    std::lock_guard guard(t.lock);
    return t.service;
}

// The service when it runs; operations report "no service" otherwise.
std::shared_ptr<Service> Running()
{
    std::shared_ptr<Service> s = Current();
    return s != nullptr && !s->Stopping() ? s : nullptr;
}

template <typename Fn>
int32_t Guarded(int32_t onError, Fn&& fn)
{
    try {
        return fn();
    } catch (const std::exception& e) {
        MDP_DebugOutput("Tidelink: %s\n", e.what());
    } catch (...) {
        MDP_DebugOutput("Tidelink: unexpected failure\n");
    }
    return onError;
}

void LoadLists(Tidelink& t)
{
    char dir[4096];
    MDP_UserDataDir(dir, sizeof dir);
    std::string help = std::string(dir) + "/Help";
    std::error_code ec;
    std::filesystem::create_directories(help, ec);
    t.questions.Load(help);
    t.notices.Load(help + "/notice.ntc");
    t.listsLoaded = true;
}

} // namespace

MELODRIFT_API int32_t CS_InitialService(MDP_Window window, CS_VersionRecord* version, char* webAddress,
                                        const char* folder)
{
    return Guarded(1, [&]() -> int32_t {
        Tidelink& t = State();
        ServiceAddress address = ServiceAddressFromEnvironment();
        t.webRoot = WebRootFor(address.host);
        if (webAddress != nullptr)
            CopyText(webAddress, CS_WEB_ADDRESS_CAPACITY, t.webRoot);
        if (Current() != nullptr || version == nullptr)
            return 1;
        LoadLists(t);
        int32_t edition = version->minor;
        if (edition != 3) {
            char dir[4096];
            MDP_UserDataDir(dir, sizeof dir);
            t.store = LoadPatbank(edition, dir);
            if (t.store == nullptr) {
                MDP_DebugOutput("load Patbank failed.\n");
                return 0;
            }
        }
        MDP_DebugOutput("Major=%d, Minor=%d, Modify=%d, Build=%d\n", version->major, version->minor,
                        version->modify, version->build);
        ServiceConfig config;
        config.host = address.host;
        config.port = address.port;
        config.webRoot = t.webRoot;
        config.notifyWindow = window;
        config.version = version;
        config.timing = Timing::FromEnvironment();
        MDP_DebugOutput("netservice created.\n");
        auto service = std::make_shared<Service>(std::move(config), t.store.get(), t.notices, t.questions);
        service->Start();
        std::lock_guard guard(t.lock);
        t.service = std::move(service);
        return 0;
    });
}

MELODRIFT_API int32_t CS_DestroyService(void)
{
    return Guarded(0, [&]() -> int32_t {
        Tidelink& t = State();
        std::shared_ptr<Service> service;
        {
            std::lock_guard guard(t.lock);
            service = std::move(t.service);
        }
        if (service != nullptr) {
            // Stopping wakes every call that waits; then wait for them to
            // leave before the service, its store and its lists go.
            service->Stop();
            // Every wait of a call ends within one done-wait once stopped;
            // twice that is the most the program's exit is held up.
            auto until = std::chrono::steady_clock::now() +
                         std::chrono::milliseconds(2 * Timing::FromEnvironment().doneWaitMs);
            while (service.use_count() > 1 && std::chrono::steady_clock::now() < until)
                std::this_thread::sleep_for(std::chrono::milliseconds(2));
            if (service.use_count() > 1) {
                // A call still runs: it keeps the service alive, and the
                // style store it may use is left to it rather than freed.
                MDP_DebugOutput("Tidelink: a call still runs at destroy; its state is left to it.\n");
                (void)t.store.release();
            }
            service.reset();
        }
        if (t.listsLoaded) {
            t.questions.Save();
            MDP_DebugOutput("QnAfio released.\n");
            t.notices.Save();
            MDP_DebugOutput("Noticefio released.\n");
            t.listsLoaded = false;
        }
        t.store.reset();
        return 0;
    });
}

MELODRIFT_API int32_t CS_CancelOperation(void)
{
    return Guarded(0, [&]() -> int32_t {
        if (auto s = Running())
            s->Cancel();
        return 0;
    });
}

MELODRIFT_API int32_t CS_Login(CS_UserRecord* user, int32_t sync)
{
    return Guarded(CS_ERR_NO_SERVICE, [&]() -> int32_t {
        auto s = Running();
        return s != nullptr ? s->Login(user, sync != 0) : CS_ERR_NO_SERVICE;
    });
}

MELODRIFT_API int32_t CS_Register(CS_UserRecord* user)
{
    return Guarded(CS_ERR_NO_SERVICE, [&]() -> int32_t {
        auto s = Running();
        return s != nullptr ? s->Register(user) : CS_ERR_NO_SERVICE;
    });
}

MELODRIFT_API int32_t CS_Logoff(void)
{
    return Guarded(0, [&]() -> int32_t {
        if (auto s = Running())
            s->Logoff();
        return 0;
    });
}

MELODRIFT_API int32_t CS_DownloadStyle(int32_t styleId, MDP_Window window)
{
    return Guarded(CS_ERR_NO_SERVICE, [&]() -> int32_t {
        auto s = Running();
        return s != nullptr ? s->DownloadStyle(styleId, window) : CS_ERR_NO_SERVICE;
    });
}

MELODRIFT_API int32_t CS_GetStyleNums(int32_t* online, int32_t* local)
{
    return Guarded(0, [&]() -> int32_t {
        int32_t a = 0, b = 0;
        if (StyleStore* store = State().store.get())
            store->GetStyleNums(&a, &b);
        if (online != nullptr)
            *online = a;
        if (local != nullptr)
            *local = b;
        return 0;
    });
}

MELODRIFT_API int32_t CS_UploadSong(int32_t userId, const void* info, const char* path, MDP_Window window,
                                    CS_UploadResult* result)
{
    return Guarded(CS_ERR_NO_SERVICE, [&]() -> int32_t {
        if (userId == 0)
            return CS_ERR_NO_USER;
        auto s = Running();
        return s != nullptr ? s->UploadSong(userId, info, path, window, result) : CS_ERR_NO_SERVICE;
    });
}

MELODRIFT_API int32_t CS_GetNotice(int32_t* count, CS_TextRecord* records, int32_t owner)
{
    return Guarded(0, [&]() -> int32_t {
        if (count == nullptr)
            return 0;
        *count = State().notices.Get(owner, records, *count);
        return 0;
    });
}

MELODRIFT_API int32_t CS_GetNewNoticeNum(int32_t owner)
{
    return Guarded(0, [&]() -> int32_t { return State().notices.UnreadCount(owner); });
}

MELODRIFT_API int32_t CS_GetQnA(int32_t* count, CS_TextRecord* records, uint8_t own, int32_t userId)
{
    return Guarded(0, [&]() -> int32_t {
        if (count == nullptr)
            return 0;
        QnABook::Listing listing = State().questions.Get(own == 1, userId, records, *count);
        *count = listing.matched;
        if (auto s = Running(); s != nullptr && own == 1 && records != nullptr && listing.unanswered)
            s->WantAnswers();
        return 0;
    });
}

MELODRIFT_API int32_t CS_SubmitQnA(int32_t userId, const char* text)
{
    return Guarded(CS_ERR_NO_SERVICE, [&]() -> int32_t {
        auto s = Running();
        return s != nullptr ? s->SubmitQuestion(userId, text) : CS_ERR_NO_SERVICE;
    });
}

MELODRIFT_API int32_t CS_GetWebPageURL(int32_t action, char* buffer)
{
    return Guarded(-1, [&]() -> int32_t {
        if (buffer == nullptr)
            return -1;
        auto s = Current();
        if (s == nullptr) {
            // Read now, not when the library was loaded: the address may be
            // set after that and before the service starts.
            CopyText(buffer, CS_WEB_ADDRESS_CAPACITY, WebRootFor(ServiceAddressFromEnvironment().host));
            return 1;
        }
        std::string url;
        if (s->WebPageUrl(action, url))
            CopyText(buffer, CS_WEB_URL_CAPACITY, url);
        return 0;
    });
}
