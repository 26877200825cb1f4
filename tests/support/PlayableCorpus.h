#pragma once
// The part of the hostile corpus that every player plays: songs made by the
// ffmpeg program in the kinds the pipeline once refused or made wrong. AAC in
// MPEG-4 with composition-time tables (two packets sharing a presentation
// time) and with edit lists (a leading empty edit, an edit into the media);
// E-AC-3, FLAC, Opus and ALAC in ".m4a"; 8-bit, 24-bit and float WAV; songs
// at 8 and 96 kHz; mono and six channels. Each must make a ringtone.
#include "HostileCorpus.h"

#include <vector>

namespace quorvel::samples {

// The playable files (Expect::Plays), or empty after printing why one could not be made.
std::vector<HostileFile> playableCorpus(const QString& scratchDir);

// `m4a` (its "moov" after its "mdat") with a composition-time table in its
// one track: sample i gets the offset offsets[i % size]. Empty when the
// atoms cannot be followed.
QByteArray withCompositionOffsets(const QByteArray& m4a, const std::vector<uint32_t>& offsets);

} // namespace quorvel::samples
