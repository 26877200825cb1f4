#include "platform/aac/Mp4v2Api.h"

#include <QFile>
#include <cstdio>

namespace quorvel {

struct MP4File {
    std::unique_ptr<Mp4AudioWriter> writer;
    std::unique_ptr<Mp4TagEditor> tags;
    bool haveTrack = false;
    bool haveEdit = false;
};

namespace {
void report(uint32_t verbosity, const QString& what) {
    if (verbosity == 0) return;
    std::fprintf(stderr, "%s\n", what.toUtf8().constData());
}
bool isTrack(MP4FileHandle file, MP4TrackId track) { return file && file->writer && file->haveTrack && track == 1; }
} // namespace

MP4FileHandle MP4Create(const char* fileName, uint32_t verbosity, uint32_t /*flags*/) {
    if (!fileName) return nullptr;
    QString error;
    auto writer = Mp4AudioWriter::create(QFile::decodeName(fileName), &error);
    if (!writer) {
        report(verbosity, error);
        return nullptr;
    }
    auto* file = new MP4File;
    file->writer = std::move(writer);
    return file;
}

bool MP4SetTimeScale(MP4FileHandle file, uint32_t value) {
    if (!file || !file->writer || value == 0) return false;
    file->writer->setMovieTimeScale(value);
    return true;
}

MP4TrackId MP4AddAudioTrack(MP4FileHandle file, uint32_t timeScale, MP4Duration sampleDuration, uint8_t audioType) {
    if (!file || !file->writer || sampleDuration == 0 || sampleDuration > UINT32_MAX) return MP4_INVALID_TRACK_ID;
    int id = file->writer->addAudioTrack(timeScale, uint32_t(sampleDuration), audioType);
    file->haveTrack = id != 0;
    return MP4TrackId(id);
}

bool MP4SetAudioProfileLevel(MP4FileHandle file, uint8_t value) {
    if (!file || !file->writer) return false;
    file->writer->setAudioProfileLevel(value);
    return true;
}

bool MP4SetTrackESConfiguration(MP4FileHandle file, MP4TrackId track, const uint8_t* config, uint32_t size) {
    return isTrack(file, track) && file->writer->setDecoderSpecificInfo(config, size);
}

MP4EditId MP4AddTrackEdit(MP4FileHandle file, MP4TrackId track, MP4EditId editId, MP4Timestamp startTime,
                          MP4Duration duration, bool /*dwell*/) {
    // One edit per track: the presented part of the track.
    if (!isTrack(file, track) || file->haveEdit || editId != MP4_INVALID_EDIT_ID || startTime > INT32_MAX ||
        duration > INT64_MAX)
        return MP4_INVALID_EDIT_ID;
    file->writer->setEdit(int64_t(startTime), int64_t(duration));
    file->haveEdit = true;
    return 1;
}

bool MP4SetTrackEditDuration(MP4FileHandle file, MP4TrackId track, MP4EditId editId, MP4Duration duration) {
    if (!isTrack(file, track) || !file->haveEdit || editId != 1 || duration > INT64_MAX) return false;
    file->writer->setEditDuration(int64_t(duration));
    return true;
}

bool MP4WriteSample(MP4FileHandle file, MP4TrackId track, const uint8_t* bytes, uint32_t numBytes,
                    MP4Duration duration, MP4Duration /*renderingOffset*/, bool isSyncSample) {
    if (!isTrack(file, track)) return false;
    int64_t d = duration == MP4_INVALID_DURATION || duration > INT32_MAX ? Mp4AudioWriter::kDefaultDuration
                                                                         : int64_t(duration);
    return file->writer->writeSample(bytes, numBytes, d, isSyncSample);
}

QString MP4GetLastError(MP4FileHandle file) { return file && file->writer ? file->writer->lastError() : QString(); }

MP4FileHandle MP4Modify(const char* fileName, uint32_t verbosity, uint32_t /*flags*/) {
    if (!fileName) return nullptr;
    auto tags = Mp4TagEditor::modify(QFile::decodeName(fileName));
    if (!tags) {
        report(verbosity, QStringLiteral("%1: cannot be opened for modification").arg(QFile::decodeName(fileName)));
        return nullptr;
    }
    auto* file = new MP4File;
    file->tags = std::move(tags);
    return file;
}

MP4Tags* MP4TagsAlloc() { return new MP4Tags; }

bool MP4TagsFetch(MP4Tags* tags, MP4FileHandle file) {
    if (!tags || !file || !file->tags) return false;
    tags->comments = file->tags->comments();
    tags->mediaType = file->tags->mediaType();
    return true;
}

bool MP4TagsSetComments(MP4Tags* tags, const char* comments) {
    if (!tags) return false;
    if (comments) tags->comments = QString::fromUtf8(comments);
    else tags->comments.reset();
    return true;
}

bool MP4TagsSetMediaType(MP4Tags* tags, const uint8_t* mediaType) {
    if (!tags) return false;
    if (mediaType) tags->mediaType = *mediaType;
    else tags->mediaType.reset();
    return true;
}

bool MP4TagsStore(MP4Tags* tags, MP4FileHandle file) {
    if (!tags || !file || !file->tags) return false;
    if (tags->comments) file->tags->setComments(*tags->comments);
    if (tags->mediaType) file->tags->setMediaType(*tags->mediaType);
    return file->tags->store();
}

void MP4TagsFree(MP4Tags* tags) { delete tags; }

bool MP4Close(MP4FileHandle file, QString* lastError) {
    if (!file) return false;
    bool ok = file->writer ? file->writer->close() : true;
    if (!ok && lastError) *lastError = file->writer->lastError();
    delete file;
    return ok;
}

} // namespace quorvel
