#include "ringtones/RingtoneFileName.h"

#include <QTextBoundaryFinder>
#include <algorithm>

namespace quorvel {

QString RingtoneFileName::baseOf(const QString& workingFileName) {
    QString base = workingFileName.chopped(std::min<qsizetype>(4, workingFileName.size()));
    qsizetype dots = 0;
    while (dots < base.size() && base[dots] == QLatin1Char('.')) ++dots;
    base.remove(0, dots);
    return base.isEmpty() ? QStringLiteral("_") : base;
}

QString RingtoneFileName::withCounter(const QString& base, qint32 counter) {
    const QString suffix = QStringLiteral("-%1.m4r").arg(counter);
    const qsizetype room = kMaxBytes - suffix.toUtf8().size();
    if (base.toUtf8().size() <= room) return base + suffix;
    // Whole characters only (a letter with its accents, an emoji with its joiners).
    QTextBoundaryFinder characters(QTextBoundaryFinder::Grapheme, base);
    qsizetype cut = 0, bytes = 0;
    for (qsizetype next = characters.toNextBoundary(); next > 0; next = characters.toNextBoundary()) {
        bytes += base.mid(cut, next - cut).toUtf8().size();
        if (bytes > room) break;
        cut = next;
    }
    return base.left(cut) + suffix;
}

} // namespace quorvel
