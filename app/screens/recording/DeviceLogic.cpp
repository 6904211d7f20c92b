#include "DeviceLogic.h"

#include <cmath>

#include "Pipeline.h"

namespace melodrift {

int ChooseRecordDevice(const std::vector<MM_RecordDeviceInfo>& devices, int storedId)
{
    for (size_t i = 0; i < devices.size(); ++i)
        if (devices[i].id == storedId)
            return static_cast<int>(i);
    for (size_t i = 0; i < devices.size(); ++i)
        if (devices[i].flags & MM_DEVICE_DEFAULT)
            return static_cast<int>(i);
    return -1;
}

int ChooseRecordInput(const std::vector<MM_RecordInputInfo>& inputs, int stored)
{
    if (inputs.empty())
        return -1;
    if (stored >= 0 && stored < static_cast<int>(inputs.size()))
        return stored;
    for (size_t i = 0; i < inputs.size(); ++i)
        if (!(inputs[i].flags & MM_INPUT_NOT_DEFAULT))
            return static_cast<int>(i);
    return 0;
}

QString RecordTestFailureMessage(int code)
{
    switch (code) {
    case 1: return QStringLiteral("内存空间不足。");
    case 3: return QStringLiteral("该设备的驱动程序无效。");
    case 6: return QStringLiteral("该设备不支持所需录音格式。");
    case 37: return QStringLiteral("该设备无法打开。");
    case 46: return QStringLiteral("该设备正被其它程序占用。");
    default: return QStringLiteral("未知错误。");
    }
}

int RecordVolumePercent(float volume)
{
    return static_cast<int>(std::trunc((volume + 0.005) * 100));
}

const std::vector<EffectSlot>& EffectSlots()
{
    static const QString off = QStringLiteral("关闭");
    static const QStringList sizes{off, QStringLiteral("小"), QStringLiteral("中"), QStringLiteral("大")};
    static const std::vector<EffectSlot> table = {
        {0, kEffectIds[0], "回声:", {off, QStringLiteral("打开")}},
        {3, kEffectIds[3], "混响:", sizes},
        {4, kEffectIds[4], "平衡:", sizes},
        {5, kEffectIds[5], "镶边:", sizes},
        {6, kEffectIds[6], "特效:", {off, QStringLiteral("飘忽"), QStringLiteral("潜水"), QStringLiteral("飞翔")}},
        {7, kEffectIds[7], "模拟:", {off, QStringLiteral("喇叭"), QStringLiteral("电话"), QStringLiteral("听筒")}},
        {8, kEffectIds[8], "旋转:", {off, QStringLiteral("风洞"), QStringLiteral("环绕"), QStringLiteral("震荡")}},
        {9, kEffectIds[9], "变声:", {off, QStringLiteral("升8度"), QStringLiteral("降8度")}},
        {10, kEffectIds[10], "修音:", {off, QStringLiteral("打开")}},
    };
    return table;
}

} // namespace melodrift
