#pragma once

#include "Database.h"
#include "Wire.h"

#include <chrono>
#include <cstdint>
#include <map>
#include <string>
#include <vector>

namespace melodrift::service {

using tidelink::Message;

struct Limits {
    int hashIterations = 60000;
    size_t maxUpload = 32u << 20;          // bytes of one song with its block
    size_t maxTransfersPerPeer = 8;
    size_t maxUploadsPerPeer = 2;
    std::chrono::seconds transferLife{300};
    size_t fetchChunk = 4096;
};

// Answers the requests of the message catalogue. One instance per server,
// used from its loop thread only. A peer is the sender's address (UDP) or
// connection (TCP); logins, transfers and uploads belong to their peer.
class Dispatcher {
public:
    Dispatcher(Database& db, Limits limits) : m_db(db), m_limits(limits) {}

    // False when the request is to be dropped without an answer.
    bool Handle(const std::string& peer, const Message& request, Message& reply);
    // Forgets a peer's login and transfers (its connection closed).
    void Forget(const std::string& peer);
    void Expire();

private:
    struct Outgoing {
        std::string peer;
        std::vector<uint8_t> bytes;
        std::chrono::steady_clock::time_point expires;
    };
    struct Upload {
        std::string peer;
        int32_t user = 0;
        size_t total = 0;
        int32_t nextIndex = 0;
        std::vector<uint8_t> info, data;
        std::chrono::steady_clock::time_point expires;
    };

    uint16_t Greeting(const Message& in, Message& out);
    uint16_t Login(const std::string& peer, const Message& in, Message& out);
    uint16_t Register(const std::string& peer, const Message& in, Message& out);
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

    // Keeps a payload for chunked fetch; 0 when the peer holds too many.
    int32_t Offer(const std::string& peer, std::vector<uint8_t> bytes);
    int32_t NewHandle();
    int32_t SessionUser(const std::string& peer) const;

    Database& m_db;
    Limits m_limits;
    std::map<std::string, int32_t> m_sessions;
    std::map<int32_t, Outgoing> m_outgoing;
    std::map<int32_t, Upload> m_uploads;
    uint32_t m_handleSeed = 0x3A5C1u;
};

} // namespace melodrift::service
