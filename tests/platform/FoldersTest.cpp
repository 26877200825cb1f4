// The XDG folders and the one-time move of files from the places older
// versions used.
#include "TestSupport.h"
#include "platform/core/FolderMigration.h"
#include "platform/core/Paths.h"
#include "platform/core/UserDefaults.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSettings>
#include <QTemporaryDir>
#include <gtest/gtest.h>
#include <map>

using namespace quorvel;

namespace {

// Sets (or, given an empty value, unsets) variables for the object's life.
class Env {
public:
    Env(std::initializer_list<std::pair<const char*, QString>> values) {
        for (const auto& [name, value] : values) {
            saved_[name] = qEnvironmentVariableIsSet(name) ? std::optional(qgetenv(name)) : std::nullopt;
            if (value.isEmpty()) qunsetenv(name);
            else qputenv(name, value.toUtf8());
        }
    }
    ~Env() {
        for (const auto& [name, value] : saved_) {
            if (value) qputenv(name.c_str(), *value);
            else qunsetenv(name.c_str());
        }
    }

private:
    std::map<std::string, std::optional<QByteArray>> saved_;
};

void write(const QString& path, const QByteArray& bytes) {
    QDir().mkpath(QFileInfo(path).absolutePath());
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write(bytes);
}

QByteArray read(const QString& path) {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

} // namespace

TEST(Folders, WithoutAHomeTheXdgFoldersAreUsedAndRelativeOnesIgnored) {
    QTemporaryDir user;
    const QString u = user.path();
    {
        Env env{{"QUORVEL_HOME", {}}, {"HOME", u}, {"XDG_DATA_HOME", u + "/data"},
                {"XDG_CACHE_HOME", u + "/cache"}, {"XDG_CONFIG_HOME", u + "/config"}};
        EXPECT_EQ(Paths::applicationHome(), u + "/data/quorvel");
        EXPECT_EQ(Paths::documentsDirectory(), u + "/data/quorvel/Documents");
        EXPECT_EQ(Paths::cacheDirectory(), u + "/cache/quorvel");
        EXPECT_EQ(Paths::songCacheDirectory(), u + "/cache/quorvel/SongCache");
        EXPECT_EQ(Paths::configDirectory(), u + "/config/quorvel");
        EXPECT_EQ(UserDefaults::windowFilePath(), u + "/config/quorvel/Window.ini");
        EXPECT_EQ(UserDefaults::standardFilePath(), u + "/data/quorvel/Preferences.ini");
    }
    {
        // A relative base would depend on the folder the program started in.
        Env env{{"QUORVEL_HOME", {}}, {"HOME", u}, {"XDG_DATA_HOME", "data"},
                {"XDG_CACHE_HOME", "./cache"}, {"XDG_CONFIG_HOME", "config"}};
        EXPECT_EQ(Paths::applicationHome(), u + "/.local/share/quorvel");
        EXPECT_EQ(Paths::cacheDirectory(), u + "/.cache/quorvel");
        EXPECT_EQ(Paths::configDirectory(), u + "/.config/quorvel");
    }
    {
        // QUORVEL_HOME keeps everything under one folder.
        Env env{{"QUORVEL_HOME", u + "/one"}, {"XDG_DATA_HOME", u + "/data"}, {"XDG_CACHE_HOME", u + "/cache"}};
        EXPECT_EQ(Paths::applicationHome(), u + "/one");
        EXPECT_EQ(Paths::cacheDirectory(), u + "/one/Cache");
        EXPECT_EQ(Paths::configDirectory(), u + "/one/Config");
    }
}

TEST(Folders, ResourcesAreFoundBesideTheProgramsFolder) {
    Env env{{"QUORVEL_RESOURCES", {}}};
    // Test programs sit one folder below the build, like bin/ below the prefix.
    const QString expected = QDir::cleanPath(QCoreApplication::applicationDirPath() + "/../share/quorvel");
    EXPECT_EQ(Paths::resourceDirectory(), expected);
    EXPECT_TRUE(QFileInfo::exists(Paths::resourcePath("strings.txt")));
    EXPECT_TRUE(QFileInfo(Paths::resourcePath("demo")).isDir()) << "the build's demo songs";
}

TEST(Folders, OldFilesAreMovedOnceAndNewerSettingsWin) {
    test::TempHome home;
    const QString h = home.path();
    UserDefaults::standardUserDefaults().reload();
    UserDefaults::windowDefaults().reload();
    write(h + "/.SongCache/12-34.wav", "decoded");
    {
        QSettings old(h + "/Preferences.ini", QSettings::IniFormat);
        old.setValue("window_scale_percent", 200);
        old.setValue("window_position", "10,20");
        old.setValue("kAppiraterUseCount", 7);
        QSettings newer(h + "/Config/Window.ini", QSettings::IniFormat);
        newer.setValue("window_position", "30,40");
    }

    EXPECT_EQ(FolderMigration::moveOldFiles().size(), 2);
    EXPECT_EQ(read(h + "/Cache/SongCache/12-34.wav"), "decoded");
    EXPECT_FALSE(QFileInfo::exists(h + "/.SongCache"));
    UserDefaults& window = UserDefaults::windowDefaults();
    EXPECT_EQ(window.integerForKey("window_scale_percent"), 200);
    EXPECT_EQ(window.stringForKey("window_position"), "30,40");
    UserDefaults& standard = UserDefaults::standardUserDefaults();
    EXPECT_FALSE(standard.hasKey("window_scale_percent"));
    EXPECT_FALSE(standard.hasKey("window_position"));
    EXPECT_EQ(standard.integerForKey("kAppiraterUseCount"), 7) << "the rating counters stay";

    EXPECT_TRUE(FolderMigration::moveOldFiles().isEmpty()) << "a second start finds nothing";
    UserDefaults::standardUserDefaults().reload();
    UserDefaults::windowDefaults().reload();
}

TEST(Folders, ASongCacheMeetingANewOneKeepsTheNewDecodes) {
    test::TempHome home;
    const QString h = home.path();
    write(h + "/.SongCache/1-1.wav", "old one");
    write(h + "/.SongCache/2-2.wav", "old two");
    write(h + "/Cache/SongCache/1-1.wav", "new one");
    FolderMigration::moveOldFiles();
    EXPECT_EQ(read(h + "/Cache/SongCache/1-1.wav"), "new one");
    EXPECT_EQ(read(h + "/Cache/SongCache/2-2.wav"), "old two");
    EXPECT_FALSE(QFileInfo::exists(h + "/.SongCache"));
}
