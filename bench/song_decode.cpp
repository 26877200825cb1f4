// Decodes a song that the library offers as a WAV (a FLAC, say) into the song
// cache, as the first use of such a song does: the library's look at the file,
// then the whole decode to a 16-bit WAV. Prints the wall time in seconds and
// the WAV's path. The cache lives under $QUORVEL_HOME.
#include "platform/musiclibrary/MPMediaItem.h"
#include "platform/musiclibrary/SongWavCache.h"

#include <QCoreApplication>
#include <chrono>
#include <cstdio>

using namespace quorvel;

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    if (argc < 2) {
        std::fprintf(stderr, "usage: song_decode <song file>\n");
        return 2;
    }
    const auto start = std::chrono::steady_clock::now();
    const MPMediaItem item = MPMediaItem::itemWithFile(QString::fromLocal8Bit(argv[1]));
    if (!item.isOfferedAsWav()) {
        std::fprintf(stderr, "song_decode: %s is not a song the library decodes\n", argv[1]);
        return 1;
    }
    SongWavCache cache;
    QString error;
    const QString wav = cache.fileForItem(item, &error);
    if (wav.isEmpty()) {
        std::fprintf(stderr, "song_decode: %s\n", error.toUtf8().constData());
        return 1;
    }
    const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    std::printf("%.4f %s\n", seconds, wav.toUtf8().constData());
    return 0;
}
