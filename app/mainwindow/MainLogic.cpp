#include "MainLogic.h"

#include <QFileInfo>

#include "SongModel.h"
#include "Vocabulary.h"

namespace melodrift {

QString ProposedFileName(int metre, int tempo)
{
    return QStringLiteral("Untitle-%1-%2").arg(QString::fromLatin1(MetreFileCode(metre))).arg(tempo);
}

QString CaptionFor(const std::string& projectPath)
{
    if (projectPath.empty())
        return QStringLiteral("Melodrift - Untitle");
    return QStringLiteral("Melodrift - ") + QFileInfo(QString::fromStdString(projectPath)).fileName();
}

bool NeedsSaveQuestion(const TSongModel& song)
{
    return !song.bars.empty() && (song.projectPath.empty() || song.IsModified());
}

StepEnabling ApplyStepMask(uint32_t mask, bool hasMelody, bool firstStepEnabled)
{
    StepEnabling out;
    for (int i = 0; i < kStepCount; ++i)
        out.steps[i] = (mask & (1u << i)) != 0 && (hasMelody || i < 2);
    const bool bit0 = (mask & 1u) != 0;
    if (!bit0 || !firstStepEnabled) {
        out.menuChanges = true;
        out.menuEnabled = bit0;
    }
    return out;
}

OpenedPage PageAfterOpen(const TSongModel& song, int currentPage)
{
    OpenedPage out;
    int page = song.openStep >= 0 ? song.openStep : currentPage;
    if (page >= kPageCount)
        page = 1;
    if (song.bars.empty() && page >= 2)
        page = 1;
    if (song.stages.empty() && page > 2)
        page = 2;
    out.page = page;
    out.needsBase = !song.stages.empty() && !song.Flag(kFlagBaseAccompaniment);
    return out;
}

bool StepClickLeavesByStepBar(int current)
{
    return current == 0 || current == 1 || current == 4 || current == kHelpPage;
}

bool StepMayChange(bool leftByStepBar, int currentPage) { return leftByStepBar || currentPage == kHelpPage; }

QString NoticeHintAtStart(int notices) { return QStringLiteral("有%1条网站最新公告").arg(notices); }

QString NoticeHintLoggedIn(int notices, int personal)
{
    QString hint;
    if (notices > 0)
        hint = QStringLiteral("有 %1 条网站最新公告").arg(notices);
    if (personal > 0) {
        if (!hint.isEmpty())
            hint += QLatin1Char('\n');
        hint += (notices > 0 ? QStringLiteral("和 %1 条个人空间消息") : QStringLiteral("有 %1 条个人空间消息")).arg(personal);
    }
    return hint;
}

QString NoticeHintLoggedOff(int notices) { return QStringLiteral("有 %1 条网站最新公告").arg(notices); }

QString UserInfoHint(int balance, int popularity, int fans, int songs)
{
    return QStringLiteral("音符数：%1\n魅力值：%2\n粉丝数：%3\n歌曲数：%4").arg(balance).arg(popularity).arg(fans).arg(songs);
}

int QrModuleSize(int panelWidth, int sideLength)
{
    return sideLength > 0 ? (panelWidth - 16) / sideLength : 0;
}

int RecordVolumeParam(float recordVolume) { return static_cast<int>((recordVolume + 0.005f) * 100.0f); }

} // namespace melodrift
