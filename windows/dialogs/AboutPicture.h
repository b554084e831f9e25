#pragma once
// The About window's picture: a JPEG decoded by our own code through
// libjpeg, not through Qt's image plugins.

#include <QByteArray>
#include <QImage>

namespace vorta {

// The decoded picture, or a null image for data that is not a complete,
// clean JPEG (libjpeg's warnings count as damage: a torn file would show as
// grey stripes).
QImage DecodeJpeg(const QByteArray& data);

}  // namespace vorta
