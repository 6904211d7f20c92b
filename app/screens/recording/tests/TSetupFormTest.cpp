#include <QLabel>
#include <QMouseEvent>
#include <QTest>

#include "RecordingFixture.h"
#include "TPNGButton.h"
#include "TSetupForm.h"

namespace melodrift {
namespace {

class SetupFormTest : public test::RecordingFixture {
protected:
    void SetUp() override
    {
        RecordingFixture::SetUp();
        StartForm();
        m_form->SetMessageHandler(UM_STEP_ENABLE, [this](intptr_t mask, intptr_t) {
            m_masks.push_back(static_cast<int>(mask));
            return intptr_t(1);
        });
        m_form->ShowPage(0);
        m_setup = dynamic_cast<TSetupForm*>(m_form->Page(0));
        ASSERT_NE(m_setup, nullptr);
    }

    TSetupForm* m_setup = nullptr;
    std::vector<int> m_masks;
};

TEST_F(SetupFormTest, MetreButtonsReloadTheStylesAndLimitTheSteps)
{
    TSongModel& song = m_session.song;
    ASSERT_EQ(song.metre, 0);
    ASSERT_GT(m_setup->Carousel().Count(), 0) << "the shipped styles recommend some 4/4 styles";
    SaveShot(*m_form, QStringLiteral("setup-44"));

    m_setup->ClickMetre(1);
    Settle();
    EXPECT_EQ(song.metre, 1);
    EXPECT_EQ(song.styleId, -1);
    EXPECT_TRUE(m_setup->m_btnBeats[1]->Down());
    EXPECT_FALSE(m_setup->m_btnBeats[0]->Down());
    for (const tagStyleInfo& s : m_setup->Recommended())
        EXPECT_EQ(s.metre, 1) << s.id;
    m_setup->ClickMetre(1);   // the current metre: nothing
    m_setup->ClickMetre(0);   // back to the entry metre
    Settle();
    EXPECT_EQ(m_masks, (std::vector<int>{3, 31}));
}

TEST_F(SetupFormTest, DialButtonsRingAndTapsSetTheTempo)
{
    TSongModel& song = m_session.song;
    m_setup->SetDialAngle(135);
    EXPECT_EQ(song.tempo, 200);
    EXPECT_EQ(m_setup->m_labSpeed->text(), QStringLiteral("200"));
    m_setup->StepTempo(1);    // beyond 200: ignored
    EXPECT_EQ(song.tempo, 200);
    m_setup->SetDialAngle(150);
    EXPECT_EQ(m_setup->DialAngle(), 135);

    // A press on the ring straight up from the centre is 125; inside the ring's hole nothing.
    m_setup->PressRingAt(QPoint(TSetupForm::kDialCentreX, TSetupForm::kDialCentreY - 115));
    EXPECT_EQ(song.tempo, 125);
    m_setup->PressRingAt(QPoint(TSetupForm::kDialCentreX + 50, TSetupForm::kDialCentreY));
    EXPECT_EQ(song.tempo, 125);

    m_setup->StepTempo(-1);
    EXPECT_EQ(song.tempo, 124);
    EXPECT_EQ(m_setup->DialAngle(), -2);

    // Tapping: the label follows at once; the song takes it on release.
    for (uint32_t t : {50000u, 50750u, 51500u})
        m_setup->TapPress(t);
    EXPECT_EQ(m_setup->m_labSpeed->text(), QStringLiteral("80"));
    EXPECT_EQ(song.tempo, 124);
    m_setup->TapRelease();
    EXPECT_EQ(song.tempo, 80);
    SaveShot(*m_setup, QStringLiteral("setup-tempo-80"));
}

TEST_F(SetupFormTest, ChoosingAStyleTakesItsTempoUntilAMelodyExistsAndPlaysItsDemo)
{
    TSongModel& song = m_session.song;
    const auto& styles = m_setup->Recommended();
    ASSERT_GE(styles.size(), 2u);
    m_setup->ChooseStyle(1);
    EXPECT_EQ(song.styleId, styles[1].id);
    EXPECT_EQ(song.tempo, std::clamp<int>(styles[1].tempo, 50, 200));
    EXPECT_NE(song.genreMask, 0u);
    int ticks = 0;
    while (m_setup->Carousel().running && ticks++ < 400)
        m_setup->AnimationTick();
    EXPECT_FALSE(m_setup->Carousel().running) << "the sleeve opened and the demonstration started";
    SaveShot(*m_setup, QStringLiteral("setup-style-chosen"));

    song.SetFlag(kFlagMelody, true);
    song.tempo = 77;
    m_setup->ChooseStyle(0);
    EXPECT_EQ(song.styleId, styles[0].id);
    EXPECT_EQ(song.tempo, 77);
}

TEST_F(SetupFormTest, LeavingWithANewTempoAsksAndCancelRestoresTheEntrySettings)
{
    TSongModel& song = m_session.song;
    song.AddBar();
    song.AddBar();
    m_setup->EnterStep();   // entry settings now
    const int tempo = song.tempo, metre = song.metre;
    m_setup->StepTempo(5);
    m_setup->ClickMetre(2);
    m_replies = {kResultCancel};
    m_setup->LeaveStep(reinterpret_cast<intptr_t>(m_form.get()));
    ASSERT_FALSE(m_shown.empty());
    EXPECT_EQ(m_shown.back().text, QStringLiteral("重设速度和节拍，将创建新的工程。\n是否保存当前工程?"));
    EXPECT_EQ(m_shown.back().flags, 35);
    EXPECT_EQ(song.tempo, tempo);
    EXPECT_EQ(song.metre, metre);
    EXPECT_EQ(song.bars.size(), 2u);

    // No: a new project with the new settings.
    m_setup->EnterStep();
    m_setup->StepTempo(-3);
    m_replies = {kResultNo};
    m_setup->LeaveStep(reinterpret_cast<intptr_t>(m_form.get()));
    EXPECT_EQ(m_shown.back().text, QStringLiteral("重设速度，将创建新的工程。\n是否保存当前工程?"));
    EXPECT_TRUE(song.bars.empty());
    EXPECT_EQ(song.tempo, tempo - 3);
}

TEST_F(SetupFormTest, LeavingWithoutAStyleChoosesARecommendedOne)
{
    TSongModel& song = m_session.song;
    song.styleId = -1;
    m_setup->LeaveStep(0);
    ASSERT_NE(song.styleId, -1);
    bool recommended = false;
    for (const tagStyleInfo& s : m_setup->Recommended())
        recommended |= s.id == song.styleId;
    EXPECT_TRUE(recommended);
    EXPECT_FALSE(song.styleFileName.empty());
}

} // namespace
} // namespace melodrift
