#include "TUploadForm.h"

#include <QCheckBox>
#include <QComboBox>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QRadioButton>

#include "LimitedEdits.h"
#include "SkinArt.h"
#include "SongModel.h"
#include "TMessageForm.h"
#include "TPNGButton.h"

namespace melodrift {

namespace {

QLabel* Label(const QString& text, int x, int y, int width, QWidget* parent)
{
    auto* label = new QLabel(text, parent);
    label->setFont(skin::SkinFont(13));
    label->setStyleSheet(QStringLiteral("color:#3C2B17"));
    label->setGeometry(x, y, width, 24);
    return label;
}

} // namespace

QLineEdit* TUploadForm::AddEdit(const QString& label, int x, int y, int width, int maxBytes)
{
    // Left column: label at 20, edit at 82; right column: label at 240, edit at 292.
    const int editX = x < 200 ? 82 : 292;
    Label(label, x, y, editX - x - 2, this);
    auto* edit = new QLineEdit(this);
    edit->setGeometry(editX, y, width, 24);
    edit->setFont(skin::SkinFont(13));
    edit->setMaxLength(maxBytes);
    LimitLineEdit(edit, maxBytes);
    return edit;
}

TUploadForm::TUploadForm(TSongModel& song, const StyleTypesReader& styleTypes, QWidget* parent)
    : TAccountDialog(QStringLiteral("填写歌曲信息"), QSize(kWidth, kHeight), 16, parent), m_song(song)
{
    m_editSongName = AddEdit(QStringLiteral("歌曲名称"), 20, 36, 366, kFieldSongName.maxBytes);
    connect(m_editSongName, &QLineEdit::textChanged, this, &TUploadForm::UpdateOk);

    m_radioOriginal = new QRadioButton(QStringLiteral("原创"), this);
    m_radioAmend = new QRadioButton(QStringLiteral("改编"), this);
    for (QRadioButton* radio : {m_radioOriginal, m_radioAmend}) {
        radio->setFont(skin::SkinFont(13));
        radio->setStyleSheet(QStringLiteral("color:#3C2B17"));
    }
    m_radioOriginal->setGeometry(82, 68, 70, 24);
    m_radioAmend->setGeometry(152, 68, 70, 24);
    m_radioOriginal->setChecked(true);
    connect(m_radioAmend, &QRadioButton::toggled, this, &TUploadForm::SetAdaptation);
    m_editOriginal = AddEdit(QStringLiteral("原唱"), 240, 68, 156, kFieldOriginal.maxBytes);
    m_editOriginal->setEnabled(false);

    m_editSinger = AddEdit(QStringLiteral("演唱者"), 20, 100, 140, kFieldSinger.maxBytes);
    Label(QStringLiteral("性别"), 240, 100, 50, this);
    m_cbSex = new QComboBox(this);
    m_cbSex->setFont(skin::SkinFont(13));
    m_cbSex->addItems({QStringLiteral("男"), QStringLiteral("女"), QStringLiteral("组合"), QStringLiteral("其他")});
    m_cbSex->setGeometry(292, 100, 96, 24);

    m_editLyricist = AddEdit(QStringLiteral("作词"), 20, 132, 140, kFieldLyricist.maxBytes);
    m_editComposer = AddEdit(QStringLiteral("作曲"), 240, 132, 156, kFieldComposer.maxBytes);
    m_editArranger = AddEdit(QStringLiteral("编曲"), 20, 164, 140, kFieldArranger.maxBytes);

    QLabel* typeLabel = Label(QStringLiteral("歌曲风格"), 20, 198, 60, this);
    typeLabel->setToolTip(QStringLiteral("歌曲风格。最多可选4种"));
    for (int i = 0; i < kMusicTypeCount; ++i) {
        auto* box = new QCheckBox(QString::fromUtf8(kMusicTypes[static_cast<size_t>(i)].caption), this);
        box->setFont(skin::SkinFont(13));
        box->setStyleSheet(QStringLiteral("color:#3C2B17"));
        box->setGeometry(82 + (i % 6) * 62, 198 + (i / 6) * 26, 62, 24);
        // The choice decides; the box only shows it.
        connect(box, &QCheckBox::clicked, this, [this, i] { ClickType(i); });
        m_checkTypes[static_cast<size_t>(i)] = box;
    }

    Label(QStringLiteral("歌曲描述"), 20, 254, 60, this);
    m_memoDescription = new QPlainTextEdit(this);
    m_memoDescription->setGeometry(82, 254, 366, 96);
    m_memoDescription->setFont(skin::SkinFont(13));
    m_memoDescription->setPlaceholderText(QStringLiteral("请输入歌曲的创作思路和感想"));
    m_memoDescription->setToolTip(QStringLiteral("请输入歌曲的创作思路和感想"));
    connect(m_memoDescription, &QPlainTextEdit::textChanged, this,
            [this] { KeepWithinBytes(m_memoDescription, kFieldDescription.maxBytes); });

    m_checkSubmit = new QCheckBox(QStringLiteral("发布到社区"), this);
    m_checkSubmit->setFont(skin::SkinFont(13));
    m_checkSubmit->setStyleSheet(QStringLiteral("color:#3C2B17"));
    m_checkSubmit->setToolTip(QStringLiteral("上传的歌曲须经审核才能发布"));
    m_checkSubmit->setGeometry(82, 360, 140, 24);
    m_checkSubmit->setChecked(true);

    m_btnOk = new TPNGButton(this);
    m_btnOk->SetPngImg(skin::ButtonStrip(64, 26, 4, QStringLiteral("确定")));
    m_btnOk->move(kWidth / 2 - 74, 392);
    connect(m_btnOk, &TPNGButton::clicked, this, [this] {
        if (block && Confirm(block))
            accept();
    });
    m_btnCancel = new TPNGButton(this);
    m_btnCancel->SetPngImg(skin::ButtonStrip(64, 26, 4, QStringLiteral("取消")));
    m_btnCancel->move(kWidth / 2 + 10, 392);
    connect(m_btnCancel, &TPNGButton::clicked, this, &QDialog::reject);

    SongDescription kept;
    if (ReadDescription(m_song.uploadInfo.data(), kept)) {
        Fill(kept);
    } else {
        m_types.CheckCodes(ProposedMusicTypes(m_song, styleTypes));
        ShowTypes();
    }
    UpdateOk();
}

void TUploadForm::Fill(const SongDescription& e)
{
    m_editSongName->setText(e.songName);
    m_editSinger->setText(e.singer);
    m_editLyricist->setText(e.lyricist);
    m_editComposer->setText(e.composer);
    m_editArranger->setText(e.arranger);
    m_memoDescription->setPlainText(e.description);
    m_checkSubmit->setChecked(e.publish);
    m_cbSex->setCurrentIndex(e.sexIndex);
    (e.adaptation ? m_radioAmend : m_radioOriginal)->setChecked(true);
    SetAdaptation(e.adaptation);
    m_editOriginal->setText(e.original);
    m_types.Clear();
    m_types.CheckCodes(e.types);
    ShowTypes();
}

void TUploadForm::ShowTypes()
{
    for (int i = 0; i < kMusicTypeCount; ++i)
        m_checkTypes[static_cast<size_t>(i)]->setChecked(m_types.Checked(i));
}

void TUploadForm::ClickType(int box)
{
    m_types.Toggle(box);
    ShowTypes();
}

void TUploadForm::SetAdaptation(bool adaptation)
{
    if (!adaptation)
        m_editOriginal->clear();
    m_editOriginal->setEnabled(adaptation);
}

void TUploadForm::UpdateOk() { m_btnOk->SetEnabled(!m_editSongName->text().trimmed().isEmpty()); }

SongDescription TUploadForm::Entries() const
{
    SongDescription e;
    e.songName = m_editSongName->text();
    e.singer = m_editSinger->text();
    e.original = m_editOriginal->text();
    e.lyricist = m_editLyricist->text();
    e.composer = m_editComposer->text();
    e.arranger = m_editArranger->text();
    e.description = m_memoDescription->toPlainText();
    e.adaptation = m_radioAmend->isChecked();
    e.publish = m_checkSubmit->isChecked();
    e.sexIndex = m_cbSex->currentIndex();
    e.types = m_types.Codes();
    return e;
}

bool TUploadForm::Confirm(uint8_t* out)
{
    if (m_editSongName->text().trimmed().isEmpty())
        return false;
    const QString refused = WriteDescription(Entries(), m_song.tempo, m_song.metre, out);
    if (!refused.isEmpty()) {
        ShowMessageBox(refused, 16);
        return false;
    }
    // The next upload of this song starts from these entries.
    std::copy(out, out + kDescriptionBlockSize, m_song.uploadInfo.begin());
    return true;
}

void TUploadForm::keyPressEvent(QKeyEvent* event)
{
    if (event->key() == Qt::Key_Escape)
        reject();
    else if (event->key() != Qt::Key_Return && event->key() != Qt::Key_Enter)
        TAccountDialog::keyPressEvent(event);
}

} // namespace melodrift
