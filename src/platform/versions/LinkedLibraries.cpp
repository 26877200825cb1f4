#include "platform/versions/LinkedLibraries.h"

#include "platform/audio/SdlLibrary.h"

#include <rubberband/RubberBandStretcher.h>
#include <sqlite3.h>
#include <taglib/taglib.h>
extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libavutil/avutil.h>
}

namespace quorvel {

namespace {
QString dotted(unsigned packed) {
    return QStringLiteral("%1.%2.%3").arg(AV_VERSION_MAJOR(packed)).arg(AV_VERSION_MINOR(packed)).arg(AV_VERSION_MICRO(packed));
}
} // namespace

QList<LinkedLibraries::Library> LinkedLibraries::all() {
    // The SDL the program would play through, loaded here if nothing has played yet.
    QString sdlVersion, why;
    if (const SdlLibrary* sdl = SdlLibrary::open(&why)) {
        SDL_version v{};
        sdl->GetVersion(&v);
        sdlVersion = QStringLiteral("%1.%2.%3").arg(v.major).arg(v.minor).arg(v.patch);
    } else {
        sdlVersion = why;
    }
    return {
        {QStringLiteral("Qt"), QString::fromLatin1(qVersion())},
        {QStringLiteral("FFmpeg"), QStringLiteral("%1 (libavformat %2, libavcodec %3)")
                                       .arg(QString::fromLatin1(av_version_info()), dotted(avformat_version()),
                                            dotted(avcodec_version()))},
        {QStringLiteral("Rubber Band"), QStringLiteral(RUBBERBAND_VERSION)},
        {QStringLiteral("TagLib"),
         QStringLiteral("%1.%2.%3").arg(TAGLIB_MAJOR_VERSION).arg(TAGLIB_MINOR_VERSION).arg(TAGLIB_PATCH_VERSION)},
        {QStringLiteral("SQLite"), QString::fromLatin1(sqlite3_libversion())},
        {QStringLiteral("SDL"), sdlVersion},
    };
}

} // namespace quorvel
