#pragma once

// The save dialog: where the finished song is exported and which tracks go
// into the file. The caller shows it modally (result 1 OK, 2 Cancel) and
// then reads the name and the two checks.

#include <QDialog>
#include <functional>

#include "SaveLogic.h"

class QLabel;
class QLineEdit;

namespace melodrift {

class TPNGButton;

class TSaveForm : public QDialog {
    Q_OBJECT
public:
    static constexpr int kWidth = 300;
    static constexpr int kHeight = 131;

    TSaveForm(int fileType, int trackBits, const QString& fileName, QWidget* parent = nullptr);

    // Shows the dialog modally, or runs the installed script instead.
    int ShowModal();
    // Tests and unattended runs answer the dialog: the script receives the
    // shown form and returns its result.
    using Script = std::function<int(TSaveForm&)>;
    static void SetScript(Script script);
    // The file dialog of m_btnBrowse; replaceable for the same reason.
    using ChooseFile = std::function<QString(const FileDialogStart& start, const QString& filter)>;
    static void SetChooseFile(ChooseFile choose);

    QString FileName() const;
    void SetFileName(const QString& name);
    bool ComposeChecked() const { return m_state.Compose(); }
    bool SongChecked() const { return m_state.Song(); }
    int FileType() const { return m_state.FileType(); }
    bool OkEnabled() const;

    void ComposeCheckClick();
    void SongCheckClick();
    void BrowseClick();

    static QString Filter();

    QLabel* m_imgBk;
    QLabel* m_lblCaption;
    QLineEdit* m_editFileName;
    TPNGButton* m_btnBrowse;
    QLabel* m_imgComposeCheck;
    QLabel* m_imgSongCheck;
    TPNGButton* m_btnOk;
    TPNGButton* m_btnCancel;

protected:
    void keyPressEvent(QKeyEvent* event) override;
    void showEvent(QShowEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;

private:
    void Refresh();

    SaveDialogState m_state;
    QPoint m_dragFrom;
    bool m_dragging = false;
};

} // namespace melodrift
