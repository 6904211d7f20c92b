#pragma once

// Shown after an upload: success (with a QR code of the song's page when the
// encoder is there) or the limit of unpublished songs.

#include <QDialog>
#include <QWidget>
#include <cstdint>
#include <vector>

class QLabel;

namespace melodrift {

class TPNGButton;

// The symbol as the encoder gives it: side modules, row by row, bit 0 dark.
struct QrSymbol {
    int side = 0;
    std::vector<uint8_t> modules;
    bool Dark(int x, int y) const { return (modules[static_cast<size_t>(y) * side + x] & 1) != 0; }
};

// Encodes text with the bound encoder; an empty symbol when it is missing or fails.
QrSymbol EncodeQr(const std::string& text);

class TQrPanel : public QWidget {
    Q_OBJECT
public:
    explicit TQrPanel(QWidget* parent = nullptr);
    void SetSymbol(QrSymbol symbol);
    const QrSymbol& Symbol() const { return m_symbol; }

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    QrSymbol m_symbol;
};

class TManageSongForm : public QDialog {
    Q_OBJECT
public:
    // songId < 0: the limit form.
    explicit TManageSongForm(int32_t songId, QWidget* parent = nullptr);
    bool HasQrCode() const { return m_qr != nullptr; }
    TQrPanel* QrPanel() const { return m_qr; }
    QLabel* m_lblMessage;
    QLabel* m_lblLink;

protected:
    void keyPressEvent(QKeyEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void paintEvent(QPaintEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void FollowLink();
    TQrPanel* m_qr = nullptr;
};

} // namespace melodrift
