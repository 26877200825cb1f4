#pragma once
#include <QImage>
#include <QSize>
#include <QString>
#include <functional>
#include <vector>

namespace quorvel::images {

// One image the program shows: its file name, its size in points and how to
// draw it at a given number of pixels per point.
struct ImageSpec {
    QString name;
    QSize points;
    std::function<QImage(double scale)> draw;
};

// Every image, in the order they are written.
std::vector<ImageSpec> applicationImages();

// The application icon at `pixels` x `pixels`.
QImage applicationIcon(int pixels);
std::vector<int> iconSizes();
// The same icon as SVG (quorvel.svg), for any size.
QByteArray applicationIconSvg();

// Groups of images, one source file each.
std::vector<ImageSpec> backgroundImages();  // QuorvelBG, fmBG, artistBg_4delete, wave, cursor, marker, no_artwork
std::vector<ImageSpec> buttonImages();      // play, stop, BigPlay, exit, bigRecordRed, bigStopRed
std::vector<ImageSpec> controlImages();     // slider and switch images

} // namespace quorvel::images
