#pragma once
// One stored ringtone: a row of the "Ringtone" entity, its attributes as
// properties. Numbers and data that may be empty are std::optional / null.
#include "platform/store/NSManagedObject.h"

#include <QByteArray>
#include <QDateTime>
#include <QString>
#include <optional>

namespace quorvel {

class Ringtone : public NSManagedObject {
public:
    // Makes objects of the "Ringtone" entity instances of this class.
    static void registerClass();

    QString artist() const { return valueForKey(QStringLiteral("artist")).toString(); }
    void setArtist(const QString& artist) { setValue(artist, QStringLiteral("artist")); }
    std::optional<double> start() const { return optionalValueForKey<double>(QStringLiteral("start")); }
    void setStart(std::optional<double> start) { setOptionalValue(start, QStringLiteral("start")); }
    QString file() const { return valueForKey(QStringLiteral("file")).toString(); }
    void setFile(const QString& file) { setValue(file, QStringLiteral("file")); }
    QDateTime date() const { return valueForKey(QStringLiteral("date")).toDateTime(); }
    void setDate(const QDateTime& date) { setValue(date, QStringLiteral("date")); }
    std::optional<float> duration() const { return optionalValueForKey<float>(QStringLiteral("duration")); }
    void setDuration(std::optional<float> seconds) { setOptionalValue(seconds, QStringLiteral("duration")); }
    // PNG data of the artwork; a null QByteArray when there is none.
    QByteArray image() const { return valueForKey(QStringLiteral("image")).toByteArray(); }
    void setImage(const QByteArray& png) { setValue(png, QStringLiteral("image")); }
    QString title() const { return valueForKey(QStringLiteral("title")).toString(); }
    void setTitle(const QString& title) { setValue(title, QStringLiteral("title")); }
    QString song() const { return valueForKey(QStringLiteral("song")).toString(); }
    void setSong(const QString& song) { setValue(song, QStringLiteral("song")); }
    std::optional<qint32> counter() const { return optionalValueForKey<qint32>(QStringLiteral("counter")); }
    void setCounter(std::optional<qint32> counter) { setOptionalValue(counter, QStringLiteral("counter")); }
    std::optional<double> fadein() const { return optionalValueForKey<double>(QStringLiteral("fadein")); }
    void setFadein(std::optional<double> v) { setOptionalValue(v, QStringLiteral("fadein")); }
    std::optional<double> fadeout() const { return optionalValueForKey<double>(QStringLiteral("fadeout")); }
    void setFadeout(std::optional<double> v) { setOptionalValue(v, QStringLiteral("fadeout")); }
    std::optional<double> pitch() const { return optionalValueForKey<double>(QStringLiteral("pitch")); }
    void setPitch(std::optional<double> v) { setOptionalValue(v, QStringLiteral("pitch")); }
    std::optional<double> speed() const { return optionalValueForKey<double>(QStringLiteral("speed")); }
    void setSpeed(std::optional<double> v) { setOptionalValue(v, QStringLiteral("speed")); }
};

} // namespace quorvel
