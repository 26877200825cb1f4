#pragma once
// The MP4v2-style steps of the ringtone writer: create the file, set the time
// scales, add the AAC track and its decoder configuration, write one sample
// per frame, close; and modify an existing file's tags in place.
// Over Mp4AudioWriter (writing) and Mp4TagEditor (tags).
#include "platform/aac/Mp4AudioWriter.h"
#include "platform/aac/Mp4TagEditor.h"

#include <QString>
#include <cstdint>
#include <memory>
#include <optional>

namespace quorvel {

struct MP4File;
using MP4FileHandle = MP4File*;
using MP4TrackId = uint32_t;
using MP4EditId = uint32_t;
using MP4Duration = uint64_t;
using MP4Timestamp = uint64_t;

constexpr MP4TrackId MP4_INVALID_TRACK_ID = 0;
constexpr MP4EditId MP4_INVALID_EDIT_ID = 0;
constexpr MP4Duration MP4_INVALID_DURATION = ~MP4Duration(0);
constexpr uint8_t MP4_MPEG4_AUDIO_TYPE = Mp4AudioWriter::kMpeg4AudioType;
constexpr uint32_t MP4_DETAILS_ERROR = 1;

// Writing a new file (replaces an existing one). Null when it cannot be created.
MP4FileHandle MP4Create(const char* fileName, uint32_t verbosity = 0, uint32_t flags = 0);
bool MP4SetTimeScale(MP4FileHandle file, uint32_t value);
MP4TrackId MP4AddAudioTrack(MP4FileHandle file, uint32_t timeScale, MP4Duration sampleDuration,
                            uint8_t audioType = MP4_MPEG4_AUDIO_TYPE);
bool MP4SetAudioProfileLevel(MP4FileHandle file, uint8_t value);
bool MP4SetTrackESConfiguration(MP4FileHandle file, MP4TrackId track, const uint8_t* config, uint32_t size);
// An edit that starts the presentation `startTime` samples into the track
// (past the encoder's priming) and lasts `duration` samples (0: to the end).
MP4EditId MP4AddTrackEdit(MP4FileHandle file, MP4TrackId track, MP4EditId editId = MP4_INVALID_EDIT_ID,
                          MP4Timestamp startTime = 0, MP4Duration duration = 0, bool dwell = false);
bool MP4SetTrackEditDuration(MP4FileHandle file, MP4TrackId track, MP4EditId editId, MP4Duration duration);
bool MP4WriteSample(MP4FileHandle file, MP4TrackId track, const uint8_t* bytes, uint32_t numBytes,
                    MP4Duration duration = MP4_INVALID_DURATION, MP4Duration renderingOffset = 0,
                    bool isSyncSample = true);

// Why the last step on a written file failed ("No space left on device"); empty when none did.
QString MP4GetLastError(MP4FileHandle file);

// Tags of an existing file. Null when it cannot be opened for modification.
MP4FileHandle MP4Modify(const char* fileName, uint32_t verbosity = 0, uint32_t flags = 0);
struct MP4Tags {
    std::optional<QString> comments;
    std::optional<uint8_t> mediaType;
};
MP4Tags* MP4TagsAlloc();
bool MP4TagsFetch(MP4Tags* tags, MP4FileHandle file);
bool MP4TagsSetComments(MP4Tags* tags, const char* comments);
bool MP4TagsSetMediaType(MP4Tags* tags, const uint8_t* mediaType);
// Writes the comment and media type to the file; every other tag stays.
bool MP4TagsStore(MP4Tags* tags, MP4FileHandle file);
void MP4TagsFree(MP4Tags* tags);

struct MP4TagsFreer {
    void operator()(MP4Tags* tags) const { MP4TagsFree(tags); }
};
using MP4TagsPtr = std::unique_ptr<MP4Tags, MP4TagsFreer>;

// Completes a written file (or releases a modified one). False when the file
// could not be completed, with the reason in *lastError when asked for.
bool MP4Close(MP4FileHandle file, QString* lastError = nullptr);

struct MP4Closer {
    void operator()(MP4File* file) const { MP4Close(file); }
};
using MP4FilePtr = std::unique_ptr<MP4File, MP4Closer>;

} // namespace quorvel
