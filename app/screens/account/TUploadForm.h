#pragma once

// The dialog in which the user describes a finished song before it is
// uploaded; it fills the song description block and keeps a copy of the
// entries in the song for the next upload.

#include <array>
#include <cstdint>

#include "TAccountDialog.h"
#include "UploadLogic.h"

class QCheckBox;
class QComboBox;
class QLabel;
class QLineEdit;
class QPlainTextEdit;
class QRadioButton;

namespace melodrift {

class TSongModel;

class TUploadForm : public TAccountDialog {
    Q_OBJECT
public:
    static constexpr int kWidth = 470;
    static constexpr int kHeight = 430;

    // keptCopy: the song's copy of the last entries (1008 bytes).
    TUploadForm(TSongModel& song, const StyleTypesReader& styleTypes, QWidget* parent = nullptr);

    // OK: writes block and the kept copy and closes; a text that does not
    // fit is refused with a message and the dialog stays.
    bool Confirm(uint8_t* block);
    SongDescription Entries() const;
    const TMusicTypeChoice& Types() const { return m_types; }
    void ClickType(int box);
    void SetAdaptation(bool adaptation);

    QLineEdit* m_editSongName;
    QLineEdit* m_editSinger;
    QLineEdit* m_editOriginal;
    QLineEdit* m_editLyricist;
    QLineEdit* m_editComposer;
    QLineEdit* m_editArranger;
    QPlainTextEdit* m_memoDescription;
    QRadioButton* m_radioOriginal;
    QRadioButton* m_radioAmend;
    QComboBox* m_cbSex;
    QCheckBox* m_checkSubmit;
    std::array<QCheckBox*, kMusicTypeCount> m_checkTypes{};   // m_checkPop .. m_checkOthers
    class TPNGButton* m_btnOk;
    TPNGButton* m_btnCancel;

    // Where OK writes; set by the caller before exec().
    uint8_t* block = nullptr;

protected:
    void keyPressEvent(QKeyEvent* event) override;

private:
    QLineEdit* AddEdit(const QString& label, int x, int y, int width, int maxBytes);
    void Fill(const SongDescription& entries);
    void ShowTypes();
    void UpdateOk();

    TSongModel& m_song;
    TMusicTypeChoice m_types;
};

} // namespace melodrift
