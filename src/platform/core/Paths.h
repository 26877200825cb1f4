#pragma once
#include <QString>

namespace quorvel {

// Where the application keeps its files.
//   home:       $QUORVEL_HOME, else $XDG_DATA_HOME/quorvel (~/.local/share/quorvel); the
//               documents and the user defaults (a relative XDG_*_HOME is ignored)
//   documents:  home/Documents, created on first use
//   cache:      $QUORVEL_HOME/Cache, else $XDG_CACHE_HOME/quorvel (~/.cache/quorvel): what can be made again
//   config:     $QUORVEL_HOME/Config, else $XDG_CONFIG_HOME/quorvel (~/.config/quorvel): window settings
// (Files that older versions kept in home are moved by FolderMigration.)
//   resources:  $QUORVEL_RESOURCES, else share/quorvel beside the program's folder (bin/
//               installed, the build's share/quorvel in the build tree)
//   images:     resources/images (each at 1x as name.png and 2x as name@2x.png)
// Values are read from the environment on every call, so tests can switch homes.
class Paths {
public:
    static QString applicationHome();
    static QString documentsDirectory();
    static QString documentPath(const QString& fileName);
    // Both programs share these folders, so they are named after the project,
    // not after the running program. Created on first use.
    static QString cacheDirectory();
    static QString configDirectory();
    // cache/SongCache: songs decoded to WAV (see SongWavCache).
    static QString songCacheDirectory();
    static QString resourceDirectory();
    static QString resourcePath(const QString& name);
    static QString imagePath(const QString& name);
};

} // namespace quorvel
