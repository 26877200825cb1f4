#pragma once
// The music library as the import tests see it: the generated test songs
// only (mp3, m4a, wav, aif), scanned once.
#include "editor/Ringtune.h"
#include "platform/musiclibrary/MPMediaLibrary.h"

#include <memory>

namespace quorvel::test {

MPMediaLibrary& library();
QUrl libraryURL(const QString& extension);
// A library ringtune with the segment [start, start + length) stored (none when length is 0).
std::shared_ptr<Ringtune> ringtuneFor(const QUrl& url, double start, double length);

} // namespace quorvel::test
