#pragma once

#include "Database.h"
#include "HashPool.h"
#include "SourceTable.h"
#include "Wire.h"

#include <atomic>
#include <chrono>
#include <cstdint>
#include <list>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <unordered_map>
#include <utility>
#include <vector>

namespace melodrift::service {

using tidelink::Message;

// Every limit of the service in one place; the service README lists them.
struct Limits {
    int hashIterations = 60000;
    int hashWorkers = 0;        // 0: hash on the calling thread (tests, tools)
    size_t hashQueue = 16;      // waiting hashes, of proven sources and of others each
    double unprovenHashesPerSecond = 20; // hashes for sources not yet proven, all together
    size_t maxUpload = 32u << 20;          // bytes of one song with its block
    // Offered transfers (payloads fetched in chunks).
    size_t maxTransfersPerSource = 16;
    size_t maxTransfers = 65536;
    size_t maxHeldBytesPerSource = 8u << 20; // payloads built for one source
    size_t maxHeldBytes = 64u << 20;
    std::chrono::seconds transferLife{300};  // after the last fetch
    std::chrono::seconds unfetchedLife{30};  // before the first one
    size_t fetchChunk = 4096;
    // Uploads in flight; their announced sizes are reserved at the start.
    size_t maxUploadsPerSource = 2;
    size_t maxUploads = 16;
    size_t maxUploadBytes = 96u << 20;
    // Logins: a source and an account may fail this often, then wait a
    // doubling time from the base up to the longest.
    int loginAllowance = 5;
    std::chrono::milliseconds loginBackoff{2000};
    std::chrono::milliseconds loginBackoffLongest{300000};
    std::chrono::milliseconds sessionIdle{1800000}; // a login unused this long ends
    // Quotas per hour.
    std::chrono::seconds quotaWindow{3600};
    int registrationsPerSource = 3;
    int registrations = 200;
    int questionsPerSource = 20;
    int questions = 2000;
    size_t questionSyncRows = 1000; // rows of one question sync; the rest next time
    size_t sources = 16384;         // entries of the per-source table
};

// Answers the requests of the message catalogue. One instance per server,
// used from its loop thread only. A peer is the sender's address (UDP) or
// connection (TCP); logins, transfers and uploads belong to their peer,
// budgets and quotas to its source address.
class Dispatcher {
public:
    enum class Outcome { Reply, Drop, Pending };
    struct Finished {
        std::string peer;
        Message reply;
    };

    Dispatcher(Database& db, Limits limits);
    ~Dispatcher();
    Dispatcher(const Dispatcher&) = delete;
    Dispatcher& operator=(const Dispatcher&) = delete;

    // Reply: answer with reply. Drop: no answer. Pending: the answer comes
    // from TakeFinished once its password hash has run.
    Outcome Handle(const std::string& peer, const Message& request, Message& reply);
    // Answers whose hashes have run since the last call.
    std::vector<Finished> TakeFinished();
    // A byte is written to fd whenever an answer is finished.
    void SetWakeFd(int fd) { m_wakeFd = fd; }
    // Forgets a peer's login and transfers (its connection closed).
    void Forget(const std::string& peer);
    void Expire();

    SourceTable& Sources() { return m_sources; }
    const Limits& GetLimits() const { return m_limits; }
    size_t Transfers() const { return m_outgoing.size(); }
    size_t HeldBytes() const { return m_heldBytes; }
    size_t Sessions() const { return m_sessions.size(); }

private:
    struct Outgoing {
        std::string peer, source;
        std::vector<uint8_t> bytes; // owned payloads
        int32_t styleId = 0;        // or a style's data read from the library
        int32_t styleRevision = 0;
        size_t size = 0;
        Clock::time_point expires;
        bool fetched = false;
        std::list<int32_t>::iterator unfetchedAt;
    };
    struct Upload {
        std::string peer, source;
        int32_t user = 0;
        size_t total = 0;
        int32_t nextIndex = 0;
        std::vector<uint8_t> info, data;
        Clock::time_point expires;
    };
    struct Held { // per source
        size_t transfers = 0, bytes = 0, uploads = 0, uploadBytes = 0;
        std::vector<int32_t> handles; // its transfers, oldest first
    };
    struct Session {
        int32_t user = 0;
        Clock::time_point used;
    };
    struct StyleEntry {
        int32_t revision = 0;
        size_t size = 0;
    };

    uint16_t Greeting(const Message& in, Message& out);
    Outcome Login(const std::string& peer, const Message& in, Message& out, uint16_t& code);
    Outcome Register(const std::string& peer, const Message& in, Message& out, uint16_t& code);
    uint16_t StyleList(const std::string& peer, const Message& in, Message& out);
    uint16_t StyleDetail(const Message& in, Message& out);
    uint16_t StyleData(const std::string& peer, const Message& in, Message& out);
    uint16_t Recommended(Message& out);
    uint16_t UploadStart(const std::string& peer, const Message& in, Message& out);
    uint16_t UploadChunk(const std::string& peer, const Message& in, Message& out);
    uint16_t FetchChunk(const std::string& peer, const Message& in, Message& out);
    uint16_t QuestionSync(const std::string& peer, const Message& in, Message& out);
    uint16_t SubmitQuestion(const std::string& peer, const Message& in, Message& out);
    uint16_t NoticeSync(const std::string& peer, const Message& in, Message& out);

    // Queues a hash; Pending, or Drop when the pool is full or the source
    // already waits for one. Without a pool it runs here and answers.
    Outcome StartHash(HashJob job, Message& out, uint16_t& code);
    uint16_t FinishHash(HashJob& job, Message& out);
    uint16_t FinishLogin(HashJob& job, Message& out);
    uint16_t FinishRegister(HashJob& job, Message& out);

    // Keeps a payload for chunked fetch; 0 when the budgets are spent.
    int32_t Offer(const std::string& peer, Outgoing transfer);
    void DropTransfer(std::map<int32_t, Outgoing>::iterator at);
    void DropUpload(std::map<int32_t, Upload>::iterator at);
    // Drops the oldest transfer nobody fetched yet: of one source, or of
    // anyone; false when there is none.
    bool DropUnfetched(const std::string* source);
    void Release(const std::string& source);
    int32_t NewHandle();
    static int64_t AccountKey(int32_t account, bool proven);
    int32_t SessionUser(const std::string& peer);
    const std::map<int32_t, StyleEntry>& StyleIndex();
    const Versions& CurrentVersions();

    Database& m_db;
    Limits m_limits;
    SourceTable m_sources;
    std::unique_ptr<HashPool> m_pool;
    std::atomic<int> m_wakeFd{-1};
    StoredPassword m_standIn; // checked for users that do not exist
    std::map<std::string, Session> m_sessions;
    std::unordered_map<int64_t, Backoff> m_accountLogins; // by AccountKey
    std::map<int32_t, Outgoing> m_outgoing;
    std::list<int32_t> m_unfetched; // oldest first
    std::map<int32_t, Upload> m_uploads;
    std::unordered_map<std::string, Held> m_held;
    size_t m_heldBytes = 0, m_uploadBytes = 0;
    WindowCount m_registrations, m_questions;
    std::map<int32_t, StyleEntry> m_styles;
    int32_t m_stylesStamp = -1;
    Clock::time_point m_stylesChecked{};
    int64_t m_stylesChanges = -1;
    double m_hashTokens = 0;
    Clock::time_point m_hashRefilled{};
    std::optional<Versions> m_versions;
    Clock::time_point m_versionsRead{};
    uint32_t m_handleSeed = 0x3A5C1u;
};

} // namespace melodrift::service
