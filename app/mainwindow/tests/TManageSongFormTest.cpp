#include <QImage>
#include <QLabel>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <cstring>
#include <gtest/gtest.h>

#include "EngineTables.h"
#include "FakeEngine.h"
#include "TManageSongForm.h"

using namespace melodrift;

namespace {

int32_t SongPage(int32_t action, char* buffer)
{
    if (action != 6)
        return 1;
    std::strcpy(buffer, "http://songs.example.test/play?id=");
    return 0;
}

int32_t NoSymbol(const char*, uint8_t*, int32_t) { return 0; }
int32_t OversizedSymbol(const char*, uint8_t*, int32_t) { return 101; }   // 101 * 101 > 10000

} // namespace

TEST(TManageSongForm, QrPanelOfTheSongPageDecodesBackToItsAddress)
{
    const QString zbarimg = QStandardPaths::findExecutable(QStringLiteral("zbarimg"));
    if (zbarimg.isEmpty())
        GTEST_SKIP() << "zbarimg (zbar-tools) not installed";
    test::InstallFakeEngine();
    Engines().cs.CS_GetWebPageURL = SongPage;
    Engines().qr.QR_Encode = QR_Encode;
    TManageSongForm form(4711);
    ASSERT_TRUE(form.HasQrCode());
    EXPECT_EQ(form.QrPanel()->geometry(), QRect(192, 26, 100, 100));
    EXPECT_EQ(form.m_lblMessage->width(), 150);
    EXPECT_EQ(form.m_lblLink->x(), 72);

    // A quiet zone around the panel and a larger scale help the reader.
    const QImage panel = form.QrPanel()->grab().toImage();
    EXPECT_EQ(panel.pixelColor(0, 0), QColor(0x6B, 0x73, 0x7E));
    EXPECT_EQ(panel.pixelColor(50, 0), QColor(0x91, 0x9C, 0xAA));
    QImage page(180, 180, QImage::Format_RGB32);
    page.fill(Qt::white);
    for (int y = 0; y < 100; ++y)
        for (int x = 0; x < 100; ++x)
            page.setPixel(40 + x, 40 + y, panel.pixel(x, y));
    QTemporaryDir dir;
    const QString file = dir.filePath(QStringLiteral("qr.png"));
    ASSERT_TRUE(page.scaled(540, 540).save(file));
    QProcess reader;
    reader.start(zbarimg, {QStringLiteral("--raw"), QStringLiteral("-q"), file});
    ASSERT_TRUE(reader.waitForFinished(10000));
    EXPECT_EQ(QString::fromUtf8(reader.readAllStandardOutput()).trimmed(),
              QStringLiteral("http://songs.example.test/play?id=4711"));
}

TEST(TManageSongForm, FormsWithoutASymbol)
{
    test::InstallFakeEngine();
    Engines().cs.CS_GetWebPageURL = SongPage;
    struct Case { int32_t songId; decltype(Engines().qr.QR_Encode) encoder; const char* text; };
    const Case cases[] = {
        {12, nullptr, "歌曲已成功上传\n\n请进入空间修改和分享"},          // no encoder library
        {0, QR_Encode, "歌曲已成功上传\n\n请进入空间修改和分享"},         // no song id
        {12, NoSymbol, "歌曲已成功上传\n\n请进入空间修改和分享"},
        {12, OversizedSymbol, "歌曲已成功上传\n\n请进入空间修改和分享"},
        {-1, QR_Encode, "您上传的未发布歌曲数量已达上限,\n\n请进入网站处理。"},
    };
    for (const Case& c : cases) {
        Engines().qr.QR_Encode = c.encoder;
        TManageSongForm form(c.songId);
        EXPECT_FALSE(form.HasQrCode()) << c.songId;
        EXPECT_EQ(form.m_lblMessage->text(), QString::fromUtf8(c.text)) << c.songId;
        EXPECT_EQ(form.size(), QSize(300, 131));
    }
}
