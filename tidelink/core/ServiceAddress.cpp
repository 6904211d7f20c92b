#include "ServiceAddress.h"

#include <cstdlib>

#ifndef MELODRIFT_SERVICE_HOST
#define MELODRIFT_SERVICE_HOST "service.melodrift.invalid"
#endif

namespace melodrift::tidelink {

std::string DefaultServiceHost() { return MELODRIFT_SERVICE_HOST; }

ServiceAddress ParseServiceAddress(const std::string& text)
{
    ServiceAddress address;
    address.host = DefaultServiceHost();
    if (text.empty())
        return address;
    size_t colon = text.rfind(':');
    std::string host = colon == std::string::npos ? text : text.substr(0, colon);
    if (!host.empty())
        address.host = host;
    if (colon != std::string::npos) {
        char* end = nullptr;
        long port = std::strtol(text.c_str() + colon + 1, &end, 10);
        if (end != nullptr && *end == '\0' && port > 0 && port < 65536)
            address.port = static_cast<uint16_t>(port);
    }
    return address;
}

ServiceAddress ServiceAddressFromEnvironment()
{
    const char* value = std::getenv("MELODRIFT_SERVICE");
    return ParseServiceAddress(value != nullptr ? value : "");
}

std::string WebRootFor(const std::string& host) { return "http://" + host; }

} // namespace melodrift::tidelink
