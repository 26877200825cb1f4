#pragma once
// Songs for the export tests, made once per test program by ffmpeg in a
// temporary folder: a 60 s stereo piece (two tones) in each format the
// library lists, and a mono constant tone for measuring the mix.
#include <QString>
#include <QTemporaryDir>
#include <functional>

namespace quorvel::test {

class MediaTestSongs {
public:
    static MediaTestSongs& shared();
    // "mp3", "m4a", "wav" or "aif": a 60 s stereo song of that kind.
    QString song(const QString& extension);
    // A 20 s mono 1 kHz tone at half scale, 16-bit WAV.
    QString tone();
    // $QUORVEL_TEST_SONGS when set (a child process reusing its parent's songs).
    QString folder() const { return folder_; }

private:
    MediaTestSongs();
    QTemporaryDir dir_;
    QString folder_;
};

// Blocks until `done` is true, up to `ms`, without an event loop.
bool waitFor(const std::function<bool()>& done, int ms = 60000);

} // namespace quorvel::test
