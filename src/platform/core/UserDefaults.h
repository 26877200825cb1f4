#pragma once
// Per-application user defaults, kept in QSettings' INI format: the standard
// ones (the rating prompt's counters) at <home>/Preferences.ini, the window's
// (its scale, place and size) at <config>/Window.ini. Every access takes one
// lock, so threads may share it;
// a caller that must read, change and write a value atomically holds the lock
// returned by lock() around the whole step.
#include <QString>
#include <QVariant>
#include <memory>
#include <mutex>

class QSettings;

namespace quorvel {

class UserDefaults {
public:
    static UserDefaults& standardUserDefaults();
    static UserDefaults& windowDefaults();

    // The files behind the two, for the current homes.
    static QString standardFilePath();
    static QString windowFilePath();

    double doubleForKey(const QString& key);
    long long integerForKey(const QString& key);
    bool boolForKey(const QString& key);
    QString stringForKey(const QString& key); // empty when not set
    bool hasKey(const QString& key);

    void setDouble(const QString& key, double value);
    void setInteger(const QString& key, long long value);
    void setBool(const QString& key, bool value);
    void setString(const QString& key, const QString& value);
    void removeObject(const QString& key);
    bool synchronize(); // writes through to disk

    std::unique_lock<std::recursive_mutex> lock() { return std::unique_lock(mutex_); }

    // Points the defaults at the current application home again (tests switch
    // homes, and the start-up's move of old files changes what is on disk).
    void reload();

    UserDefaults(const UserDefaults&) = delete;
    UserDefaults& operator=(const UserDefaults&) = delete;
    ~UserDefaults();

private:
    explicit UserDefaults(QString (*filePath)());
    QSettings& settings();
    QString (*filePath_)();
    std::recursive_mutex mutex_;
    std::unique_ptr<QSettings> settings_;
};

} // namespace quorvel
