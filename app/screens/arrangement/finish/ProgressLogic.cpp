#include "ProgressLogic.h"

#include <algorithm>

#include "TProgressThread.h"

namespace melodrift {

ProgressSetup ProgressSetupFor(int code, int trackBits, bool hasBlock)
{
    ProgressSetup s;
    s.trackBits = trackBits;
    switch (code) {
    case kOpExport:
        s.caption = trackBits == 0 ? QStringLiteral("正在生成歌曲") : QStringLiteral("正在保存");
        s.closeButton = true;
        if (trackBits == 0)
            s.trackBits = 3;
        break;
    case kOpOpenProject:
        s.caption = QStringLiteral("正在打开");
        break;
    case kOpSaveProject:
        s.caption = QStringLiteral("正在保存");
        break;
    case kOpLogin:
        s.caption = QStringLiteral("正在登录");
        s.closeButton = s.animation = true;
        break;
    case kOpSubmitQuestion:
        s.caption = QStringLiteral("正在提交");
        s.closeButton = s.animation = true;
        break;
    case kOpRegister:
        s.caption = QStringLiteral("正在注册");
        s.closeButton = s.animation = true;
        break;
    case kOpUpload:
        s.caption = hasBlock ? QStringLiteral("正在上传") : QStringLiteral("正在验证上传许可");
        s.closeButton = true;
        s.animation = !hasBlock;
        break;
    default:
        break;
    }
    return s;
}

void ProgressBarState::Range(int startPercent, int endPercent)
{
    // Reports come from other libraries: keep the span inside the bar.
    startPercent = std::clamp(startPercent, 0, 100);
    endPercent = std::clamp(endPercent, 0, 100);
    m_rangeStart = startPercent * kBarWidth / 100;
    m_rangeEnd = endPercent == 0 ? kBarWidth : endPercent * kBarWidth / 100;
}

void ProgressBarState::Step(int percent)
{
    percent = std::clamp(percent, 0, 100);
    m_position = percent * (m_rangeEnd - m_rangeStart) / 100 + m_rangeStart;
}

void ProgressBarState::Tick()
{
    m_position += kAnimationStep;
    if (m_position >= kBarWidth)
        m_position -= kBarWidth;
}

} // namespace melodrift
