#include "LoginRecord.h"

#include <random>

namespace melodrift {

namespace {

constexpr uint8_t kNameOffset = 0x2B;
constexpr uint8_t kPasswordOffset = 0x5D;

uint8_t Lower(char c, uint8_t offset) { return static_cast<uint8_t>(static_cast<uint8_t>(c) - offset); }
char Raise(uint8_t b, uint8_t offset) { return static_cast<char>(static_cast<uint8_t>(b + offset)); }

} // namespace

std::vector<uint8_t> EncodeLogin(const std::string& userName, bool rememberPassword, const std::string& password)
{
    if (userName.size() > 255)
        return {};
    std::vector<uint8_t> record;
    record.push_back(static_cast<uint8_t>(userName.size()));
    for (char c : userName)
        record.push_back(Lower(c, kNameOffset));
    if (!rememberPassword || password.empty() || password.size() > kMaxStoredPassword)
        return record;
    record.push_back(static_cast<uint8_t>(password.size()));
    std::random_device seed;
    std::mt19937 filler(seed());
    for (size_t i = 0; i < kMaxStoredPassword; ++i)
        record.push_back(i < password.size() ? Lower(password[i], kPasswordOffset) : static_cast<uint8_t>(filler()));
    return record;
}

std::optional<StoredLogin> DecodeLogin(const std::vector<uint8_t>& record)
{
    if (record.empty() || record.size() > kMaxLoginRecord)
        return std::nullopt;
    const size_t n = record[0];
    if (record.size() < n + 1)
        return std::nullopt;
    StoredLogin login;
    for (size_t i = 0; i < n; ++i)
        login.userName += Raise(record[1 + i], kNameOffset);
    if (record.size() != n + 2 + kMaxStoredPassword)
        return login;
    const size_t m = record[n + 1];
    if (m > kMaxStoredPassword)
        return std::nullopt;
    for (size_t i = 0; i < m; ++i)
        login.password += Raise(record[n + 2 + i], kPasswordOffset);
    login.hasPassword = true;
    return login;
}

} // namespace melodrift
