#include "ui/qt/qt_image.h"

#include <QBuffer>
#include <QImageReader>

namespace trasslo {
namespace {

QPixmap read_with(QImageReader& reader, const char* format) {
    reader.setFormat(format);
    reader.setAutoDetectImageFormat(false);
    const QImage image = reader.read();
    return image.isNull() ? QPixmap() : QPixmap::fromImage(image);
}

}  // namespace

QPixmap read_pixmap(const QByteArray& bytes, const char* format) {
    QBuffer buffer;
    buffer.setData(bytes);
    buffer.open(QIODevice::ReadOnly);
    QImageReader reader(&buffer);
    return read_with(reader, format);
}

QPixmap read_pixmap_file(const QString& path, const char* format) {
    QImageReader reader(path);
    return read_with(reader, format);
}

}  // namespace trasslo
