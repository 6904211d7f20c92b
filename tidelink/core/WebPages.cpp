// Addresses of the community's web pages.
#include "Digest.h"
#include "Service.h"

#include <cctype>
#include <cstdio>
#include <cstring>

namespace melodrift::tidelink {

namespace {

std::string PercentEncoded(const std::string& text)
{
    static const char digits[] = "0123456789ABCDEF";
    std::string out;
    for (unsigned char c : text) {
        if (std::isalnum(c) || c == '-' || c == '_' || c == '.' || c == '~') {
            out += char(c);
        } else {
            out += '%';
            out += digits[c >> 4];
            out += digits[c & 15];
        }
    }
    return out;
}

} // namespace

bool Service::WebPageUrl(int32_t action, std::string& url) const
{
    const std::string& root = m_config.webRoot;
    auto account = [&](int queryAction) {
        CS_UserRecord* user = m_user.load();
        if (user == nullptr || m_login != 2)
            return false;
        std::string name(user->userName, strnlen(user->userName, sizeof user->userName));
        std::string digest = PasswordDigest(std::string(user->password, strnlen(user->password, sizeof user->password)));
        char query[512];
        std::snprintf(query, sizeof query, "/index.php/Login/checkLoginUser?username=%s&password=%s&action=%d",
                      PercentEncoded(name).c_str(), digest.c_str(), queryAction);
        url = root + query;
        return true;
    };
    switch (action) {
    case 0:
        url = root;
        return true;
    case 1:
    case 2:
        return account(action);
    case 3: {
        int id = m_edition <= 2 ? 2 : m_edition == 6 ? 3 : 0;
        if (id == 0)
            return false;
        url = root + "/index.php/Software?tpl=show&id=" + std::to_string(id) + "&os=pc";
        return true;
    }
    case 4:
        return account(3);
    case 5:
        url = root + "/index.php/Community?tpl=topic_list&i=1";
        return true;
    case 6:
        url = root + "/index.php/Music/index/tpl/play_share/i/";
        return true;
    default:
        return false;
    }
}

} // namespace melodrift::tidelink
