#ifndef APPLICATIONICON_H
#define APPLICATIONICON_H

#include <QImage>

// The program's icon, drawn from its own 32 x 32 palette table: the windows show it, and the
// build writes it out as the desktop's icon files, so the picture exists in one place only.
namespace ApplicationIcon {

constexpr int size = 32; // pixels across and down

QImage image();

} // namespace ApplicationIcon

#endif // APPLICATIONICON_H
