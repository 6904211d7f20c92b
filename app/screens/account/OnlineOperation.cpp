#include "OnlineOperation.h"

#include "AppSession.h"
#include "TProgressRunner.h"

namespace melodrift {

namespace {

QString CaptionOf(const ProgressOperation& op)
{
    switch (op.code) {
    case kOpLogin: return QStringLiteral("正在登录");
    case kOpRegister: return QStringLiteral("正在注册");
    case kOpSubmitQuestion: return QStringLiteral("正在提交");
    case kOpUpload: return op.songInfo ? QStringLiteral("正在上传") : QStringLiteral("正在验证上传许可");
    default: return {};
    }
}

} // namespace

OnlineOutcome RunOnlineOperation(QWidget* parent, AppSession& session, ProgressOperation op)
{
    (void)session;
    TProgressRunner runner(CaptionOf(op), parent);
    OnlineOutcome outcome;
    outcome.code = static_cast<int32_t>(runner.Run(std::move(op)));
    return outcome;
}

} // namespace melodrift
