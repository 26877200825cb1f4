// A text too wide for its fixed place gets a smaller font, never below the
// smallest size; one that fits keeps the style sheet's font.
#include "ui/controls/TextFit.h"

#include <QFontMetrics>
#include <QLabel>
#include <QPushButton>
#include <gtest/gtest.h>

using namespace quorvel;

namespace {
int widestLine(const QWidget& widget, const QString& text) {
    int widest = 0;
    for (const QString& line : text.split(QLatin1Char('\n')))
        widest = std::max(widest, QFontMetrics(widget.font()).horizontalAdvance(line));
    return widest;
}
} // namespace

TEST(TextFit, ALongTranslationShrinksUntilEveryLineFits) {
    QWidget screen;
    screen.setStyleSheet(QStringLiteral("QLabel, QPushButton { font-size: 14px; font-weight: bold; }"));
    QLabel fits(QStringLiteral("Pitch"), &screen);
    fits.setGeometry(0, 0, 80, 16);
    QLabel tooWide(QStringLiteral("Einblenden und Ausblenden"), &screen);
    tooWide.setGeometry(0, 20, 180, 16);
    QPushButton twoLines(QStringLiteral("●\nAufnehmen"), &screen);
    twoLines.setGeometry(0, 40, 70, 40);

    EXPECT_EQ(TextFit::shrinkToFit(&fits, 6), 14);
    EXPECT_TRUE(fits.styleSheet().isEmpty());

    const int shrunk = TextFit::shrinkToFit(&tooWide, 6);
    EXPECT_LT(shrunk, 14);
    tooWide.ensurePolished();
    EXPECT_EQ(tooWide.font().pixelSize(), shrunk) << "the widget's own rule wins over the screen's";
    EXPECT_LE(widestLine(tooWide, tooWide.text()), 180 - 6);
    EXPECT_GT(shrunk, 9) << "no smaller than it needs";

    const int button = TextFit::shrinkToFit(&twoLines, 8);
    twoLines.ensurePolished();
    EXPECT_LE(widestLine(twoLines, twoLines.text()), 70 - 8);
    EXPECT_EQ(twoLines.font().pixelSize(), button);

    // Never below the smallest size, even where nothing fits.
    QLabel hopeless(QStringLiteral("Donaudampfschifffahrtsgesellschaftskapitän"), &screen);
    hopeless.setGeometry(0, 90, 40, 16);
    EXPECT_EQ(TextFit::shrinkToFit(&hopeless, 0, 9), 9);
}
