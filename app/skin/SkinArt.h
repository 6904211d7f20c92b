#pragma once

// The program's pictures, painted at run time so that every size and caption
// comes out crisp: button strips, the band, the step strip, the badge, the
// splash and dialog backgrounds.

#include <QColor>
#include <QPixmap>
#include <QString>

namespace melodrift::skin {

inline const QColor kInk{0x3C, 0x2B, 0x17};        // captions and user name
inline const QColor kPale{0xE6, 0xCC, 0xB4};       // "logging in" label
inline const QColor kPaper{0xFB, 0xF3, 0xE8};

// The font for every Chinese text of the skin.
QFont SkinFont(int pixelSize, bool bold = false);

enum class Glyph { None, Menu, Minimise, Maximise, Restore, Close, Help, User, Cancel };

// A strip of `frames` equal frames side by side (normal, hover, pressed,
// disabled), each w x h, with a caption or a glyph.
QPixmap ButtonStrip(int w, int h, int frames, const QString& caption, Glyph glyph = Glyph::None);
// Round step buttons carrying their step number.
QPixmap StepStrip(int number, int diameter);

QPixmap BandPicture(int width, int height);
QPixmap StepTrack(int width, int height);        // the strip the step buttons sit on
QPixmap NoticeBadge(int size);                   // two halves: normal, hover
QPixmap SplashPicture(const QString& version);
QPixmap DialogBackground(int width, int height);
QPixmap MessageIcon(int kind, int size);         // 0x10 error, 0x20 question, 0x40 information
QPixmap PageBackground(int width, int height);

} // namespace melodrift::skin
