#include "MediaTestSongs.h"

#include "TestSupport.h"

#include <QFileInfo>
#include <chrono>
#include <functional>
#include <thread>

namespace quorvel::test {

MediaTestSongs& MediaTestSongs::shared() {
    static MediaTestSongs songs;
    return songs;
}

MediaTestSongs::MediaTestSongs() {
    folder_ = qEnvironmentVariable("QUORVEL_TEST_SONGS");
    if (folder_.isEmpty()) folder_ = dir_.path();
}

QString MediaTestSongs::song(const QString& extension) {
    const QString path = folder_ + QStringLiteral("/song.") + extension;
    if (QFileInfo::exists(path)) return path;
    QStringList args = {QStringLiteral("-v"), QStringLiteral("error"), QStringLiteral("-f"), QStringLiteral("lavfi"),
                        QStringLiteral("-i"), QStringLiteral("sine=f=440:d=60"), QStringLiteral("-f"),
                        QStringLiteral("lavfi"), QStringLiteral("-i"), QStringLiteral("sine=f=660:d=60"),
                        QStringLiteral("-filter_complex"), QStringLiteral("[0][1]amerge=inputs=2"),
                        QStringLiteral("-ar"), QStringLiteral("44100")};
    if (extension == QLatin1String("mp3")) args << QStringLiteral("-c:a") << QStringLiteral("libmp3lame") << QStringLiteral("-b:a") << QStringLiteral("192k");
    if (extension == QLatin1String("m4a")) args << QStringLiteral("-c:a") << QStringLiteral("aac") << QStringLiteral("-b:a") << QStringLiteral("256k");
    args << path;
    runTool(QStringLiteral("ffmpeg"), args);
    return path;
}

QString MediaTestSongs::tone() {
    const QString path = folder_ + QStringLiteral("/tone.wav");
    if (!QFileInfo::exists(path)) writeWav16(path, sine(1000.0, 20.0, 44100, 0.5), 44100, 1);
    return path;
}

bool waitFor(const std::function<bool()>& done, int ms) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(ms);
    while (!done()) {
        if (std::chrono::steady_clock::now() > deadline) return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
    return true;
}

} // namespace quorvel::test
