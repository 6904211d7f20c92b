#include "TDeviceDialogs.h"

#include <QCheckBox>
#include <QComboBox>
#include <QKeyEvent>
#include <QLabel>
#include <QPainter>
#include <QPainterPath>
#include <QRegion>
#include <QSignalBlocker>
#include <QSlider>

#include "AppSession.h"
#include "DeviceLogic.h"
#include "EngineTables.h"
#include "Pipeline.h"
#include "RecordLogic.h"
#include "RecordWidgets.h"
#include "SkinArt.h"
#include "TMainForm.h"
#include "TMessageForm.h"
#include "TPNGButton.h"
#include "TScreenPage.h"

namespace melodrift {

namespace {

constexpr int kMaxListed = 20;
constexpr int kTitleHeight = 24;

QLabel* Label(QWidget* parent, const QString& text, QRect at)
{
    auto* l = new QLabel(text, parent);
    l->setFont(skin::SkinFont(13));
    l->setStyleSheet(QStringLiteral("color:#3C2B17;"));
    l->setGeometry(at);
    return l;
}

QString SkinControls()
{
    return QStringLiteral(
        "QComboBox { font-size: 13px; color: #3C2B17; background: #FFF8EC; border: 1px solid #A47346; padding: 2px 6px; }"
        "QComboBox QAbstractItemView { background: #FFF8EC; color: #3C2B17; selection-background-color: #E8B77A; }"
        "QCheckBox { font-size: 13px; color: #3C2B17; }"
        "QSlider::groove:horizontal { height: 4px; background: #D9A86C; }"
        "QSlider::handle:horizontal { width: 12px; margin: -5px 0; border-radius: 6px; background: #E8B77A;"
        "  border: 1px solid #8A5A2B; }");
}

} // namespace

// ---- frame ----------------------------------------------------------------

TSkinDialog::TSkinDialog(const QString& caption, int width, int height, int dragRight, QWidget* parent)
    : QDialog(parent, Qt::FramelessWindowHint | Qt::Dialog), m_caption(caption), m_dragRight(dragRight)
{
    setWindowTitle(caption);
    setFixedSize(width, height);
    setStyleSheet(SkinControls());
}

void TSkinDialog::resizeEvent(QResizeEvent* event)
{
    QDialog::resizeEvent(event);
    QPainterPath path;
    path.addRoundedRect(QRectF(rect()), 16, 16);
    setMask(QRegion(path.toFillPolygon().toPolygon()));
}

void TSkinDialog::paintEvent(QPaintEvent*)
{
    QPainter p(this);
    p.drawPixmap(0, 0, skin::DialogBackground(width(), height()));
    p.setPen(skin::kInk);
    p.setFont(skin::SkinFont(14, true));
    p.drawText(QRect(16, 0, width() - 32, kTitleHeight + 4), Qt::AlignVCenter | Qt::AlignLeft, m_caption);
}

void TSkinDialog::mousePressEvent(QMouseEvent* event)
{
    const QPoint at = event->position().toPoint();
    if (event->button() == Qt::LeftButton && at.y() < kTitleHeight && at.x() >= 35 && at.x() <= m_dragRight) {
        m_dragging = true;
        m_dragFrom = event->globalPosition().toPoint() - frameGeometry().topLeft();
    }
}

void TSkinDialog::mouseMoveEvent(QMouseEvent* event)
{
    if (m_dragging && (event->buttons() & Qt::LeftButton))
        move(event->globalPosition().toPoint() - m_dragFrom);
    else
        m_dragging = false;
}

TPNGButton* TSkinDialog::MakeButton(const QString& caption, QRect at)
{
    auto* b = new TPNGButton(this);
    b->SetPngImg(skin::ButtonStrip(at.width(), at.height(), 4, caption));
    b->setGeometry(at);
    return b;
}

// ---- microphone set-up ----------------------------------------------------

TMicSetForm::TMicSetForm(AppSession& session, QWidget* parent)
    : TSkinDialog(QStringLiteral("声音输入设置"), 340, 300, 275, parent), m_session(session)
{
    RegisterMessageTarget(this, this);
    Label(this, QStringLiteral("输入设备:"), QRect(20, 40, 80, 24));
    m_cbDevice = new QComboBox(this);
    m_cbDevice->setGeometry(100, 40, 220, 26);
    Label(this, QStringLiteral("输入端口:"), QRect(20, 76, 80, 24));
    m_cbInput = new QComboBox(this);
    m_cbInput->setGeometry(100, 76, 220, 26);
    Label(this, QStringLiteral("音量:"), QRect(20, 114, 80, 24));
    m_tbVolume = new QSlider(Qt::Horizontal, this);
    m_tbVolume->setRange(0, 100);
    m_tbVolume->setGeometry(100, 114, 220, 24);
    Label(this, QStringLiteral("输入电平:"), QRect(20, 146, 80, 20));
    m_pbLevel = new TLevelMeter(this);
    m_pbLevel->move(100, 150);
    m_chkAuto = new QCheckBox(QStringLiteral("自动"), this);
    m_chkAuto->setGeometry(100, 174, 70, 24);
    m_chkMonitor = new QCheckBox(QStringLiteral("监听"), this);
    m_chkMonitor->setGeometry(170, 174, 70, 24);
    m_chkProtect = new QCheckBox(QStringLiteral("防爆音"), this);
    m_chkProtect->setToolTip(QStringLiteral("录音时限制过大的音量，避免破音"));
    m_chkProtect->setGeometry(240, 174, 80, 24);
    Label(this, QStringLiteral("延迟:"), QRect(20, 202, 80, 24));
    m_lblLatency = Label(this, QStringLiteral("---- ms"), QRect(100, 202, 120, 24));
    m_lblHint = Label(this, QStringLiteral("请对着麦克风哼唱，进行试听测试。"), QRect(20, 228, 300, 22));
    m_btnOk = MakeButton(QStringLiteral("确定"), QRect(80, 256, 80, 32));
    m_btnCancel = MakeButton(QStringLiteral("取消"), QRect(180, 256, 80, 32));

    m_latencyTimer.setInterval(250);
    connect(&m_latencyTimer, &QTimer::timeout, this, [this] {
        m_lblLatency->setText(QString::asprintf("%.1f ms", Engines().mm.MM_GetLatency()));
        m_pbLevel->SetSegments(MeterSegments(Engines().mm.MM_GetStreamVolume(1)));
    });
    connect(m_cbDevice, &QComboBox::activated, this, &TMicSetForm::SelectDevice);
    connect(m_cbInput, &QComboBox::activated, this, &TMicSetForm::SelectInput);
    connect(m_tbVolume, &QSlider::valueChanged, this, &TMicSetForm::MoveVolume);
    connect(m_tbVolume, &QSlider::valueChanged, this, [this](int v) { m_tbVolume->setToolTip(QString::number(v)); });
    connect(m_chkAuto, &QCheckBox::clicked, this, &TMicSetForm::SetAutoLevel);
    connect(m_chkMonitor, &QCheckBox::clicked, this, &TMicSetForm::SetMonitor);
    connect(m_chkProtect, &QCheckBox::clicked, this, [](bool on) { Engines().mm.MM_SetRecordProtect(on ? 1 : 0); });
    connect(m_btnOk, &TPNGButton::clicked, this, &TMicSetForm::Ok);
    connect(m_btnCancel, &TPNGButton::clicked, this, &TMicSetForm::Cancel);

    const auto& mm = Engines().mm;
    m_devices.resize(kMaxListed);
    const int count = mm.MM_GetRecordDeviceInfo(kMaxListed, m_devices.data());
    m_devices.resize(static_cast<size_t>(std::clamp(count, 0, kMaxListed)));
    for (const MM_RecordDeviceInfo& d : m_devices)
        m_cbDevice->addItem(QString::fromUtf8(d.name, static_cast<qsizetype>(strnlen(d.name, sizeof d.name))));
    m_autoLevel = m_session.song.Flag(kFlagAutoLevel);
    m_chkAuto->setChecked(m_autoLevel);
    m_chkMonitor->setChecked(m_session.song.Flag(kFlagMonitor));
    const int device = ChooseRecordDevice(m_devices, m_session.app.recordDevice);
    m_cbDevice->setCurrentIndex(device);
    if (device < 0) {
        m_tbVolume->setEnabled(false);
        return;
    }
    ListInputs();
    const int input = ChooseRecordInput(m_inputs, m_session.app.recordInput);
    m_cbInput->setCurrentIndex(input);
    if (input >= 0)
        StartTest();
    else
        m_tbVolume->setEnabled(false);
}

TMicSetForm::~TMicSetForm()
{
    m_latencyTimer.stop();
    UnregisterMessageTarget(this);
}

bool TMicSetForm::event(QEvent* event)
{
    if (DeliverMessageEvent(this, event))
        return true;
    return TSkinDialog::event(event);
}

intptr_t TMicSetForm::HandleMessage(uint32_t message, intptr_t wParam, intptr_t)
{
    if (message != UM_RECORD_VOLUME)
        return 0;
    SetVolumeQuietly(static_cast<int>(wParam));
    return 1;
}

void TMicSetForm::ListInputs()
{
    m_inputs.assign(kMaxListed, MM_RecordInputInfo{});
    const int device = m_cbDevice->currentIndex();
    int count = 0;
    if (device >= 0)
        count = Engines().mm.MM_GetRecordInputInfo(m_devices[static_cast<size_t>(device)].id, kMaxListed, m_inputs.data());
    m_inputs.resize(static_cast<size_t>(std::clamp(count, 0, kMaxListed)));
    const QSignalBlocker block(m_cbInput);
    m_cbInput->clear();
    for (const MM_RecordInputInfo& i : m_inputs)
        m_cbInput->addItem(QString::fromUtf8(i.name, static_cast<qsizetype>(strnlen(i.name, sizeof i.name))));
}

void TMicSetForm::SetVolumeQuietly(int value)
{
    const QSignalBlocker block(m_tbVolume);
    m_tbVolume->setValue(std::clamp(value, 0, 100));
    m_tbVolume->setToolTip(QString::number(m_tbVolume->value()));
}

void TMicSetForm::StartTest()
{
    const auto& mm = Engines().mm;
    const int device = m_cbDevice->currentIndex();
    const int input = m_cbInput->currentIndex();
    if (device < 0 || input < 0)
        return;
    // Read while idle: during the test the engine reports peaks, not the volume.
    const int volume = mm.MM_GetStreamVolume(1);
    const int result = mm.MM_RecordTest(m_devices[static_cast<size_t>(device)].id, input, WindowHandle(this));
    if (result == 0) {
        m_tbVolume->setEnabled(true);
        SetVolumeQuietly(volume >= 0 ? volume : static_cast<int>(m_session.song.recordVolume * 100));
        m_lblLatency->setText(QStringLiteral("0.0 ms"));
        m_latencyTimer.start();
    } else {
        ShowMessageBox(RecordTestFailureMessage(result), 16);
        m_tbVolume->setEnabled(false);
        m_latencyTimer.stop();
        m_lblLatency->setText(QStringLiteral("---- ms"));
    }
}

void TMicSetForm::SelectDevice(int index)
{
    if (index < 0 || index >= static_cast<int>(m_devices.size()))
        return;
    Engines().mm.MM_Stop();
    m_latencyTimer.stop();
    ListInputs();
    const int input = ChooseRecordInput(m_inputs, -1);
    m_cbInput->setCurrentIndex(input);
    if (input < 0)
        m_tbVolume->setEnabled(false);
    else
        StartTest();
}

void TMicSetForm::SelectInput(int index)
{
    if (index < 0)
        return;
    Engines().mm.MM_Stop();
    m_latencyTimer.stop();
    StartTest();
}

void TMicSetForm::MoveVolume(int value)
{
    Engines().mm.MM_SetStreamVolume(1, value / 100.0f);
    if (m_autoLevel)
        SetAutoLevel(false);
}

void TMicSetForm::SetAutoLevel(bool on)
{
    m_autoLevel = on;
    m_chkAuto->setChecked(on);
    Engines().mm.MM_SetRecordAutoAdjust(on ? 1 : 0);
}

void TMicSetForm::SetMonitor(bool on)
{
    m_chkMonitor->setChecked(on);
    Engines().mm.MM_SetRecordMoniter(on ? 1 : 0);
}

void TMicSetForm::Ok()
{
    m_latencyTimer.stop();
    Engines().mm.MM_Stop();
    const int device = m_cbDevice->currentIndex();
    if (device >= 0) {
        const MM_RecordDeviceInfo& d = m_devices[static_cast<size_t>(device)];
        m_session.app.recordDevice = d.id;
        m_session.app.recordDeviceName.assign(d.name, strnlen(d.name, sizeof d.name));
        m_session.app.recordInput = m_cbInput->currentIndex();
        // The engine records from the chosen device from now on.
        float volume = m_tbVolume->value() / 100.0f;
        Engines().mm.MM_SetRecordDevice(&m_session.app.recordDevice, m_session.app.recordDeviceName.c_str(),
                                        &m_session.app.recordInput, &volume);
    }
    m_session.song.recordVolume = m_tbVolume->value() / 100.0f;
    m_session.song.SetFlag(kFlagAutoLevel, m_chkAuto->isChecked());
    m_session.song.SetFlag(kFlagMonitor, m_chkMonitor->isChecked());
    accept();
}

void TMicSetForm::Cancel()
{
    m_latencyTimer.stop();
    const auto& mm = Engines().mm;
    mm.MM_Stop();
    mm.MM_SetRecordAutoAdjust(m_session.song.Flag(kFlagAutoLevel) ? 1 : 0);
    mm.MM_SetRecordMoniter(m_session.song.Flag(kFlagMonitor) ? 1 : 0);
    float volume = m_session.song.recordVolume;
    mm.MM_SetRecordDevice(&m_session.app.recordDevice, m_session.app.recordDeviceName.c_str(),
                          &m_session.app.recordInput, &volume);
    QDialog::reject();
}

void TMicSetForm::keyPressEvent(QKeyEvent* event)
{
    switch (event->key()) {
    case Qt::Key_Return:
    case Qt::Key_Enter:
    case Qt::Key_Space: Ok(); return;
    case Qt::Key_Escape: Cancel(); return;
    default: TSkinDialog::keyPressEvent(event);
    }
}

// ---- audio effects --------------------------------------------------------

TAudioEffectForm::TAudioEffectForm(AppSession& session, QWidget* parent)
    : TSkinDialog(QStringLiteral("音频效果设置"), 420, 330, 390, parent), m_session(session)
{
    RegisterMessageTarget(this, this);
    const auto& table = EffectSlots();
    for (size_t i = 0; i < table.size(); ++i) {
        const int col = static_cast<int>(i % 2), row = static_cast<int>(i / 2);
        Label(this, QString::fromUtf8(table[i].label), QRect(24 + col * 196, 40 + row * 40, 50, 26));
        auto* cb = new QComboBox(this);
        cb->addItems(table[i].choices);
        cb->setGeometry(76 + col * 196, 40 + row * 40, 120, 26);
        const int state = session.song.effectStates[static_cast<size_t>(table[i].slot)];
        cb->setCurrentIndex(state >= 0 && state < cb->count() ? state : 0);
        connect(cb, &QComboBox::activated, this, [this, i](int item) { SetChoice(static_cast<int>(i), item); });
        m_cbEffects.push_back(cb);
    }
    m_btnAllOff = MakeButton(QStringLiteral("全部关闭"), QRect(24, 244, 96, 32));
    m_btnPreview = MakeButton(QStringLiteral("音效试听"), QRect(128, 244, 96, 32));
    m_btnOk = MakeButton(QStringLiteral("确定"), QRect(216, 286, 86, 32));
    m_btnCancel = MakeButton(QStringLiteral("取消"), QRect(310, 286, 86, 32));
    connect(m_btnAllOff, &TPNGButton::clicked, this, &TAudioEffectForm::AllOff);
    connect(m_btnPreview, &TPNGButton::clicked, this, &TAudioEffectForm::TogglePreview);
    connect(m_btnOk, &TPNGButton::clicked, this, &TAudioEffectForm::Ok);
    connect(m_btnCancel, &TPNGButton::clicked, this, &TAudioEffectForm::Cancel);
}

TAudioEffectForm::~TAudioEffectForm()
{
    UnregisterMessageTarget(this);
}

bool TAudioEffectForm::event(QEvent* event)
{
    if (DeliverMessageEvent(this, event))
        return true;
    return TSkinDialog::event(event);
}

intptr_t TAudioEffectForm::HandleMessage(uint32_t message, intptr_t, intptr_t)
{
    if (message != UM_ENGINE_STOPPED)
        return 0;
    ShowPreviewButton(false);
    return 1;
}

void TAudioEffectForm::SetChoice(int row, int item)
{
    const auto& table = EffectSlots();
    if (row < 0 || row >= static_cast<int>(table.size()))
        return;
    const QSignalBlocker block(m_cbEffects[static_cast<size_t>(row)]);
    m_cbEffects[static_cast<size_t>(row)]->setCurrentIndex(item);
    Engines().mm.MM_SetFxPreset(table[static_cast<size_t>(row)].effectId, item);
}

void TAudioEffectForm::AllOff()
{
    for (size_t i = 0; i < m_cbEffects.size(); ++i)
        SetChoice(static_cast<int>(i), 0);
}

void TAudioEffectForm::ShowPreviewButton(bool previewing)
{
    m_previewing = previewing;
    m_btnPreview->SetPngImg(skin::ButtonStrip(96, 32, 4, previewing ? QStringLiteral("关闭试听") : QStringLiteral("音效试听")));
}

void TAudioEffectForm::TogglePreview()
{
    const auto& mm = Engines().mm;
    if (m_previewing) {
        mm.MM_Stop();
        ShowPreviewButton(false);
    } else if (mm.MM_Play(WindowHandle(this), 0, MM_PLAY_FX_PREVIEW) == 0) {
        ShowPreviewButton(true);
    }
}

void TAudioEffectForm::Ok()
{
    Engines().mm.MM_Stop();
    const auto& table = EffectSlots();
    for (size_t i = 0; i < table.size(); ++i)
        m_session.song.effectStates[static_cast<size_t>(table[i].slot)] = m_cbEffects[i]->currentIndex();
    accept();
}

void TAudioEffectForm::Cancel()
{
    const auto& mm = Engines().mm;
    mm.MM_Stop();
    for (int slot = 0; slot < 11; ++slot)
        mm.MM_SetFxPreset(kEffectIds[slot], m_session.song.effectStates[static_cast<size_t>(slot)]);
    QDialog::reject();
}

void InstallDeviceDialogs(TMainForm& form, AppSession& session)
{
    form.SetMessageHandler(UM_MIC_SETUP, [&form, &session](intptr_t, intptr_t) -> intptr_t {
        TMicSetForm dialog(session, &form);
        if (dialog.exec() != QDialog::Accepted)
            return 1;
        // The record or complete screen, whichever shows, takes the new volume.
        const int page = form.CurrentPage();
        if (page == 1 || page == 4)
            MDP_SendMessage(WindowHandle(form.Page(page)), UM_RECORD_VOLUME,
                            RecordVolumePercent(session.song.recordVolume), 0);
        return 1;
    });
    form.SetMessageHandler(UM_AUDIO_EFFECTS, [&form, &session](intptr_t, intptr_t) -> intptr_t {
        TAudioEffectForm dialog(session, &form);
        dialog.exec();
        return 1;
    });
}

} // namespace melodrift
