// The music library's reading of a song file: title, artist and the cover
// (decoded and scaled as the picker shows it). The first byte picks the
// file's extension, the rest is the file.
#include "FuzzInput.h"
#include "SeedCorpus.h"
#include "platform/musiclibrary/MPMediaItem.h"

using namespace quorvel;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 1) return 0;
    const QString path = fuzz::writeInput(data + 1, size - 1, samples::fuzzExtensionFor(data[0]));
    const MPMediaItem item = MPMediaItem::itemWithFile(path);
    fuzz::check(!item.isNull() && !item.title().isEmpty(), "every file with a song extension is listed with a title");
    const QImage artwork = item.artworkImageWithSize(QSize(64, 64));
    fuzz::check(artwork.isNull() || (artwork.width() <= 64 && artwork.height() <= 64), "the cover fits the size asked for");
    return 0;
}
