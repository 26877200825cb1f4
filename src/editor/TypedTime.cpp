#include "editor/TypedTime.h"

#include "editor/GenericHelper.h"

#include <QRegularExpression>
#include <cmath>

namespace quorvel {

namespace {

std::optional<float> refuse(QString* errorKey, const char* key) {
    if (errorKey) *errorKey = QString::fromLatin1(key);
    return std::nullopt;
}

} // namespace

std::optional<float> TypedTime::parse(const QString& text, QString* errorKey) {
    static const QRegularExpression pattern(
        QStringLiteral("^(?:(\\d{1,4}):)?(\\d{1,6}(?:[.,]\\d*)?|[.,]\\d+)\\s*s?$"));
    const QRegularExpressionMatch match = pattern.match(text.trimmed());
    if (!match.hasMatch()) return refuse(errorKey, kUnreadableKey);
    QString secondsText = match.captured(2);
    secondsText.replace(QLatin1Char(','), QLatin1Char('.'));
    if (secondsText.endsWith(QLatin1Char('.'))) secondsText.chop(1);
    bool ok = false;
    const double seconds = secondsText.toDouble(&ok);
    if (!ok || !std::isfinite(seconds)) return refuse(errorKey, kUnreadableKey);
    const bool withMinutes = match.hasCaptured(1);
    // "2:99" means nothing; a tenth that rounds up to 60 ("1:59.97") still is a time.
    if (withMinutes && seconds >= 60.0) return refuse(errorKey, kSecondsKey);
    const double minutes = withMinutes ? match.captured(1).toDouble() : 0.0;
    return GenericHelper::roundedToTenth(minutes * 60.0 + seconds);
}

} // namespace quorvel
