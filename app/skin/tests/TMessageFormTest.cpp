#include <QLabel>
#include <QTest>
#include <QTimer>
#include <gtest/gtest.h>

#include "TMessageForm.h"
#include "TPNGButton.h"

using namespace melodrift;

TEST(MessageButtonLefts, CentresOneTwoAndThreeButtons)
{
    struct Case { int W, w, count; std::vector<int> want; };
    const Case cases[] = {
        {360, 96, 1, {138}},
        {361, 96, 1, {138}},            // halves round toward zero
        {360, 96, 2, {84, 186}},
        {360, 96, 3, {33, 135, 237}},
        {200, 96, 3, {-47, 55, 157}},   // narrower than the buttons: still in order
    };
    for (const Case& c : cases)
        EXPECT_EQ(MessageButtonLefts(c.W, c.w, c.count), c.want) << c.W << " " << c.count;
}

namespace {

// Shows a message, presses key while it is up, and returns the result; a key
// that must not close the dialog is followed by a close with 99.
int AnswerWithKey(TMessageForm& form, int flags, Qt::Key key)
{
    QTimer::singleShot(0, &form, [&form, key] {
        QTest::keyClick(&form, key);
        QTimer::singleShot(0, &form, [&form] {
            if (form.isVisible())
                form.done(99);
        });
    });
    return form.ShowMessageBox(QStringLiteral("测试"), flags);
}

} // namespace

TEST(TMessageForm, KeysAnswerOnlyWithButtonsThatAreShown)
{
    struct Case { int flags; Qt::Key key; int want; };
    const Case cases[] = {
        {0, Qt::Key_Return, kResultOk},
        {0, Qt::Key_Escape, 99},
        {0, Qt::Key_Y, 99},
        {16, Qt::Key_Space, kResultOk},
        {33, Qt::Key_Escape, kResultCancel},
        {33, Qt::Key_N, 99},
        {35, Qt::Key_Return, kResultYes},
        {35, Qt::Key_N, kResultNo},
        {35, Qt::Key_Escape, kResultCancel},
        {36, Qt::Key_Y, kResultYes},
        {36, Qt::Key_Escape, 99},
    };
    TMessageForm form;
    for (const Case& c : cases)
        EXPECT_EQ(AnswerWithKey(form, c.flags, c.key), c.want) << c.flags << " " << c.key;
}

TEST(TMessageForm, ButtonClicksGiveTheirResults)
{
    TMessageForm form;
    QTimer::singleShot(0, &form, [&form] { QTest::mouseClick(form.m_btnNo, Qt::LeftButton, {}, QPoint(5, 5)); });
    EXPECT_EQ(form.ShowMessageBox(QStringLiteral("是否保存当前工程？"), 35), kResultNo);
    QTimer::singleShot(0, &form, [&form] { QTest::mouseClick(form.m_btnCancel, Qt::LeftButton, {}, QPoint(5, 5)); });
    EXPECT_EQ(form.ShowMessageBox(QStringLiteral("x"), 33), kResultCancel);
}

TEST(TMessageForm, FlagsChooseIconButtonsAndCheckBox)
{
    TMessageForm form;
    QTimer::singleShot(0, &form, [&form] {
        EXPECT_TRUE(form.m_btnOk->isVisible());
        EXPECT_FALSE(form.m_btnYes->isVisible() || form.m_btnNo->isVisible() || form.m_btnCancel->isVisible());
        EXPECT_FALSE(form.m_iconError->isVisible() || form.m_iconQuestion->isVisible() ||
                     form.m_iconInformation->isVisible());
        EXPECT_FALSE(form.m_pbCheck->isVisible());
        EXPECT_EQ(form.m_btnOk->x() + form.m_btnOk->width() / 2, form.width() / 2);
        EXPECT_EQ(form.m_lblMessage->text(), QStringLiteral("工程文件保存成功。"));
        form.done(1);
    });
    form.ShowMessageBox(QStringLiteral("工程文件保存成功。"), 0);

    QTimer::singleShot(0, &form, [&form] {
        EXPECT_TRUE(form.m_iconQuestion->isVisible());
        EXPECT_FALSE(form.m_iconError->isVisible());
        EXPECT_TRUE(form.m_pbCheck->isVisible());
        EXPECT_TRUE(form.CheckState());
        // Written for a person to look at.
        EXPECT_TRUE(form.grab().save(QStringLiteral("melodrift-messagebox.png")));
        QTest::mouseClick(form.m_lblCheckMessage, Qt::LeftButton);
        form.done(6);
    });
    form.ShowMessageBox(QStringLiteral("将恢复上次未保存的工程。\n是否恢复工程?"), 0x100 | 36);
    EXPECT_FALSE(form.CheckState());

    // Another non-zero check value keeps the state; 0x200 clears it.
    form.ToggleCheck();
    QTimer::singleShot(0, &form, [&form] { form.done(1); });
    form.ShowMessageBox(QStringLiteral("x"), 0x400);
    EXPECT_TRUE(form.CheckState());
    QTimer::singleShot(0, &form, [&form] { form.done(1); });
    form.ShowMessageBox(QStringLiteral("x"), 0x200);
    EXPECT_FALSE(form.CheckState());
}

TEST(TMessageForm, SecondMessageWhileOneIsUpIsRefused)
{
    TMessageForm form;
    int inner = 0;
    QTimer::singleShot(0, &form, [&] {
        inner = form.ShowMessageBox(QStringLiteral("第二条"), 16);
        EXPECT_EQ(form.m_lblMessage->text(), QStringLiteral("第一条"));
        form.done(1);
    });
    EXPECT_EQ(form.ShowMessageBox(QStringLiteral("第一条"), 64), kResultOk);
    EXPECT_EQ(inner, kResultRefused);
}

TEST(TMessageForm, YesAndNoCaptionsCanBeReplacedAndRestored)
{
    TMessageForm form;
    const QImage plain = form.m_btnYes->PngImg().toImage();
    form.SetYesNoCaptions(QStringLiteral("恢复工程"), QStringLiteral("放弃恢复工程"));
    EXPECT_NE(form.m_btnYes->PngImg().toImage(), plain);
    form.SetYesNoCaptions({}, {});
    EXPECT_EQ(form.m_btnYes->PngImg().toImage(), plain);
}
