#pragma once
// The libraries the programs are built on and their versions as this process
// runs them: asked of each library where it can say (Qt, FFmpeg, SQLite, SDL),
// else the version of the headers it was built with (Rubber Band and TagLib
// have no call for it; their shared-library versions pin the interface).
#include <QList>
#include <QString>

namespace quorvel {

class LinkedLibraries {
public:
    struct Library {
        QString name;
        QString version;
    };
    static QList<Library> all();
};

} // namespace quorvel
