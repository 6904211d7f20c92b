#include "ServiceEvents.h"

namespace melodrift {

QString ServiceErrorText(const QString& failure, int code)
{
    const char* reason = "";
    switch (code) {
    case CS_ERR_SOCKET: reason = "网络故障，请关闭程序后重试。"; break;
    case CS_ERR_TIMEOUT: reason = "网络超时，请稍后重试。"; break;
    case CS_ERR_SERVER: reason = "服务器故障，请稍后重试。"; break;
    case CS_ERR_BAD_PASSWORD: reason = "输入密码错，请重新输入。"; break;
    case CS_ERR_UNKNOWN_USER: reason = "无效的用户名，请重新输入。"; break;
    case CS_ERR_NO_USER: reason = "无效的用户。"; break;
    case CS_ERR_BAD_STYLE: reason = "所选的风格已无效。"; break;
    case CS_ERR_CHUNK_MISMATCH:
    case CS_ERR_TRANSFER:
    case kServiceTransferFault: reason = "文件传输失败。"; break;
    case CS_ERR_NAME_TAKEN: reason = "用户名已存在，请重新注册。"; break;
    case CS_ERR_FILE: reason = "文件操作错误。"; break;
    default: break;
    }
    return failure + QLatin1Char('\n') + QString::fromUtf8(reason);
}

QString NewVersionMessage(bool forced)
{
    return forced ? QStringLiteral("当前版本下，用户将无法进行登录\n账号和全曲操作，建议升级到最新\n版本。")
                  : QStringLiteral("新的版本已发布,建议立即更新。");
}

ServiceEventAction TServiceEvents::Decode(intptr_t wParam, intptr_t lParam)
{
    ServiceEventAction action;
    const int reply = static_cast<int>(wParam >> 16);
    action.code = static_cast<int>(wParam & 0xFFFF);
    switch (reply) {
    case kReplyLogin:
        action.kind = action.code == CS_OK ? ServiceEventAction::kLoggedIn : ServiceEventAction::kLoginFailed;
        action.askLoginAgain = action.code == CS_ERR_BAD_PASSWORD || action.code == CS_ERR_UNKNOWN_USER;
        break;
    case kReplyNoticeCount:
        if (action.code != CS_OK)
            break;
        action.kind = ServiceEventAction::kNoticeCountChanged;
        // The high half is the owner: a user id for personal messages.
        action.personal = (lParam >> 16) != 0;
        (action.personal ? m_personal : m_notices) = static_cast<int>(lParam & 0xFFFF);
        break;
    case kReplyGreeting:
        if (action.code == kGreetingNewVersion || action.code == kGreetingForcedUpdate) {
            action.kind = ServiceEventAction::kNewVersion;
            action.forced = action.code == kGreetingForcedUpdate;
        }
        break;
    default: break;
    }
    return action;
}

} // namespace melodrift
