#include <QDialog>
#include <QSignalSpy>
#include <QTest>
#include <QTimer>
#include <gtest/gtest.h>

#include "SkinArt.h"
#include "TPNGButton.h"

using melodrift::TPNGButton;

namespace {

QPixmap Strip(int w, int h) { return melodrift::skin::ButtonStrip(w, h, 1, QStringLiteral("x")); }

std::unique_ptr<TPNGButton> MakeButton(int states, int frameWidth = 40)
{
    auto button = std::make_unique<TPNGButton>();
    button->SetImgStates(states);
    button->SetPngImg(Strip(frameWidth * states, 20));
    button->show();
    return button;
}

} // namespace

TEST(TPNGButton, SizeComesFromTheStripAndTheFrameCount)
{
    struct Case { int states, stripW, stripH, wantStates, wantW, wantH; };
    const Case cases[] = {
        {4, 200, 30, 4, 50, 30},
        {2, 200, 30, 2, 100, 30},
        {1, 200, 30, 2, 100, 30},   // clamped up
        {9, 200, 30, 4, 50, 30},    // clamped down
        {3, 100, 24, 3, 33, 24},    // integer division
    };
    for (const Case& c : cases) {
        TPNGButton button;
        EXPECT_EQ(button.size(), QSize(75, 25));
        button.SetImgStates(c.states);
        button.SetPngImg(Strip(c.stripW, c.stripH));
        EXPECT_EQ(button.ImgStates(), c.wantStates) << c.states;
        EXPECT_EQ(button.size(), QSize(c.wantW, c.wantH)) << c.states;
        button.resize(300, 300);
        EXPECT_EQ(button.size(), QSize(c.wantW, c.wantH)) << "size is fixed";
    }
}

TEST(TPNGButton, DownAndEnabledDependOnTheFramesAvailable)
{
    auto two = MakeButton(2);
    two->SetDown(true);
    EXPECT_FALSE(two->Down());
    EXPECT_EQ(two->PaintedFrame(), 0);

    auto three = MakeButton(3);
    three->SetEnabled(false);
    EXPECT_TRUE(three->Enabled());
    three->SetDown(true);
    EXPECT_EQ(three->PaintedFrame(), 2);

    auto four = MakeButton(4);
    four->SetEnabled(false);
    EXPECT_FALSE(four->Enabled());
    EXPECT_EQ(four->EtatBtn(), 3);
    QSignalSpy clicks(four.get(), &TPNGButton::clicked);
    QTest::mouseClick(four.get(), Qt::LeftButton, {}, QPoint(5, 5));
    EXPECT_EQ(clicks.count(), 0);
    four->SetEnabled(true);
    EXPECT_EQ(four->EtatBtn(), 0);
    QTest::mouseClick(four.get(), Qt::LeftButton, {}, QPoint(5, 5));
    EXPECT_EQ(clicks.count(), 1);
}

TEST(TPNGButton, ReleaseInsideHoversAndClicksOutsideRestsWithoutClick)
{
    auto button = MakeButton(4);
    QSignalSpy clicks(button.get(), &TPNGButton::clicked);
    QTest::mousePress(button.get(), Qt::LeftButton, {}, QPoint(3, 3));
    EXPECT_EQ(button->EtatBtn(), 2);
    QTest::mouseRelease(button.get(), Qt::LeftButton, {}, QPoint(39, 19));
    EXPECT_EQ(button->EtatBtn(), 1);
    EXPECT_EQ(clicks.count(), 1);

    QTest::mousePress(button.get(), Qt::LeftButton, {}, QPoint(3, 3));
    QTest::mouseRelease(button.get(), Qt::LeftButton, {}, QPoint(40, 5)); // x == width is outside
    EXPECT_EQ(button->EtatBtn(), 0);
    EXPECT_EQ(clicks.count(), 1);

    auto two = MakeButton(2);
    QTest::mousePress(two.get(), Qt::LeftButton, {}, QPoint(3, 3));
    EXPECT_NE(two->PaintedFrame(), 2);
}

TEST(TPNGButton, StickyDownSurvivesEnterAndLeave)
{
    auto button = MakeButton(4);
    button->SetDown(true);
    QEnterEvent enter(QPointF(2, 2), QPointF(2, 2), QPointF(2, 2));
    QApplication::sendEvent(button.get(), &enter);
    EXPECT_EQ(button->EtatBtn(), 1);
    EXPECT_EQ(button->PaintedFrame(), 2);
    QEvent leave(QEvent::Leave);
    QApplication::sendEvent(button.get(), &leave);
    EXPECT_EQ(button->PaintedFrame(), 2);
    button->SetDown(false);
    EXPECT_EQ(button->PaintedFrame(), 0);
}

TEST(TPNGButton, ModalResultEndsItsDialog)
{
    QDialog dialog;
    auto* button = new TPNGButton(&dialog);
    button->SetPngImg(Strip(160, 20));
    button->SetModalResult(7);
    QTimer::singleShot(0, [&] { QTest::mouseClick(button, Qt::LeftButton, {}, QPoint(4, 4)); });
    EXPECT_EQ(dialog.exec(), 7);
}
