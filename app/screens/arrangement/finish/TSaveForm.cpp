#include "TSaveForm.h"

#include <QDir>
#include <QFileDialog>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>

#include "FinishArt.h"
#include "SkinArt.h"
#include "TPNGButton.h"

namespace melodrift {

namespace {

TSaveForm::Script& SaveScript()
{
    static TSaveForm::Script script;
    return script;
}

TSaveForm::ChooseFile& ChooseFileHook()
{
    static TSaveForm::ChooseFile choose;
    return choose;
}

QLabel* InkLabel(const QString& text, const QRect& at, QWidget* parent, int pixels)
{
    auto* label = new QLabel(text, parent);
    label->setFont(skin::SkinFont(pixels));
    label->setGeometry(at);
    QPalette pal = label->palette();
    pal.setColor(QPalette::WindowText, skin::kInk);
    label->setPalette(pal);
    return label;
}

} // namespace

void TSaveForm::SetScript(Script script) { SaveScript() = std::move(script); }
void TSaveForm::SetChooseFile(ChooseFile choose) { ChooseFileHook() = std::move(choose); }

QString TSaveForm::Filter()
{
    return QStringLiteral("mp3文件 (*.mp3 *.MP3);;Wave文件 (*.wav *.WAV);;MIDI文件 (*.mid *.MID)");
}

TSaveForm::TSaveForm(int fileType, int trackBits, const QString& fileName, QWidget* parent)
    : QDialog(parent), m_state(fileType, trackBits, fileName)
{
    setWindowFlags(Qt::Dialog | Qt::FramelessWindowHint);
    setFixedSize(kWidth, kHeight);
    finishart::RoundCorners(this, kWidth, kHeight, 8);

    m_imgBk = new QLabel(this);
    m_imgBk->setGeometry(0, 0, kWidth, kHeight);
    m_imgBk->setPixmap(skin::DialogBackground(kWidth, kHeight));
    m_lblCaption = InkLabel(QStringLiteral("导出歌曲"), QRect(105, 3, 90, 18), this, 12);
    m_lblCaption->setAlignment(Qt::AlignCenter);

    InkLabel(QStringLiteral("文件:"), QRect(22, 38, 40, 17), this, 12);
    m_editFileName = new QLineEdit(fileName, this);
    m_editFileName->setGeometry(64, 38, 192, 17);
    m_editFileName->setFrame(false);
    m_editFileName->setFont(skin::SkinFont(12));
    m_editFileName->setPlaceholderText(QString(21, QLatin1Char(' ')) + QStringLiteral("请选择目标文件 -> "));
    m_editFileName->setStyleSheet(QStringLiteral("QLineEdit{background:#FFFBF4;color:#3C2B17}"));
    connect(m_editFileName, &QLineEdit::textChanged, this, [this](const QString& text) {
        m_state.SetName(text);
        Refresh();
    });

    m_btnBrowse = new TPNGButton(this);
    m_btnBrowse->SetPngImg(skin::ButtonStrip(25, 23, 4, QStringLiteral("…")));
    m_btnBrowse->move(258, 35);
    m_btnBrowse->SetHint(QStringLiteral("保存为"));
    connect(m_btnBrowse, &TPNGButton::clicked, this, &TSaveForm::BrowseClick);

    m_imgComposeCheck = new QLabel(this);
    m_imgComposeCheck->setGeometry(72, 72, 16, 16);
    m_imgComposeCheck->installEventFilter(this);
    InkLabel(QStringLiteral("伴奏"), QRect(92, 71, 60, 18), this, 12);
    m_imgSongCheck = new QLabel(this);
    m_imgSongCheck->setGeometry(183, 72, 16, 16);
    m_imgSongCheck->installEventFilter(this);
    InkLabel(QStringLiteral("演唱"), QRect(203, 71, 60, 18), this, 12);

    m_btnOk = new TPNGButton(this);
    m_btnOk->SetPngImg(skin::ButtonStrip(52, 27, 4, QStringLiteral("确定")));
    m_btnOk->move(90, 98);
    m_btnOk->SetEnabled(false);
    connect(m_btnOk, &TPNGButton::clicked, this, [this] {
        if (OkEnabled())
            done(1);
    });
    m_btnCancel = new TPNGButton(this);
    m_btnCancel->SetPngImg(skin::ButtonStrip(52, 27, 4, QStringLiteral("取消")));
    m_btnCancel->move(154, 98);
    connect(m_btnCancel, &TPNGButton::clicked, this, [this] { done(2); });

    m_state.Activate();
    Refresh();
}

int TSaveForm::ShowModal()
{
    m_state.Activate();
    Refresh();
    if (SaveScript())
        return SaveScript()(*this);
    return exec();
}

QString TSaveForm::FileName() const { return m_editFileName->text(); }

void TSaveForm::SetFileName(const QString& name) { m_editFileName->setText(name); }

bool TSaveForm::OkEnabled() const { return m_state.OkEnabled(); }

void TSaveForm::ComposeCheckClick()
{
    if (m_state.ToggleCompose())
        Refresh();
}

void TSaveForm::SongCheckClick()
{
    if (m_state.ToggleSong())
        Refresh();
}

void TSaveForm::BrowseClick()
{
    const FileDialogStart start = m_state.BrowseStart();
    QString chosen;
    if (ChooseFileHook()) {
        chosen = ChooseFileHook()(start, Filter());
    } else {
        QFileDialog dialog(this, QStringLiteral("保存为"), start.folder, Filter());
        dialog.setAcceptMode(QFileDialog::AcceptSave);
        dialog.setDefaultSuffix(start.defaultSuffix);
        dialog.selectNameFilter(Filter().split(QStringLiteral(";;")).value(start.filterIndex - 1));
        dialog.selectFile(start.fileName);
        if (dialog.exec() == QDialog::Accepted && !dialog.selectedFiles().isEmpty())
            chosen = dialog.selectedFiles().constFirst();
    }
    if (!chosen.isEmpty())
        SetFileName(QDir::toNativeSeparators(chosen));
}

void TSaveForm::Refresh()
{
    static const QPixmap checked = finishart::Picture(QStringLiteral("BmpChecked"));
    static const QPixmap unchecked = finishart::Picture(QStringLiteral("BmpUnchecked"));
    m_imgComposeCheck->setPixmap(m_state.Compose() ? checked : unchecked);
    m_imgSongCheck->setPixmap(m_state.Song() ? checked : unchecked);
    m_btnOk->SetEnabled(m_state.OkEnabled());
}

bool TSaveForm::eventFilter(QObject* watched, QEvent* e)
{
    if (e->type() == QEvent::MouseButtonPress) {
        if (watched == m_imgComposeCheck) {
            ComposeCheckClick();
            return true;
        }
        if (watched == m_imgSongCheck) {
            SongCheckClick();
            return true;
        }
    }
    return QDialog::eventFilter(watched, e);
}

void TSaveForm::keyPressEvent(QKeyEvent* e)
{
    if (e->key() == Qt::Key_Return || e->key() == Qt::Key_Enter) {
        if (OkEnabled())
            done(1);
        return;
    }
    if (e->key() == Qt::Key_Escape) {
        done(2);
        return;
    }
    QDialog::keyPressEvent(e);
}

void TSaveForm::showEvent(QShowEvent* e)
{
    if (QWidget* owner = parentWidget() ? parentWidget()->window() : nullptr)
        move(owner->geometry().center() - QPoint(kWidth / 2, kHeight / 2));
    QDialog::showEvent(e);
}

void TSaveForm::mousePressEvent(QMouseEvent* e)
{
    m_dragging = e->button() == Qt::LeftButton && e->position().y() < 24;
    m_dragFrom = e->globalPosition().toPoint() - frameGeometry().topLeft();
    QDialog::mousePressEvent(e);
}

void TSaveForm::mouseMoveEvent(QMouseEvent* e)
{
    if (m_dragging && (e->buttons() & Qt::LeftButton))
        move(e->globalPosition().toPoint() - m_dragFrom);
    QDialog::mouseMoveEvent(e);
}

} // namespace melodrift
