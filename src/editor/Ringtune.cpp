#include "editor/Ringtune.h"

#include "platform/core/Paths.h"

#include <QCoreApplication>
#include <cmath>

namespace quorvel {

Ringtune::Ringtune(QUrl assetURL, QString title, QString artist, QImage artwork)
    : assetURL_(std::move(assetURL)), title_(std::move(title)), artist_(std::move(artist)),
      artwork_(std::move(artwork)) {
    setTimeRange(kCMTimeRangeInvalid);
    setSpeed(0);
    setPitch(0);
    setRecorded(false);
    setProcessed(false);
    setMp4(true);
}

CMTimeRange Ringtune::timeRange() const { return recorded_ == processed_ ? timeRange_ : kCMTimeRangeInvalid; }

void Ringtune::setSpeed(float controlPosition) {
    speedPosition_ = controlPosition;
    speed_ = float(std::pow(2.0, double(controlPosition) * 0.5));
}

void Ringtune::setPitch(float semitones) { pitch_ = float(std::pow(2.0, double(semitones) / 12.0)); }

QString Ringtune::fileName() const {
    if (!recorded_) return title_ + QStringLiteral(".m4r");
    static const QString unsafe = QStringLiteral(":/%#;@&?!\"'\\()");
    QString cleaned = artist_.left(19);
    for (QChar& c : cleaned)
        if (unsafe.contains(c)) c = QLatin1Char('_');
    return QStringLiteral("%1-%2.m4r").arg(title_, cleaned);
}

QString Ringtune::filePath() const { return Paths::documentPath(safeFileName(fileName())); }

QString Ringtune::workFilePath() {
    return Paths::documentPath(QStringLiteral(".tmpRingtone-%1.m4r").arg(QCoreApplication::applicationPid()));
}

QString Ringtune::workFileNamePattern() { return QStringLiteral(".tmpRingtone-*.m4r"); }

QString Ringtune::description() const {
    return QStringLiteral("<Ringtune \"%1\" by \"%2\" speed %3 pitch %4 range %5>")
        .arg(title_, artist_)
        .arg(speed_)
        .arg(pitch_)
        .arg(timeRange_.description());
}

QString safeFileName(const QString& name) {
    QString safe = name;
    for (QChar& c : safe)
        if (c == QLatin1Char('/') || c == QChar(0)) c = QLatin1Char('_');
    // An empty, "." or ".." title would name a hidden or special entry.
    QString stem = safe;
    if (stem.endsWith(QStringLiteral(".m4r"))) stem.chop(4);
    if (stem.isEmpty() || stem == QStringLiteral(".") || stem == QStringLiteral("..")) safe.prepend(QLatin1Char('_'));
    return safe;
}

QString describe(const Ringtune& r) { return r.description(); }

} // namespace quorvel
