#pragma once
// Moves what older versions kept in the application's home to the XDG
// folders where it now belongs: the song cache (<home>/.SongCache) to the
// cache folder, and the window's settings (the "window_" keys of
// <home>/Preferences.ini) to the config folder. Run once per start-up, under
// the documents folder's start-up lock, before anything reads those places;
// later runs find nothing to move.
//
// Nothing is lost: a setting already in the new file wins over the old one,
// and a cached decode is only dropped when the same name is already in the
// new folder (or when the old folder cannot be moved there, as between two
// file systems: a cache is made again on demand, and copying up to 2 GB would
// hold up the start).
#include <QString>

namespace quorvel {

class FolderMigration {
public:
    static constexpr const char* kWindowKeyPrefix = "window_";

    // What was moved, for the log; empty when nothing was found.
    static QStringList moveOldFiles();

private:
    static bool moveSongCache(QStringList* done);
    static bool moveWindowSettings(QStringList* done);
};

} // namespace quorvel
