#include "PasswordHash.h"

#include <openssl/crypto.h>
#include <openssl/evp.h>
#include <openssl/rand.h>

#include <stdexcept>
#include <vector>

namespace melodrift::service {

namespace {

std::string Hex(const unsigned char* bytes, size_t n)
{
    static const char digits[] = "0123456789abcdef";
    std::string out(2 * n, '0');
    for (size_t i = 0; i < n; ++i) {
        out[2 * i] = digits[bytes[i] >> 4];
        out[2 * i + 1] = digits[bytes[i] & 15];
    }
    return out;
}

std::string Derive(const std::string& digest, const std::string& salt, int iterations)
{
    unsigned char out[32];
    if (PKCS5_PBKDF2_HMAC(digest.data(), int(digest.size()), reinterpret_cast<const unsigned char*>(salt.data()),
                          int(salt.size()), iterations, EVP_sha256(), sizeof out, out) != 1)
        throw std::runtime_error("PBKDF2 failed");
    return Hex(out, sizeof out);
}

} // namespace

StoredPassword HashDigest(const std::string& digest, int iterations)
{
    unsigned char salt[16];
    if (RAND_bytes(salt, sizeof salt) != 1)
        throw std::runtime_error("no random bytes for a salt");
    StoredPassword stored;
    stored.salt = Hex(salt, sizeof salt);
    stored.iterations = iterations;
    stored.hash = Derive(digest, stored.salt, iterations);
    return stored;
}

bool VerifyDigest(const std::string& digest, const StoredPassword& stored)
{
    if (stored.iterations <= 0)
        return false;
    std::string hash = Derive(digest, stored.salt, stored.iterations);
    return hash.size() == stored.hash.size() && CRYPTO_memcmp(hash.data(), stored.hash.data(), hash.size()) == 0;
}

} // namespace melodrift::service
