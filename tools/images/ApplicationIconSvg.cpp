// The application icon as scalable SVG: the same drawing as the large PNGs
// (tile, glow, waveform, rings), for desktops that scale icons freely.
#include "Effects.h"
#include "Images.h"

#include <QColor>
#include <QStringList>
#include <cmath>

namespace quorvel::images {

namespace {
QString hex(const QColor& c) { return c.name(QColor::HexRgb); }
QString num(double v) { return QString::number(v, 'g', 6); }
} // namespace

QByteArray applicationIconSvg() {
    const double margin = 32, size = 512 - 2 * margin, corner = size * 0.22;
    QStringList bars;
    const double barWidth = 32;
    for (auto [x, half] : std::initializer_list<std::pair<double, double>>{{152, 58}, {204, 108}, {256, 150}, {308, 108}, {360, 58}})
        bars << QStringLiteral("    <rect x=\"%1\" y=\"%2\" width=\"%3\" height=\"%4\" rx=\"%5\"/>")
                    .arg(num(x - barWidth / 2), num(256 - half), num(barWidth), num(2 * half), num(barWidth / 2));
    QStringList rings;
    for (int ring = 0; ring < 2; ++ring) {
        const double r = 152 + ring * 38, dx = r * std::cos(M_PI / 6), dy = r * std::sin(M_PI / 6);
        const QString arc = QStringLiteral("M %1 %2 A %3 %3 0 0 0 %4 %5");
        rings << QStringLiteral("  <path d=\"%1 %2\" stroke-opacity=\"%3\"/>")
                     .arg(arc.arg(num(256 + dx), num(256 + dy), num(r), num(256 + dx), num(256 - dy)),
                          arc.arg(num(256 - dx), num(256 - dy), num(r), num(256 - dx), num(256 + dy)),
                          ring == 0 ? QStringLiteral("0.8") : QStringLiteral("0.45"));
    }
    const QString svg = QStringLiteral(R"svg(<?xml version="1.0" encoding="UTF-8"?>
<svg xmlns="http://www.w3.org/2000/svg" width="512" height="512" viewBox="0 0 512 512">
  <title>Quorvel</title>
  <defs>
    <linearGradient id="ground" x1="0" y1="%1" x2="0" y2="%2" gradientUnits="userSpaceOnUse">
      <stop offset="0" stop-color="#272d39"/>
      <stop offset="1" stop-color="#0e1116"/>
    </linearGradient>
    <radialGradient id="glow" cx="256" cy="300" r="230" gradientUnits="userSpaceOnUse">
      <stop offset="0" stop-color="%3" stop-opacity="0.28"/>
      <stop offset="1" stop-color="%3" stop-opacity="0"/>
    </radialGradient>
    <linearGradient id="tone" x1="0" y1="90" x2="0" y2="422" gradientUnits="userSpaceOnUse">
      <stop offset="0" stop-color="%4"/>
      <stop offset="0.55" stop-color="%3"/>
      <stop offset="1" stop-color="%5"/>
    </linearGradient>
    <filter id="shadow" x="-20%" y="-20%" width="140%" height="140%">
      <feGaussianBlur in="SourceAlpha" stdDeviation="8"/>
      <feOffset dy="8"/>
      <feComponentTransfer><feFuncA type="linear" slope="0.45"/></feComponentTransfer>
      <feMerge><feMergeNode/><feMergeNode in="SourceGraphic"/></feMerge>
    </filter>
  </defs>
  <g filter="url(#shadow)">
    <rect x="%6" y="%6" width="%7" height="%7" rx="%8" fill="url(#ground)"/>
  </g>
  <rect x="%6" y="%6" width="%7" height="%7" rx="%8" fill="url(#glow)"/>
  <rect x="%9" y="%9" width="%10" height="%10" rx="%11" fill="none" stroke="#ffffff" stroke-opacity="0.1" stroke-width="4"/>
  <g fill="url(#tone)" filter="url(#shadow)">
%12
  </g>
  <g fill="none" stroke="%3" stroke-width="18" stroke-linecap="round">
%13
  </g>
</svg>
)svg")
                            .arg(num(margin), num(512 - margin), hex(Palette::accent()), hex(Palette::accentLight()),
                                 hex(Palette::accentDark()), num(margin), num(size), num(corner), num(margin + 2))
                            .arg(num(size - 4), num(corner - 2), bars.join(QLatin1Char('\n')), rings.join(QLatin1Char('\n')));
    return svg.toUtf8();
}

} // namespace quorvel::images
