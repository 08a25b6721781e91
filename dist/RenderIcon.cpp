// Build-time helper: renders the program's SVG icon as a square PNG of one size, for the icon
// theme's fixed-size folders that trays and menus without an SVG loader pick from.
#include <QImage>
#include <QPainter>
#include <QString>
#include <QSvgRenderer>

#include <cstdio>

int main(int argc, char** argv) {
    if (argc != 4) {
        std::fprintf(stderr, "usage: %s <in.svg> <out.png> <size>\n", argv[0]);
        return 2;
    }
    const QString in = QString::fromLocal8Bit(argv[1]);
    const QString out = QString::fromLocal8Bit(argv[2]);
    bool ok = false;
    const int size = QString::fromLocal8Bit(argv[3]).toInt(&ok);
    if (!ok || size <= 0) {
        std::fprintf(stderr, "%s: bad size %s\n", argv[0], argv[3]);
        return 2;
    }
    QSvgRenderer svg(in);
    if (!svg.isValid()) {
        std::fprintf(stderr, "%s: cannot read %s\n", argv[0], argv[1]);
        return 1;
    }
    QImage image(size, size, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    {
        QPainter painter(&image);
        painter.setRenderHint(QPainter::Antialiasing);
        svg.render(&painter);
    }
    if (!image.save(out, "PNG")) {
        std::fprintf(stderr, "%s: cannot write %s\n", argv[0], argv[2]);
        return 1;
    }
    return 0;
}
