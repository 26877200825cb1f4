#pragma once
#include <QString>

namespace quorvel {

// Where the application keeps its files.
//   home:       $QUORVEL_HOME, else $XDG_DATA_HOME/quorvel (~/.local/share/quorvel)
//   documents:  home/Documents, created on first use
//   resources:  $QUORVEL_RESOURCES, else the installed or source resource folder
//   images:     resources/images (each at 1x as name.png and 2x as name@2x.png)
// Values are read from the environment on every call, so tests can switch homes.
class Paths {
public:
    static QString applicationHome();
    static QString documentsDirectory();
    static QString documentPath(const QString& fileName);
    static QString resourceDirectory();
    static QString resourcePath(const QString& name);
    static QString imagePath(const QString& name);
};

} // namespace quorvel
