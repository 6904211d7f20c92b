#pragma once

// The About and more-software dialogs: a few plain lines, nothing more.

#include <QStringList>

#include "TAccountDialog.h"

class QLabel;

namespace melodrift {

struct AppSession;

class TInfoForm : public TAccountDialog {
    Q_OBJECT
public:
    TInfoForm(const QString& title, const QString& text, QWidget* parent = nullptr);
    QLabel* m_lblText;

protected:
    void keyPressEvent(QKeyEvent* event) override;
};

// The About text: version, the libraries the program is built on with their
// licences, the web address the service gave.
QString AboutText(const AppSession& session);
// The other programs of the project.
QString MoreSoftwareText();

} // namespace melodrift
