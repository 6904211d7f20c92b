#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QSlider>
#include <QTimer>
#include <cstring>

#include "DeviceLogic.h"
#include "RecordWidgets.h"
#include "RecordingFixture.h"
#include "TDeviceDialogs.h"
#include "TRecordForm.h"
#include "TestSignals.h"

namespace melodrift {
namespace {

MM_RecordDeviceInfo Device(int id, bool isDefault)
{
    MM_RecordDeviceInfo d{};
    d.id = id;
    std::strcpy(d.name, "dev");
    d.flags = isDefault ? MM_DEVICE_DEFAULT : 0;
    return d;
}

MM_RecordInputInfo Input(bool notDefault)
{
    MM_RecordInputInfo i{};
    i.flags = notDefault ? MM_INPUT_NOT_DEFAULT : 0;
    return i;
}

TEST(DeviceChoice, StoredThenDefaultThenNone)
{
    const std::vector<MM_RecordDeviceInfo> devices = {Device(4, false), Device(9, true), Device(12, true)};
    EXPECT_EQ(ChooseRecordDevice(devices, 12), 2);
    EXPECT_EQ(ChooseRecordDevice(devices, -1), 1);
    EXPECT_EQ(ChooseRecordDevice(devices, 77), 1);   // a device that went away
    EXPECT_EQ(ChooseRecordDevice({Device(4, false)}, -1), -1);
    EXPECT_EQ(ChooseRecordDevice({}, 4), -1);

    const std::vector<MM_RecordInputInfo> inputs = {Input(true), Input(false), Input(false)};
    EXPECT_EQ(ChooseRecordInput(inputs, 2), 2);
    EXPECT_EQ(ChooseRecordInput(inputs, 5), 1);
    EXPECT_EQ(ChooseRecordInput(inputs, -1), 1);
    EXPECT_EQ(ChooseRecordInput({Input(true), Input(true)}, -1), 0);
    EXPECT_EQ(ChooseRecordInput({}, 0), -1);

    EXPECT_EQ(RecordTestFailureMessage(46), QStringLiteral("该设备正被其它程序占用。"));
    EXPECT_EQ(RecordTestFailureMessage(23), QStringLiteral("未知错误。"));
    EXPECT_EQ(RecordVolumePercent(0.57f), 57);
    EXPECT_EQ(RecordVolumePercent(0.996f), 100);
}

TEST(EffectTable, SlotsAndIds)
{
    const auto& table = EffectSlots();
    ASSERT_EQ(table.size(), 9u);
    EXPECT_EQ(table[0].slot, 0);
    EXPECT_EQ(table[7].effectId, 256);
    EXPECT_EQ(table[8].effectId, 257);
    for (const EffectSlot& s : table)
        EXPECT_EQ(s.choices.front(), QStringLiteral("关闭"));
}

class DeviceDialogTest : public test::RecordingFixture {
protected:
    void SetUp() override
    {
        RecordingFixture::SetUp();
        const std::string take = m_dir.filePath(QStringLiteral("mic.wav")).toStdString();
        sonobox::test::WriteWav(take, sonobox::test::SingMelody({{67, 4}, {69, 4}}, 90, 0));
        setenv("MELODRIFT_AUDIO", ("file:" + take + ";realtime").c_str(), 1);
        StartForm();
    }
};

TEST_F(DeviceDialogTest, MicrophoneTestRunsAndOkTellsTheRecordScreen)
{
    m_form->ShowPage(1);
    auto* record = dynamic_cast<TRecordForm*>(m_form->Page(1));
    ASSERT_NE(record, nullptr);
    TSongModel& song = m_session.song;
    song.SetFlag(kFlagAutoLevel, true);
    {
        TMicSetForm dialog(m_session, m_form.get());
        ASSERT_FALSE(dialog.Devices().empty());
        EXPECT_GE(dialog.m_cbDevice->currentIndex(), 0);
        EXPECT_TRUE(dialog.Testing());
        EXPECT_TRUE(dialog.m_tbVolume->isEnabled());
        EXPECT_TRUE(dialog.m_chkAuto->isChecked());
        dialog.m_tbVolume->setValue(40);   // the user moves it: automatic level goes off
        EXPECT_FALSE(dialog.m_chkAuto->isChecked());
        SaveShot(dialog, QStringLiteral("mic-setup"));
        dialog.Cancel();
        EXPECT_FALSE(dialog.Testing());
        EXPECT_TRUE(song.Flag(kFlagAutoLevel));   // Cancel keeps what was stored
    }

    // Through the window's message: OK stores the device and volume, and the
    // record screen's microphone knob follows.
    QTimer::singleShot(300, [] {
        auto* dialog = qobject_cast<TMicSetForm*>(QApplication::activeModalWidget());
        ASSERT_NE(dialog, nullptr);
        dialog->m_tbVolume->setValue(57);
        dialog->SetMonitor(true);
        dialog->Ok();
    });
    m_form->HandleMessage(UM_MIC_SETUP, 0, 0);
    Settle();
    EXPECT_FLOAT_EQ(song.recordVolume, 0.57f);
    EXPECT_FALSE(song.Flag(kFlagAutoLevel));
    EXPECT_TRUE(song.Flag(kFlagMonitor));
    EXPECT_GE(m_session.app.recordDevice, 0);
    EXPECT_EQ(record->m_sliderMicrophone->Knob(), 43);
}

TEST_F(DeviceDialogTest, EffectsApplyAtOnceAndCancelOrOkDecideWhatStays)
{
    TSongModel& song = m_session.song;
    song.effectStates[3] = 2;
    {
        TAudioEffectForm dialog(m_session, m_form.get());
        EXPECT_EQ(dialog.m_cbEffects[1]->currentIndex(), 2);   // reverb shows its stored state
        dialog.SetChoice(0, 1);
        dialog.SetChoice(7, 2);
        SaveShot(dialog, QStringLiteral("audio-effects"));
        dialog.Cancel();
    }
    EXPECT_EQ(song.effectStates[0], 0);
    EXPECT_EQ(song.effectStates[9], 0);
    EXPECT_EQ(song.effectStates[3], 2);
    {
        TAudioEffectForm dialog(m_session, m_form.get());
        dialog.SetChoice(8, 1);
        dialog.AllOff();
        for (QComboBox* cb : dialog.m_cbEffects)
            EXPECT_EQ(cb->currentIndex(), 0);
        dialog.SetChoice(2, 3);   // balance
        dialog.Ok();
    }
    EXPECT_EQ(song.effectStates[3], 0);
    EXPECT_EQ(song.effectStates[4], 3);
    EXPECT_EQ(song.effectStates[10], 0);
}

} // namespace
} // namespace melodrift
