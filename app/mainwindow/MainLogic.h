#pragma once

// What the main window's commands decide, without a window: pages, enabling
// rules, file names, the texts built from service results.

#include <QString>
#include <array>
#include <cstdint>
#include <string>

#include "ServiceEvents.h"

namespace melodrift {

class TSongModel;

constexpr int kPageCount = 6;
constexpr int kStepCount = 5;
constexpr int kHelpPage = 5;

// "Untitle-44-75": the name proposed when a new song is saved.
QString ProposedFileName(int metre, int tempo);

// Caption text: "Melodrift - <file name>", or " - Untitle" for a new song.
QString CaptionFor(const std::string& projectPath);

// The ask-to-save rule: a song with bars that was never saved or changed since.
bool NeedsSaveQuestion(const TSongModel& song);

struct StepEnabling {
    std::array<bool, kStepCount> steps{};
    bool menuChanges = false;       // menu items 0..4 take menuEnabled
    bool menuEnabled = false;
};
// UM_STEP_ENABLE: steps 2..4 need a melody; the menu follows bit 0 when it is
// clear or when it is set while the first step is disabled.
StepEnabling ApplyStepMask(uint32_t mask, bool hasMelody, bool firstStepEnabled);

// The page an opened project shows. needsBase: the base screen must make the
// base accompaniment before the page is shown.
struct OpenedPage {
    int page = 1;
    bool needsBase = false;
};
OpenedPage PageAfterOpen(const TSongModel& song, int currentPage);

// Step button t pressed on page current: whether the leave counts as a
// step-bar leave (flag 20), and whether anything happens at all.
bool StepClickLeavesByStepBar(int current);

// UM_GOTO_STEP's decision after the leave handler ran.
bool StepMayChange(bool leftByStepBar, int currentPage);

// Notice badge hints.
QString NoticeHintAtStart(int notices);
QString NoticeHintLoggedIn(int notices, int personal);
QString NoticeHintLoggedOff(int notices);
// The user-name hint of a logged-in user.
QString UserInfoHint(int balance, int popularity, int fans, int songs);

// Side of one QR module in a panel of panelWidth; 0 for no symbol.
int QrModuleSize(int panelWidth, int sideLength);

// Microphone dialog result to UM_RECORD_VOLUME's wParam.
int RecordVolumeParam(float recordVolume);

} // namespace melodrift
