#include "ProgressBar.h"

#include <algorithm>
#include <cstdio>
#include <unistd.h>

namespace quorvel::cli {

ProgressBar::ProgressBar(QString label) : label_(std::move(label)), enabled_(isatty(STDERR_FILENO) == 1) {}

ProgressBar::~ProgressBar() {
    finish();
}

void ProgressBar::update(double fraction) {
    if (!enabled_ || finished_) return;
    fraction = std::clamp(fraction, 0.0, 1.0);
    const int permille = int(fraction * 1000.0);
    if (permille == lastPermille_) return;
    lastPermille_ = permille;
    constexpr int width = 30;
    const int filled = int(fraction * width);
    QByteArray bar(filled, '#');
    bar.append(QByteArray(width - filled, '-'));
    std::fprintf(stderr, "\r%s [%s] %5.1f%%", label_.toUtf8().constData(), bar.constData(), fraction * 100.0);
    std::fflush(stderr);
}

void ProgressBar::finish() {
    if (!enabled_ || finished_) return;
    finished_ = true;
    if (lastPermille_ >= 0) std::fprintf(stderr, "\n");
    std::fflush(stderr);
}

} // namespace quorvel::cli
