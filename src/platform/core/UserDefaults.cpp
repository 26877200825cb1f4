#include "platform/core/UserDefaults.h"

#include "platform/core/Paths.h"

#include <QSettings>

namespace quorvel {

UserDefaults& UserDefaults::standardUserDefaults() {
    static UserDefaults defaults(&standardFilePath);
    return defaults;
}

UserDefaults& UserDefaults::windowDefaults() {
    static UserDefaults defaults(&windowFilePath);
    return defaults;
}

QString UserDefaults::standardFilePath() { return Paths::applicationHome() + QStringLiteral("/Preferences.ini"); }

QString UserDefaults::windowFilePath() { return Paths::configDirectory() + QStringLiteral("/Window.ini"); }

UserDefaults::UserDefaults(QString (*filePath)()) : filePath_(filePath) {}
UserDefaults::~UserDefaults() = default;

QSettings& UserDefaults::settings() {
    // A changed home (tests switch them) gives another file.
    const QString path = filePath_();
    if (settings_ && settings_->fileName() != path) {
        settings_->sync();
        settings_.reset();
    }
    if (!settings_) settings_ = std::make_unique<QSettings>(path, QSettings::IniFormat);
    return *settings_;
}

void UserDefaults::reload() {
    std::lock_guard l(mutex_);
    if (settings_) settings_->sync();
    settings_.reset();
}

double UserDefaults::doubleForKey(const QString& key) {
    std::lock_guard l(mutex_);
    return settings().value(key, 0.0).toDouble();
}
long long UserDefaults::integerForKey(const QString& key) {
    std::lock_guard l(mutex_);
    return settings().value(key, 0).toLongLong();
}
bool UserDefaults::boolForKey(const QString& key) {
    std::lock_guard l(mutex_);
    return settings().value(key, false).toBool();
}
QString UserDefaults::stringForKey(const QString& key) {
    std::lock_guard l(mutex_);
    return settings().value(key).toString();
}
bool UserDefaults::hasKey(const QString& key) {
    std::lock_guard l(mutex_);
    return settings().contains(key);
}
void UserDefaults::setDouble(const QString& key, double value) {
    std::lock_guard l(mutex_);
    settings().setValue(key, value);
}
void UserDefaults::setInteger(const QString& key, long long value) {
    std::lock_guard l(mutex_);
    settings().setValue(key, value);
}
void UserDefaults::setBool(const QString& key, bool value) {
    std::lock_guard l(mutex_);
    settings().setValue(key, value);
}
void UserDefaults::setString(const QString& key, const QString& value) {
    std::lock_guard l(mutex_);
    settings().setValue(key, value);
}
void UserDefaults::removeObject(const QString& key) {
    std::lock_guard l(mutex_);
    settings().remove(key);
}
bool UserDefaults::synchronize() {
    std::lock_guard l(mutex_);
    settings().sync();
    return settings().status() == QSettings::NoError;
}

} // namespace quorvel
