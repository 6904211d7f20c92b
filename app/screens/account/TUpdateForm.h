#pragma once

// Shown when the service announces a newer version: the announced and the
// running version, the release notes, and the way to the download page. A
// forced update says in red that logging in and uploading are closed.

#include "TAccountDialog.h"
#include "Tidelink.h"

class QLabel;
class QListWidget;

namespace melodrift {

class TMainForm;

class TUpdateForm : public TAccountDialog {
    Q_OBJECT
public:
    static constexpr int kWidth = 380;
    static constexpr int kHeight = 280;

    TUpdateForm(const CS_VersionRecord& announced, const QString& runningVersion, bool forced,
                TMainForm* owner = nullptr);

    // m_lbDownload or Enter: the download page in the browser, then close.
    void Download();

    QLabel* m_ImgFlag;
    QLabel* m_lbCurrentVer;
    QLabel* m_lbNewVer;
    QListWidget* m_lbUpdateMsg;
    QLabel* m_lbDownloadMsg;
    QLabel* m_lbDownload;

protected:
    void keyPressEvent(QKeyEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    TMainForm* m_owner;
};

} // namespace melodrift
