// Reading pictures in a format known beforehand. Qt's reader otherwise loads and asks every
// image plugin whether it knows the bytes, even when the format is named, which costs a
// start-up more than the pictures themselves.
#pragma once

#include <QByteArray>
#include <QPixmap>
#include <QString>

namespace trasslo {

// The picture in `bytes` read as `format` ("ICO", "PNG", ...) only; null when they are not one.
QPixmap read_pixmap(const QByteArray& bytes, const char* format);

// The same for a file or a resource (":/...").
QPixmap read_pixmap_file(const QString& path, const char* format);

}  // namespace trasslo
