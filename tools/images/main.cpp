// Draws every image Quorvel shows, at 1x (name.png) and 2x (name@2x.png), and
// the application icon at the desktop's usual sizes (quorvel-N.png) and as
// SVG (quorvel.svg).
//
//   quorvel-images IMAGES_DIR ICONS_DIR   write them
//   quorvel-images --check IMAGES_DIR ICONS_DIR
//                                         check that each file exists with its size,
//                                         and the SVG icon as the drawing makes it
#include "Images.h"

#include <QDir>
#include <QFile>
#include <QImage>
#include <cstdio>

using namespace quorvel::images;

namespace {

QString doubled(const QString& name) { return QString(name).replace(QStringLiteral(".png"), QStringLiteral("@2x.png")); }
QString iconName(int size) { return QStringLiteral("quorvel-%1.png").arg(size); }

bool save(const QImage& image, const QString& path) {
    if (image.convertToFormat(QImage::Format_ARGB32).save(path, "PNG", 9)) return true;
    std::fprintf(stderr, "cannot write %s\n", qPrintable(path));
    return false;
}

int write(const QString& imagesDir, const QString& iconsDir) {
    if (!QDir().mkpath(imagesDir) || !QDir().mkpath(iconsDir)) {
        std::fprintf(stderr, "cannot create %s or %s\n", qPrintable(imagesDir), qPrintable(iconsDir));
        return 1;
    }
    for (const ImageSpec& spec : applicationImages()) {
        if (!save(spec.draw(1.0), imagesDir + QLatin1Char('/') + spec.name)) return 1;
        if (!save(spec.draw(2.0), imagesDir + QLatin1Char('/') + doubled(spec.name))) return 1;
    }
    for (int size : iconSizes())
        if (!save(applicationIcon(size), iconsDir + QLatin1Char('/') + iconName(size))) return 1;
    QFile svg(iconsDir + QStringLiteral("/quorvel.svg"));
    if (!svg.open(QIODevice::WriteOnly) || svg.write(applicationIconSvg()) < 0) {
        std::fprintf(stderr, "cannot write %s\n", qPrintable(svg.fileName()));
        return 1;
    }
    return 0;
}

bool checkOne(const QString& path, const QSize& expected) {
    const QImage image(path);
    if (image.isNull()) {
        std::fprintf(stderr, "missing or unreadable: %s\n", qPrintable(path));
        return false;
    }
    if (image.size() != expected) {
        std::fprintf(stderr, "%s is %dx%d, expected %dx%d\n", qPrintable(path), image.width(), image.height(),
                     expected.width(), expected.height());
        return false;
    }
    return true;
}

int check(const QString& imagesDir, const QString& iconsDir) {
    int good = 0, bad = 0;
    for (const ImageSpec& spec : applicationImages()) {
        (checkOne(imagesDir + QLatin1Char('/') + spec.name, spec.points) ? good : bad)++;
        (checkOne(imagesDir + QLatin1Char('/') + doubled(spec.name), spec.points * 2) ? good : bad)++;
    }
    for (int size : iconSizes())
        (checkOne(iconsDir + QLatin1Char('/') + iconName(size), QSize(size, size)) ? good : bad)++;
    QFile svg(iconsDir + QStringLiteral("/quorvel.svg"));
    if (svg.open(QIODevice::ReadOnly) && svg.readAll() == applicationIconSvg()) {
        ++good;
    } else {
        std::fprintf(stderr, "%s is missing or not what the drawing makes\n", qPrintable(svg.fileName()));
        ++bad;
    }
    std::printf("%d images of the right size, %d wrong or missing\n", good, bad);
    return bad == 0 ? 0 : 1;
}

} // namespace

namespace quorvel::images {
std::vector<ImageSpec> applicationImages() {
    std::vector<ImageSpec> all;
    for (auto group : {backgroundImages(), buttonImages(), controlImages()})
        all.insert(all.end(), group.begin(), group.end());
    return all;
}
} // namespace quorvel::images

int main(int argc, char** argv) {
    const QStringList args = [&] {
        QStringList list;
        for (int i = 1; i < argc; ++i) list << QString::fromLocal8Bit(argv[i]);
        return list;
    }();
    if (args.size() == 3 && args[0] == QStringLiteral("--check")) return check(args[1], args[2]);
    if (args.size() == 2 && !args[0].startsWith(QLatin1Char('-'))) return write(args[0], args[1]);
    std::fprintf(stderr, "usage: quorvel-images IMAGES_DIR ICONS_DIR\n       quorvel-images --check IMAGES_DIR ICONS_DIR\n");
    return 2;
}
