#pragma once
// The corpus of broken files in tests/data/hostile: valid files cut short,
// empty files, random bytes under every song extension, chunk and atom sizes
// that are huge or wrap, a WAV whose "data" runs past the end of the file, an
// MP3 that is really text, an M4A without "moov". Made from SampleFiles by a
// seeded generator, so the same FFmpeg makes the same bytes.
//
// MANIFEST lists every file with what the readers must do with it:
//   refused  every reader gives an error (null handle, error status, failed import)
//   damaged  a reader may deliver what it can, but must end cleanly or fail clearly
//   plays    a song every player plays (PlayableCorpus): it is imported and
//            makes a ringtone as long as it is, up to the 3 s asked for
#include <QByteArray>
#include <QString>
#include <cstdint>
#include <vector>

namespace quorvel::samples {

enum class Expect { Refused, Damaged, Plays };

struct HostileFile {
    QString name;
    Expect expect = Expect::Damaged;
    QString what; // one line on how it is broken
    QByteArray bytes;
};

constexpr uint32_t kHostileSeed = 20261207;

// Every file of the corpus; empty when a valid source could not be made.
std::vector<HostileFile> hostileCorpus(const QString& scratchDir, uint32_t seed = kHostileSeed);
// Writes the corpus and its MANIFEST into `dir`; false on failure.
bool writeHostileCorpus(const QString& dir, const QString& scratchDir, uint32_t seed = kHostileSeed);
// The MANIFEST of `dir` (bytes left empty; read the file at dir/name).
std::vector<HostileFile> readHostileManifest(const QString& dir);

} // namespace quorvel::samples
