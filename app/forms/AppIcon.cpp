#include "AppIcon.h"

#include <QImage>
#include <QPainter>
#include <QPixmap>
#include <QSvgRenderer>

QIcon TessmarkIcon() {
    QSvgRenderer renderer(QString::fromUtf8(kAppIconResource));
    if (!renderer.isValid())
        return QIcon();
    QIcon icon;
    // Drawn at each size rather than scaled, so small sizes stay sharp.
    for (int size : {16, 22, 24, 32, 48, 64, 128, 256}) {
        QImage image(size, size, QImage::Format_ARGB32_Premultiplied);
        image.fill(Qt::transparent);
        QPainter painter(&image);
        renderer.render(&painter);
        painter.end();
        icon.addPixmap(QPixmap::fromImage(image));
    }
    return icon;
}
