#include "Digest.h"

#include <openssl/sha.h>

namespace melodrift::tidelink {

std::string Sha256Hex(std::string_view bytes)
{
    unsigned char hash[SHA256_DIGEST_LENGTH];
    SHA256(reinterpret_cast<const unsigned char*>(bytes.data()), bytes.size(), hash);
    static const char digits[] = "0123456789abcdef";
    std::string hex(2 * SHA256_DIGEST_LENGTH, '0');
    for (int i = 0; i < SHA256_DIGEST_LENGTH; ++i) {
        hex[2 * i] = digits[hash[i] >> 4];
        hex[2 * i + 1] = digits[hash[i] & 15];
    }
    return hex;
}

std::string PasswordDigest(std::string_view password) { return Sha256Hex(Sha256Hex(password)); }

} // namespace melodrift::tidelink
