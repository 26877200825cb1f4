#pragma once
#include <QString>

namespace quorvel {

// Where the application keeps its files.
//   home:       $QUORVEL_HOME, else $XDG_DATA_HOME/quorvel (~/.local/share/quorvel)
//   documents:  home/Documents, created on first use
//   resources:  $QUORVEL_RESOURCES, else the installed or source resource folder
// Values are read from the environment on every call, so tests can switch homes.
class Paths {
public:
    static QString applicationHome();
    static QString documentsDirectory();
    static QString documentPath(const QString& fileName);
    static QString resourceDirectory();
    static QString resourcePath(const QString& name);
};

} // namespace quorvel
