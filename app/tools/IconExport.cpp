// Converts one of the application's pixel drawings to PNG for installation, optionally enlarged
// to the size a desktop icon theme asks for.
#include <QImage>

#include <cstdio>
#include <cstdlib>

namespace {

// Nearest-pixel enlargement: every output pixel takes the colour of the drawing's pixel under its
// centre. Smoothing would blur the letters of a drawing made for a pixel grid; at a ratio that is
// not whole (32 to 48) the drawing's pixels become blocks of one and two pixels in turn.
QImage Enlarge(const QImage& drawing, int size) {
    const QImage source = drawing.convertToFormat(QImage::Format_ARGB32);
    QImage result(size, size, QImage::Format_ARGB32);
    for (int y = 0; y < size; ++y) {
        const int sy = (2 * y + 1) * source.height() / (2 * size);
        for (int x = 0; x < size; ++x) {
            const int sx = (2 * x + 1) * source.width() / (2 * size);
            result.setPixel(x, y, source.pixel(sx, sy));
        }
    }
    return result;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 3 && argc != 4) {
        std::fprintf(stderr, "usage: %s INPUT OUTPUT.png [SIZE]\n", argv[0]);
        return 2;
    }
    QImage image(QString::fromLocal8Bit(argv[1]));
    if (image.isNull()) {
        std::fprintf(stderr, "%s: cannot read %s\n", argv[0], argv[1]);
        return 1;
    }
    if (argc == 4) {
        char* end = nullptr;
        const long size = std::strtol(argv[3], &end, 10);
        if (*argv[3] == '\0' || *end != '\0' || size < image.width() || size > 1024 ||
            image.width() != image.height()) {
            std::fprintf(stderr, "%s: %s is %dx%d; cannot make %s pixels of it\n", argv[0], argv[1],
                         image.width(), image.height(), argv[3]);
            return 2;
        }
        image = Enlarge(image, static_cast<int>(size));
    }
    if (!image.save(QString::fromLocal8Bit(argv[2]), "PNG")) {
        std::fprintf(stderr, "%s: cannot write %s\n", argv[0], argv[2]);
        return 1;
    }
    return 0;
}
