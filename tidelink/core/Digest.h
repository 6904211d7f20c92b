#pragma once

#include <string>
#include <string_view>

namespace melodrift::tidelink {

// Lowercase hexadecimal SHA-256 of the bytes.
std::string Sha256Hex(std::string_view bytes);

// What the service receives instead of a password: the hex SHA-256 of the
// hex SHA-256 of the password (64 characters).
std::string PasswordDigest(std::string_view password);

} // namespace melodrift::tidelink
