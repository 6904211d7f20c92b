#pragma once

// Choices of the microphone set-up and the effect dialog without pixels:
// which device and input start selected, the test's failure texts and the
// effect slots with their choices.

#include <QString>
#include <QStringList>
#include <vector>

#include "Sonobox.h"

namespace melodrift {

// The stored device, else the first default one; -1 for none.
int ChooseRecordDevice(const std::vector<MM_RecordDeviceInfo>& devices, int storedId);
// The stored input when valid, else the first input taken as default, else 0; -1 without inputs.
int ChooseRecordInput(const std::vector<MM_RecordInputInfo>& inputs, int stored);
QString RecordTestFailureMessage(int code);
// The recording volume the record and complete screens are told after OK.
int RecordVolumePercent(float volume);

struct EffectSlot {
    int slot;           // index into the song's effect states
    int effectId;       // for MM_SetFxPreset
    const char* label;
    QStringList choices;
};
// The slots the dialog shows, in order (slots 1 and 2 have no control).
const std::vector<EffectSlot>& EffectSlots();

} // namespace melodrift
