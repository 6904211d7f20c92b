#include "TInfoForm.h"

#include <QKeyEvent>
#include <QLabel>

#include "AppSession.h"
#include "SkinArt.h"
#include "TPNGButton.h"

namespace melodrift {

TInfoForm::TInfoForm(const QString& title, const QString& text, QWidget* parent)
    : TAccountDialog(title, QSize(400, 300), 10, parent)
{
    m_lblText = new QLabel(this);
    m_lblText->setFont(skin::SkinFont(12));
    m_lblText->setStyleSheet(QStringLiteral("color:#3C2B17"));
    m_lblText->setTextFormat(Qt::RichText);
    m_lblText->setWordWrap(true);
    m_lblText->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    m_lblText->setTextInteractionFlags(Qt::TextBrowserInteraction);
    m_lblText->setOpenExternalLinks(true);
    m_lblText->setGeometry(20, 34, 360, 220);
    m_lblText->setText(text);
    auto* ok = new TPNGButton(this);
    ok->SetPngImg(skin::ButtonStrip(64, 26, 4, QStringLiteral("确定")));
    ok->move((400 - 64) / 2, 262);
    connect(ok, &TPNGButton::clicked, this, &QDialog::accept);
}

void TInfoForm::keyPressEvent(QKeyEvent* event)
{
    if (event->key() == Qt::Key_Escape || event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter)
        accept();
    else
        TAccountDialog::keyPressEvent(event);
}

QString AboutText(const AppSession& session)
{
    QString text = QStringLiteral("<b>Melodrift %1</b><br>会唱就能写歌：唱出旋律，自动编配伴奏。<br><br>"
                                  "本程序使用以下开源库：<br>")
                       .arg(QString::fromStdString(session.version).toHtmlEscaped());
    const char* const libraries[][2] = {
        {"Qt 6", "LGPL-3.0"},           {"FluidSynth", "LGPL-2.1+"}, {"PortAudio", "MIT"},
        {"libsndfile", "LGPL-2.1+"},    {"FFTW", "GPL-2.0+"},       {"zlib", "zlib"},
        {"libqrencode", "LGPL-2.1+"},   {"OpenSSL (libcrypto)", "Apache-2.0"},
    };
    for (const auto& library : libraries)
        text += QStringLiteral("· %1（%2）<br>").arg(QString::fromUtf8(library[0]), QString::fromUtf8(library[1]));
    if (!session.webAddress.empty()) {
        const QString web = QString::fromStdString(session.webAddress).toHtmlEscaped();
        text += QStringLiteral("<br>网站：<a href=\"%1\">%1</a>").arg(web);
    }
    return text;
}

QString MoreSoftwareText()
{
    return QStringLiteral(
        "<b>Melodrift 还包括：</b><br><br>"
        "· <b>melodrift-cli</b>：命令行工具，可识别录音、自动编曲、导出音频或MIDI，以及列出风格。<br><br>"
        "· <b>melodrift-service</b>：在线服务的参考服务器，提供账号、风格下载、歌曲上传、公告与问答。<br><br>"
        "两者都与本程序一同构建，用法请运行各自的 --help 查看。");
}

} // namespace melodrift
