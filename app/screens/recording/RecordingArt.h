#pragma once

// Pictures of the setup and record screens, painted once at run time: the
// dial's pointer and tap pad, the style disks and their sleeve, the count-in
// notices and the re-record markers.

#include <QPixmap>

namespace melodrift::recording {

QPixmap SetupBackground(int width, int height);
const QPixmap& DialPointer(bool hover);        // 53 x 126, pivot at its bottom centre
const QPixmap& TapPad(int state);              // 74 x 74: 0 normal, 1 hover, 2 pressed
const QPixmap& DiskPicture(int category, bool selected);   // 120 x 120
const QPixmap& DiskCover();                    // 124 x 124
const QPixmap& NoticeImage(int beatsToGo);     // count-in: 0..3 beats still to come
const QPixmap& RecordMarker(bool begin);       // 12 x 14

} // namespace melodrift::recording
