// Test harness: the reference server in this process on a free loopback
// port, a client service with short waits, and a window that records what
// is posted to it.
#pragma once

#include "Database.h"
#include "Digest.h"
#include "Dispatcher.h"
#include "NoticeBook.h"
#include "QnABook.h"
#include "Server.h"
#include "Service.h"
#include "StyleLibrary.h"
#include "StyleStore.h"

#include "LogLines.h"
#include "MelodriftPlatform.h"
#include "PostedMessages.h"

#include <gtest/gtest.h>

#include <atomic>
#include <condition_variable>
#include <deque>
#include <cstring>
#include <filesystem>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <set>
#include <string>
#include <thread>
#include <vector>

namespace loopback {

using namespace melodrift;

using Posted = testsupport::PostedMessage;

// Every message posted through the platform layer while it lives.
class PostBox : public testsupport::PostedMessages {
public:
    // Waits until a message matches; returns it (message 0 when none came).
    Posted WaitFor(const std::function<bool(const Posted&)>& match, int ms = 5000)
    {
        return WaitUntil(match, std::chrono::milliseconds(ms)).value_or(Posted{});
    }
};

// A style store that keeps everything in memory and remembers the calls.
class FakeStyleStore : public tidelink::StyleStore {
public:
    int32_t GetUpdateDate() override { return stamp; }
    int32_t UpdateIDlist(int32_t count, const tagStyleListItem* items, int32_t* outCount, int32_t* outIds) override
    {
        std::lock_guard lock(m_lock);
        listCalls++;
        int32_t n = 0;
        for (int32_t i = 0; i < count; ++i) {
            if (revisions[items[i].id] != items[i].revision || details.count(items[i].id) == 0)
                outIds[n++] = items[i].id;
            revisions[items[i].id] = items[i].revision;
        }
        *outCount = n;
        return 0;
    }
    int32_t UpdateDetail(int32_t id, const tagStyleInfo* info) override
    {
        std::lock_guard lock(m_lock);
        details[id] = *info;
        return 0;
    }
    int32_t SetUpdateDate(int32_t s) override
    {
        stamp = s;
        setDates++;
        return 0;
    }
    int32_t UpdateRecomlist(int32_t count, const int32_t* ids, int32_t* outCount, int32_t* outIds) override
    {
        std::lock_guard lock(m_lock);
        int32_t n = 0;
        for (int32_t i = 0; i < count; ++i)
            if (data.count(ids[i]) == 0)
                outIds[n++] = ids[i];
        *outCount = n;
        recommended.assign(ids, ids + count);
        return 0;
    }
    int32_t UpdateData(int32_t id, int32_t size, const void* bytes) override
    {
        std::lock_guard lock(m_lock);
        if (refuseData)
            return -1;
        data[id].assign(static_cast<const uint8_t*>(bytes), static_cast<const uint8_t*>(bytes) + size);
        dataCalls++;
        return 0;
    }
    int32_t GetStyleNums(int32_t* online, int32_t* local) override
    {
        std::lock_guard lock(m_lock);
        *online = int32_t(revisions.size());
        *local = int32_t(data.size());
        return 0;
    }
    size_t DetailCount()
    {
        std::lock_guard lock(m_lock);
        return details.size();
    }
    std::vector<uint8_t> Data(int32_t id)
    {
        std::lock_guard lock(m_lock);
        return data.count(id) ? data[id] : std::vector<uint8_t>{};
    }
    tagStyleInfo Detail(int32_t id)
    {
        std::lock_guard lock(m_lock);
        return details[id];
    }

