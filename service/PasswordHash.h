#pragma once

#include <string>

namespace melodrift::service {

// A stored password: the client's digest run through PBKDF2-HMAC-SHA256
// with a per-user salt, so a leaked database gives neither the password nor
// the digest that logs in.
struct StoredPassword {
    std::string salt; // hex
    std::string hash; // hex
    int iterations = 0;
};

StoredPassword HashDigest(const std::string& digest, int iterations);
bool VerifyDigest(const std::string& digest, const StoredPassword& stored);

} // namespace melodrift::service
