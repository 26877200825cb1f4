#pragma once
// Seed corpora of the fuzz targets in fuzz/: small valid files of each kind,
// made by SampleFiles. Targets that take a file name read the extension from
// the input's first byte (an index into fuzzExtensions()); their seeds carry
// that byte in front of the file.
#include <QString>
#include <QStringList>

namespace quorvel::samples {

// The extensions a song file can have, in the order the first byte selects them.
const QStringList& fuzzExtensions();
// The extension selected by an input's first byte.
QString fuzzExtensionFor(unsigned char selector);

// Writes DIR/<target>/ for every fuzz target; false on failure.
bool writeSeedCorpora(const QString& dir, const QString& scratchDir);

} // namespace quorvel::samples
