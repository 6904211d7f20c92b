#pragma once

// The microphone set-up (TMicSetForm, "声音输入设置") and the audio effect
// dialog (TAudioEffectForm, "音频效果设置"): borderless rounded dialogs
// dragged by their title strip, opened by the main window's UM_MIC_SETUP and
// UM_AUDIO_EFFECTS.

#include <QDialog>
#include <QTimer>
#include <vector>

#include "MessageDispatcher.h"
#include "Sonobox.h"

class QCheckBox;
class QComboBox;
class QLabel;
class QSlider;

namespace melodrift {

struct AppSession;
class TLevelMeter;
class TPNGButton;

// Rounded skinned frame with a draggable title strip.
class TSkinDialog : public QDialog {
    Q_OBJECT
public:
    TSkinDialog(const QString& caption, int width, int height, int dragRight, QWidget* parent);

protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    TPNGButton* MakeButton(const QString& caption, QRect at);

private:
    QString m_caption;
    int m_dragRight;
    QPoint m_dragFrom;
    bool m_dragging = false;
};

class TMicSetForm : public TSkinDialog, public TMessageTarget {
    Q_OBJECT
public:
    TMicSetForm(AppSession& session, QWidget* parent = nullptr);
    ~TMicSetForm() override;
    intptr_t HandleMessage(uint32_t message, intptr_t wParam, intptr_t lParam) override;

    void SelectDevice(int index);
    void SelectInput(int index);
    void MoveVolume(int value);            // the user moved the bar
    void SetAutoLevel(bool on);
    void SetMonitor(bool on);
    void Ok();
    void Cancel();

    bool Testing() const { return m_latencyTimer.isActive(); }
    const std::vector<MM_RecordDeviceInfo>& Devices() const { return m_devices; }

    QComboBox* m_cbDevice;
    QComboBox* m_cbInput;
    QSlider* m_tbVolume;
    QCheckBox* m_chkAuto;
    QCheckBox* m_chkMonitor;
    QCheckBox* m_chkProtect;
    QLabel* m_lblLatency;
    QLabel* m_lblHint;
    TLevelMeter* m_pbLevel;
    TPNGButton* m_btnOk;
    TPNGButton* m_btnCancel;

protected:
    bool event(QEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void reject() override { Cancel(); }

private:
    void ListInputs();
    void StartTest();
    void SetVolumeQuietly(int value);

    AppSession& m_session;
    std::vector<MM_RecordDeviceInfo> m_devices;
    std::vector<MM_RecordInputInfo> m_inputs;
    QTimer m_latencyTimer;
    bool m_autoLevel = false;
};

class TAudioEffectForm : public TSkinDialog, public TMessageTarget {
    Q_OBJECT
public:
    TAudioEffectForm(AppSession& session, QWidget* parent = nullptr);
    ~TAudioEffectForm() override;
    intptr_t HandleMessage(uint32_t message, intptr_t wParam, intptr_t lParam) override;

    void SetChoice(int row, int item);      // a control changed: applied at once
    void AllOff();
    void TogglePreview();
    void Ok();
    void Cancel();
    bool Previewing() const { return m_previewing; }

    std::vector<QComboBox*> m_cbEffects;    // in the order of EffectSlots()
    TPNGButton* m_btnAllOff;
    TPNGButton* m_btnPreview;
    TPNGButton* m_btnOk;
    TPNGButton* m_btnCancel;

protected:
    bool event(QEvent* event) override;
    void reject() override { Cancel(); }

private:
    void ShowPreviewButton(bool previewing);

    AppSession& m_session;
    bool m_previewing = false;
};

// Installs both dialogs as the main window's handlers.
class TMainForm;
void InstallDeviceDialogs(TMainForm& form, AppSession& session);

} // namespace melodrift
