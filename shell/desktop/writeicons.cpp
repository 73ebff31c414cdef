// Writes the program's icon for the desktop: the 32 x 32 picture as a PNG, and the same picture
// as an SVG of one square-edged rectangle per run of equal pixels in a row, so that it stays
// sharp at any size. Run by the build. Usage: kivo-write-icons ICON.png ICON.svg

#include "applicationicon.h"

#include <QColor>
#include <QFile>
#include <QImage>
#include <QSaveFile>

#include <cstdio>

namespace {

QByteArray svgOf(const QImage &image)
{
    QByteArray svg = QStringLiteral("<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
                                    "<svg xmlns=\"http://www.w3.org/2000/svg\" width=\"%1\" "
                                    "height=\"%2\" viewBox=\"0 0 %1 %2\" "
                                    "shape-rendering=\"crispEdges\">\n")
                         .arg(image.width())
                         .arg(image.height())
                         .toUtf8();
    for (int y = 0; y < image.height(); ++y) {
        for (int x = 0; x < image.width();) {
            const QRgb colour = image.pixel(x, y);
            int end = x + 1;
            while (end < image.width() && image.pixel(end, y) == colour)
                ++end;
            if (qAlpha(colour) > 0) {
                svg += QStringLiteral("<rect x=\"%1\" y=\"%2\" width=\"%3\" height=\"1\" "
                                      "fill=\"%4\"")
                           .arg(x)
                           .arg(y)
                           .arg(end - x)
                           .arg(QColor(colour).name())
                           .toUtf8();
                if (qAlpha(colour) < 255)
                    svg +=
                        QStringLiteral(" fill-opacity=\"%1\"").arg(qAlpha(colour) / 255.0).toUtf8();
                svg += "/>\n";
            }
            x = end;
        }
    }
    return svg + "</svg>\n";
}

} // namespace

int main(int argc, char *argv[])
{
    if (argc != 3) {
        std::fprintf(stderr, "usage: %s ICON.png ICON.svg\n", argv[0]);
        return 2;
    }
    const QImage image = ApplicationIcon::image();
    QSaveFile svg(QFile::decodeName(argv[2]));
    if (!image.save(QFile::decodeName(argv[1]), "PNG") || !svg.open(QIODevice::WriteOnly) ||
        svg.write(svgOf(image)) < 0 || !svg.commit()) {
        std::fprintf(stderr, "%s: cannot write the icons\n", argv[0]);
        return 1;
    }
    return 0;
}
