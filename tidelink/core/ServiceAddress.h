#pragma once

#include <cstdint>
#include <string>

namespace melodrift::tidelink {

struct ServiceAddress {
    std::string host;
    uint16_t port = 12071;
};

// The deployment's service host (set at build time).
std::string DefaultServiceHost();

// "host:port" parsed; a missing or bad port gives 12071, an empty text the
// deployment host.
ServiceAddress ParseServiceAddress(const std::string& text);

// MELODRIFT_SERVICE when set, else the deployment host.
ServiceAddress ServiceAddressFromEnvironment();

std::string WebRootFor(const std::string& host);

} // namespace melodrift::tidelink
