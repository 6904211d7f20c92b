#pragma once

#include "Channel.h"
#include "NoticeBook.h"
#include "QnABook.h"
#include "StyleStore.h"
#include "Tidelink.h"
#include "Timing.h"
#include "Wire.h"

#include <atomic>
#include <chrono>
#include <cstdio>
#include <deque>
#include <memory>
#include <mutex>
#include <semaphore>
#include <string>
#include <thread>
#include <vector>

namespace melodrift::tidelink {

inline constexpr uint16_t kDefaultPort = 12071;

// Ceilings for sizes the server announces, by what is fetched.
inline constexpr size_t kMaxStyleListBytes = 100000 * 16; // the longest list taken
inline constexpr size_t kMaxStyleDataBytes = 16u << 20;
inline constexpr size_t kMaxNoticeBytes = 8u << 20;
inline constexpr size_t kMaxQuestionBytes = 32u << 20;

struct ServiceConfig {
    std::string host;
    uint16_t port = kDefaultPort;
    std::string webRoot; // "http://host"
    MDP_Window notifyWindow = nullptr;
    CS_VersionRecord* version = nullptr;
    Timing timing;
};

// The one service object: the service thread with its connection, the two
// connect threads, and every operation the C entry points run.
class Service {
public:
    Service(ServiceConfig config, StyleStore* store, NoticeBook& notices, QnABook& questions);
    ~Service();
    Service(const Service&) = delete;
    Service& operator=(const Service&) = delete;

    void Start();
    void Stop();
    bool Stopping() const { return m_stopping; }

    // ---- operations (caller's thread)
    void Cancel();
    int32_t Login(CS_UserRecord* user, bool sync);
    int32_t Register(CS_UserRecord* user);
    void Logoff();
    int32_t DownloadStyle(int32_t styleId, MDP_Window window);
    int32_t UploadSong(int32_t userId, const void* info, const char* path, MDP_Window window, CS_UploadResult* result);
    int32_t SubmitQuestion(int32_t userId, const char* text);
    // After the caller listed its own questions: ask again for answers.
    void WantAnswers();
    // The address of a web page action; false when the action gives none
    // (WebPages.cpp).
    bool WebPageUrl(int32_t action, std::string& url) const;

    // ---- state read by tests and the C layer
    int GreetingState() const { return m_greeting; }
    int LoginState() const { return m_login; }
    bool Connected() const { return m_connected; }
    bool UsesUdp() const;
    int32_t Edition() const { return m_edition; }

private:
    enum class Origin { ServiceThread, Caller };
    enum class Candidate { Idle, Probing, Succeeded, Failed };
    struct ConnectWorker {
        explicit ConnectWorker(Channel::Kind k) : kind(k), channel(std::make_unique<Channel>(k)) {}
        Channel::Kind kind;
        std::unique_ptr<Channel> channel;
        std::thread thread;
        std::binary_semaphore start{0};
        std::atomic<Candidate> state{Candidate::Idle};
    };

    // threads, the service loop and posted replies (Service.cpp)
    void ServiceLoop();
    bool SleepUnlessStopping(int ms);
    bool AnySyncPending() const;
    void Post(MDP_Window window, uint32_t message, intptr_t wParam, intptr_t lParam) const;
    void HandleReply(const Message& reply, int result);

    // the transport (Connection.cpp)
    void ConnectWorkerLoop(ConnectWorker& worker);
    void Connect();
    void AbortCandidate(ConnectWorker& worker);
    void WaitIdle(ConnectWorker& worker);
    void DropTransport();
    // Makes the TCP stream again (and the login on it); false when it fails.
    bool ReopenStream(uint16_t requestId);

    // request/reply (Exchange.cpp)
    int Exchange(Message& request, Message& reply, Origin origin);
    int AwaitReply(const Message& request, Message& reply, Origin origin);
    int CallerExchange(Message& request, Message& reply);
    // Fetches a transfer of the announced size, refused above limit.
    int FetchChunks(int32_t handle, int32_t size, size_t limit, std::vector<uint8_t>& out, Origin origin);
    void EndedLogin();
    void PrepareRequest(Message& request, uint16_t id) const;

    // greeting and account (Account.cpp)
    int GreetAndLogin();
    int Greet();
    int LoginExchange();
    static void FillCredentials(Message& request, const CS_UserRecord& user, std::string& digest);

    // styles (StyleSync.cpp)
    int SyncStyles();
    int SyncStyleList();
    int FetchOneDetail();
    int FetchRecommended();
    int FetchOneDownload();
    int DownloadNow(int32_t styleId, Origin origin, std::vector<uint8_t>& data, int& replyCode);
    void ClearQueues();
    bool QueuesBusy() const;
    int32_t QueueHead(const std::deque<int32_t>& queue) const;

    // notices and questions (Community.cpp)
    int SyncNotices();
    int SyncNoticeOwner(int32_t owner);
    int SyncQuestions();

    // uploads (Upload.cpp)
    int SendUploadChunks(int32_t handle, const void* info, FILE* file, int64_t total, MDP_Window window,
                         CS_UploadResult* result);
    void FillUploadResult(const Message& reply, CS_UploadResult* result) const;

    int32_t UserId() const;

    ServiceConfig m_config;
    StyleStore* m_store;
    NoticeBook& m_notices;
    QnABook& m_questions;
    const int32_t m_edition;

    std::atomic<uint16_t> m_sequence;
    std::atomic<bool> m_connected{false};
    std::atomic<int> m_greeting{1};
    std::atomic<int> m_login{0};
    std::atomic<bool> m_stopping{false};
    std::atomic<bool> m_proceed{true};
    std::atomic<bool> m_mandatoryUpdate{false};
    std::atomic<bool> m_callerWaiting{false};
    std::atomic<int> m_lastGreetingResult{0};
    std::atomic<int> m_styleListPending{0};
    std::atomic<int> m_questionsPending{0};
    std::atomic<int> m_noticesPending{0};
    std::atomic<int> m_personalPending{0};
    std::atomic<bool> m_recommendedWanted{false};
    std::chrono::steady_clock::time_point m_lastPersonal{};
    std::atomic<bool> m_personalFetched{false};
    std::atomic<int32_t> m_newStamp{0};
    std::atomic<CS_UserRecord*> m_user{nullptr};
    std::atomic<MDP_Window> m_downloadWindow{nullptr};

    mutable std::mutex m_queueLock;
    std::deque<int32_t> m_detailQueue;
    std::deque<int32_t> m_downloadQueue;

    std::counting_semaphore<65535> m_work{0};
    std::counting_semaphore<65535> m_done{0};
    std::counting_semaphore<65535> m_connectedSignal{0};

    // One exchange at a time on the transport: the caller's thread and the
    // service thread would otherwise read each other's replies.
    mutable std::recursive_mutex m_exchangeLock;
    Channel* m_transport = nullptr; // one of the candidates, or none
    bool m_resolved = false;
    sockaddr_in m_address{};
    ConnectWorker m_udp{Channel::Kind::Udp};
    ConnectWorker m_tcp{Channel::Kind::Tcp};
    std::thread m_thread;
    std::atomic<bool> m_started{false};
};

} // namespace melodrift::tidelink