    std::atomic<int32_t> stamp{0};
    std::atomic<int> setDates{0}, listCalls{0}, dataCalls{0};
    std::atomic<bool> refuseData{false};

private:
    std::mutex m_lock;
    std::map<int32_t, int32_t> revisions;
    std::map<int32_t, tagStyleInfo> details;
    std::map<int32_t, std::vector<uint8_t>> data;
    std::vector<int32_t> recommended;
};

inline std::filesystem::path FreshDir(const std::string& tag)
{
    auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
    std::string name = std::string(info->test_suite_name()) + "-" + info->name();
    for (char& c : name)
        if (c == '/')
            c = '_';
    auto dir = std::filesystem::temp_directory_path() / ("tidelink-" + tag + "-" + std::to_string(::getpid()) + "-" + name);
    std::filesystem::remove_all(dir);
    std::filesystem::create_directories(dir);
    return dir;
}

// An info record whose detail the server can publish.
inline std::vector<uint8_t> StyleInfo(int32_t id, const char* name)
{
    std::vector<uint8_t> info(1800, 0);
    tidelink::PutInt32(info.data(), id);
    tidelink::PutInt32(info.data() + 20, 1780);
    info[36] = 1; // one main segment
    std::strncpy(reinterpret_cast<char*>(&info[80]), name, 39);
    std::memset(&info[264], 0xFF, 1800 - 264);
    info[264] = 9;
    info[265] = 0;
    info[266] = 1;
    return info;
}

// The reference server on a free loopback port, in a thread of this process.
class ServerHarness {
public:
    explicit ServerHarness(bool udp = true, bool tcp = true, uint16_t fixedPort = 0)
        : dir(FreshDir("server")), db(std::make_unique<service::Database>((dir / "service.db").string()))
    {
        service::Limits limits;
        limits.hashIterations = 1000;
        limits.fetchChunk = 1000; // several chunks even for small payloads
        limits.hashWorkers = 1;    // logins take the server's own path off the loop
        dispatcher = std::make_unique<service::Dispatcher>(*db, limits);
        service::ServerOptions options;
        options.port = fixedPort;
        options.udp = udp;
        options.tcp = tcp;
        options.ratePerSecond = 100000;
        server = std::make_unique<service::Server>(options, *dispatcher);
        std::string why;
        if (!server->Open(why))
            throw std::runtime_error(why);
        port = server->Port();
        thread = std::thread([this] { server->Run(); });
    }
    ~ServerHarness() { Stop(); }
    void Stop()
    {
        if (thread.joinable()) {
            server->Stop();
            thread.join();
        }
        server.reset();
    }
    uint16_t Port() const { return port; }
    int32_t AddUser(const std::string& name, const std::string& password)
    {
        return *db->AddUser(name, name + "-nick", service::HashDigest(tidelink::PasswordDigest(password), 1000));
    }
    void Publish(int32_t id, const char* name, size_t dataSize)
    {
        auto info = StyleInfo(id, name);
        std::vector<uint8_t> data(dataSize);
        for (size_t i = 0; i < dataSize; ++i)
            data[i] = uint8_t(i * 7 + id);
        db->PublishStyle(id, *service::EncodeDetail(info.data()), data);
    }

    std::filesystem::path dir;
    std::unique_ptr<service::Database> db;
    std::unique_ptr<service::Dispatcher> dispatcher;
    std::unique_ptr<service::Server> server;
    std::thread thread;
    uint16_t port = 0;
};

// A client service with its own local files and short waits.
class ClientHarness {
public:
    ClientHarness(uint16_t port, uint16_t edition = 0, std::function<void(tidelink::Timing&)> tweak = {})
        : dir(FreshDir("client"))
    {
        version.size = sizeof version;
        version.major = 1;
        version.minor = edition;
        version.modify = 2;
        version.build = 3;
        notices.Load((dir / "notice.ntc").string());
        questions.Load(dir.string());
        tidelink::ServiceConfig config;
        config.host = "127.0.0.1";
        config.port = port;
        config.webRoot = "http://127.0.0.1";
        config.notifyWindow = &notifyWindow;
        config.version = &version;
        config.timing = tidelink::Timing{}.Scaled(5);
        if (tweak)
            tweak(config.timing);
        service = std::make_unique<tidelink::Service>(config, edition == 3 ? nullptr : &store, notices, questions);
    }
    ~ClientHarness() { service.reset(); }

    // Starts and waits until greeted (or the wait ends).
    bool StartGreeted(int ms = 5000)
    {
        service->Start();
        auto until = std::chrono::steady_clock::now() + std::chrono::milliseconds(ms);
        while (service->GreetingState() != 2 && std::chrono::steady_clock::now() < until)
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        return service->GreetingState() == 2;
    }

    std::filesystem::path dir;
    CS_VersionRecord version{};
    int notifyWindow = 0;
    FakeStyleStore store;
    tidelink::NoticeBook notices;
    tidelink::QnABook questions;
    std::unique_ptr<tidelink::Service> service;
};

inline CS_UserRecord User(const char* name, const char* password)
{
    CS_UserRecord u{};
    std::strncpy(u.userName, name, sizeof u.userName - 1);
    std::strncpy(u.password, password, sizeof u.password - 1);
    return u;
}

using LogLinesGuard = testsupport::LogLines;

// The service keeps a pointer to the last user record for as long as it
// runs, so records handed to it live until the test program ends.
inline CS_UserRecord& Keep(CS_UserRecord record)
{
    static std::mutex lock;
    static std::deque<CS_UserRecord> kept;
    std::lock_guard guard(lock);
    return kept.emplace_back(record);
}

template <typename Pred>
bool Eventually(Pred pred, int ms = 5000)
{
    auto until = std::chrono::steady_clock::now() + std::chrono::milliseconds(ms);
    while (!pred()) {
        if (std::chrono::steady_clock::now() > until)
            return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    return true;
}

} // namespace loopback
