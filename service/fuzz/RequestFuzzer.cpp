// Outside bytes as requests to the server: decoded and answered against an
// in-memory database, alternating between two peers.
#include "Database.h"
#include "Dispatcher.h"
#include "PasswordHash.h"

#include <cstddef>
#include <cstdint>

using namespace melodrift::service;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    static Database db(":memory:");
    static bool seeded = false;
    if (!seeded) {
        db.AddUser("alice", "Al", HashDigest(std::string(64, 'a'), 1));
        db.PublishStyle(1, {1, 2, 3}, std::vector<uint8_t>(5000, 7));
        db.AddNotice(0, 0, "t", "x");
        seeded = true;
    }
    static Limits limits = [] {
        Limits l;
        l.hashIterations = 1;
        l.maxUpload = 1 << 16;
        return l;
    }();
    static Dispatcher dispatcher(db, limits);
    // Several requests per input: a 2-byte length before each.
    size_t at = 0;
    int turn = 0;
    while (at + 2 <= size) {
        size_t n = size_t(data[at]) << 8 | data[at + 1];
        at += 2;
        n = std::min(n, size - at);
        melodrift::tidelink::Message request, reply;
        if (melodrift::tidelink::DecodeMessage(data + at, n, request) == melodrift::tidelink::DecodeStatus::Ok)
            (void)dispatcher.Handle(turn++ % 2 ? "peer-b" : "peer-a", request, reply);
        at += n;
    }
    dispatcher.Expire();
    return 0;
}
