#pragma once

// The remembered login as it is stored: a length byte and the user name, then
// optionally a length byte and 16 bytes holding the password. The bytes are
// shifted by fixed offsets, which only keeps them from being read at a glance.

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace melodrift {

constexpr size_t kMaxStoredPassword = 16;
constexpr size_t kMaxLoginRecord = 260;

struct StoredLogin {
    std::string userName;
    std::string password;     // empty when none is remembered
    bool hasPassword = false;
};

// Empty when the name does not fit its length byte. A password longer than 16
// bytes is not remembered at all, since a cut one could never log in.
std::vector<uint8_t> EncodeLogin(const std::string& userName, bool rememberPassword, const std::string& password);

// Nothing for a record too short for its own length byte or with an
// impossible password length.
std::optional<StoredLogin> DecodeLogin(const std::vector<uint8_t>& record);

} // namespace melodrift
