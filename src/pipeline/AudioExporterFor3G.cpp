#include "pipeline/AudioExporterFor3G.h"

#include "editor/Ringtune.h"
#include "pipeline/WavReader.h"
#include "platform/aac/AudioFormat.h"
#include "platform/aac/FaacApi.h"
#include "platform/aac/Mp4v2Api.h"
#include "platform/core/MainThread.h"
#include "platform/core/NSTimer.h"
#include "platform/core/WorkerThreads.h"

#include <QFile>
#include <QScopeGuard>
#include <algorithm>
#include <cmath>
#include <cstdio>

namespace quorvel {

namespace {

// The writer's diagnostics go to standard output, a line at a time.
void say(const char* line) {
    std::printf("%s\n", line);
    std::fflush(stdout);
}

constexpr unsigned long kSampleRate = 44100;
constexpr unsigned int kChannels = 1;
constexpr unsigned long kBitRate = 128000;
constexpr MP4Duration kSampleDuration = 1024;
constexpr uint8_t kAudioProfileLevel = 0x0F;
constexpr uint8_t kMediaTypeRingtone = 14;
constexpr const char* kComment = "brought to you by ... me!";

struct WavCloser {
    void operator()(wav_file* wav) const { wav_close(wav); }
};

} // namespace

AudioExporterFor3G& AudioExporterFor3G::sharedInstance() {
    // Never destroyed: a job's worker may still be running when the process ends.
    static AudioExporterFor3G* instance = new AudioExporterFor3G();
    return *instance;
}

int32_t AudioExporterFor3G::setAudioProcessingCategory() { return 0; }

void AudioExporterFor3G::exportRingtune(std::shared_ptr<Ringtune> ringtune, const std::weak_ptr<ExportObserver>& observer) {
    std::lock_guard setup(setupMutex_);
    if (!ringtune) {
        ExportObserver::reportCouldNotStart(observer, QStringLiteral("There is no ringtone to export."));
        return;
    }
    if (int32_t status = setAudioProcessingCategory(); status != 0) {
        std::printf("AudioSessionSetProperty kAudioSessionCategory_AudioProcessing failed! %ld\n", long(status));
        std::fflush(stdout);
        return;
    }
    std::weak_ptr<NSTimer> progress;
    if (!observer.expired()) {
        progress = NSTimer::scheduledTimerWithTimeInterval(
            0.2,
            [observer](NSTimer* timer) {
                if (auto o = observer.lock())
                    o->progressTimer(timer);
                else
                    timer->invalidate(); // nobody follows the job any more
            },
            progressValueArray_, true);
    }
    // One job at a time: the previous one has finished (the export screen is
    // modal); if it has not, it is stopped before the next starts.
    if (worker_) {
        exportWasCancelled(this);
        WorkerThreads::join(worker_);
    }
    auto job = std::make_shared<Job>();
    {
        std::lock_guard lock(threadMutex_);
        theThread_ = job;
        failure_.clear();
    }
    worker_ = WorkerThreads::start([this, ringtune, progress] {
        convertIt(ringtune);
        // One tick at once, so that the end of the job is seen without
        // waiting for the next 0.2 s.
        performOnMainThread([progress] {
            if (auto timer = progress.lock(); timer && timer->isValid()) timer->fire();
        });
    });
}

void AudioExporterFor3G::convertIt(std::shared_ptr<Ringtune> ringtune) {
    // Under the work name: the store moves it to its final name once stored.
    const QString outPath = Ringtune::workFilePath();
    QFile::remove(outPath);
    // The same segment and fades as the platform export writes.
    Segment segment;
    segment.range = ringtune->timeRange().isValid() ? ringtune->timeRange() : ringtune->realTimeRange();
    segment.mix = ringtune->audioMixer();
    doIt(ringtune->exportURL().toLocalFile(), outPath, segment);
}

std::vector<int> AudioExporterFor3G::channelMap(int channels) {
    if (channels < 3) return {};
    std::vector<int> map(static_cast<size_t>(channels));
    map[0] = 2;
    map[1] = 0;
    map[2] = 1;
    if (channels >= 4) {
        for (int i = 3; i < channels - 1; ++i) map[size_t(i)] = i + 1;
        map[size_t(channels - 1)] = 3;
    }
    return map;
}

// The open handles of one encoding job. Members go in reverse order: the
// WAV, then the MP4 file, then the encoder.
struct AudioExporterFor3G::Encoding {
    FaacEncoderPtr encoder;
    unsigned long inputSamples = 0;
    unsigned long maxOutputBytes = 0;
    MP4FilePtr file;
    MP4TrackId track = MP4_INVALID_TRACK_ID;
    MP4EditId edit = MP4_INVALID_EDIT_ID;
    std::unique_ptr<wav_file, WavCloser> wav;
    uint64_t samplesRead = 0; // samples of the segment handed to the encoder
};

void AudioExporterFor3G::doIt(const QString& inPath, const QString& outPath) { doIt(inPath, outPath, Segment()); }

void AudioExporterFor3G::doIt(const QString& inPath, const QString& outPath, const Segment& segment) {
    const std::shared_ptr<Job> job = currentJob();
    progressValueArray_->replaceElementZero(0.0f);
    // Every way out before the file is complete ends the job without a file.
    // The handles are declared after this guard, so they are closed first.
    // Why the file could not be made, for the export screen.
    QString reason;
    auto failed = qScopeGuard([&] { failJob(job, outPath, reason); });
    Encoding e;
    if (!openEncoding(e, inPath, outPath, &reason)) return;
    const bool flushed = encode(e, job, segment, outPath, &reason);
    e.wav.reset();
    e.encoder.reset();
    if (flushed) MP4SetTrackEditDuration(e.file.get(), e.track, e.edit, e.samplesRead);
    QString closeError;
    const bool closed = MP4Close(e.file.release(), &closeError);
    if (flushed && !closed) {
        reason = closeError.isEmpty() ? QStringLiteral("Cannot complete %1").arg(outPath)
                                      : QStringLiteral("Cannot write %1: %2").arg(outPath, closeError);
        say("MP4Close failed");
    }
    if (!flushed || !closed) return;
    failed.dismiss();
    finishJob(job);
    progressValueArray_->replaceElementZero(1.0f);
}

bool AudioExporterFor3G::openEncoding(Encoding& e, const QString& in, const QString& out, QString* reason) {
    // Each failed step prints its line and leaves it, with the file it concerns, as the reason.
    auto fail = [reason](const char* line, const QString& file) {
        say(line);
        *reason = QStringLiteral("%1 (%2)").arg(QString::fromUtf8(line), file);
        return false;
    };
    e.encoder.reset(faacEncOpen(kSampleRate, kChannels, &e.inputSamples, &e.maxOutputBytes));
    if (!e.encoder) return fail("faacEncOpen failed", out);
    faacEncConfigurationPtr config = faacEncGetCurrentConfiguration(e.encoder.get());
    config->mpegVersion = MPEG4;
    config->aacObjectType = LOW;
    config->allowMidside = 1;
    config->useLfe = 0;
    config->useTns = 0;
    config->bitRate = kBitRate;
    config->bandWidth = 0;
    config->quantqual = 100;
    config->outputFormat = 0;
    config->inputFormat = FAAC_INPUT_FLOAT;
    if (!faacEncSetConfiguration(e.encoder.get(), config))
        return fail("faacEncSetConfiguration failed: the encoder refused its configuration", out);
    e.file.reset(MP4Create(out.toUtf8().constData(), 0, 0));
    if (!e.file) return fail("MP4Create failed", out);
    MP4SetTimeScale(e.file.get(), kSampleRate);
    e.track = MP4AddAudioTrack(e.file.get(), kSampleRate, kSampleDuration, MP4_MPEG4_AUDIO_TYPE);
    if (e.track == MP4_INVALID_TRACK_ID) return fail("MP4AddAudioTrack failed", out);
    MP4SetAudioProfileLevel(e.file.get(), kAudioProfileLevel);
    std::vector<unsigned char> decoderInfo;
    if (faacEncGetDecoderSpecificInfo(e.encoder.get(), &decoderInfo) != 0)
        return fail("faacEncGetDecoderSpecificInfo failed", out);
    if (!MP4SetTrackESConfiguration(e.file.get(), e.track, decoderInfo.data(), uint32_t(decoderInfo.size())))
        return fail("MP4SetTrackESConfiguration failed", out);
    // The presentation starts after the encoder's priming; its length is set
    // once the segment's is known, so that the file lasts exactly as long as it.
    e.edit = MP4AddTrackEdit(e.file.get(), e.track, MP4_INVALID_EDIT_ID, faacEncGetDelay(e.encoder.get()), 0);
    if (e.edit == MP4_INVALID_EDIT_ID) return fail("MP4AddTrackEdit failed", out);
    e.wav.reset(wav_open_read(in.toUtf8().constData()));
    if (!e.wav) return fail("wav_open_read failed", in);
    // The encoder is set up for mono at 44,100 Hz: anything else would come
    // out at the wrong speed and length.
    if (e.wav->channels != int(kChannels) || e.wav->sample_rate != int(kSampleRate)) {
        const QString line = QStringLiteral("the WAV file is not mono at 44100 Hz (%1 channels at %2 Hz)")
                                 .arg(e.wav->channels)
                                 .arg(e.wav->sample_rate);
        say(line.toUtf8().constData());
        *reason = QStringLiteral("%1 (%2)").arg(line, in);
        return false;
    }
    return true;
}

bool AudioExporterFor3G::encode(Encoding& e, const std::shared_ptr<Job>& job, const Segment& segment,
                                const QString& outPath, QString* reason) {
    std::vector<float> input(e.inputSamples);
    std::vector<unsigned char> output(e.maxOutputBytes);
    const std::vector<int> map = channelMap(e.wav->channels);
    // The segment in frames of the WAV (mono, so frames are samples).
    int64_t first = 0;
    int64_t end = INT64_MAX;
    if (segment.range.isValid()) {
        first = std::max<int64_t>(0, llround(CMTimeGetSeconds(segment.range.start) * kSampleRate));
        end = first + std::max<int64_t>(0, llround(CMTimeGetSeconds(segment.range.duration) * kSampleRate));
    }
    const int64_t frames = std::min<int64_t>(e.wav->frames, end) - first;
    int64_t position = 0; // frames read from the WAV
    for (;;) {
        if ((job && job->cancelled.load()) || WorkerThreads::stopRequested()) return false;
        // Past the segment's end the WAV is not read on: the encoder is flushed.
        int n = position < end ? wav_read_float32(e.wav.get(), input.data(), unsigned(e.inputSamples),
                                                  map.empty() ? nullptr : map.data())
                               : 0;
        const int64_t at = position;
        position += std::max(n, 0);
        // Keep what lies in the segment, at the start of the buffer, with the fades applied.
        const int64_t from = std::clamp<int64_t>(first - at, 0, std::max(n, 0));
        const int64_t to = std::clamp<int64_t>(end - at, 0, std::max(n, 0));
        const int kept = int(std::max<int64_t>(0, to - from));
        for (int i = 0; i < kept; ++i) {
            const float gain = segment.mix ? segment.mix->gainAt(double(at + from + i) / kSampleRate) : 1.0f;
            input[size_t(i)] = input[size_t(from + i)] * gain;
        }
        // Before the segment: read on, nothing to encode yet.
        if (n > 0 && kept == 0 && at + n <= first) continue;
        e.samplesRead += uint64_t(kept);
        const int bytes = faacEncEncode(e.encoder.get(), input.data(), unsigned(kept), output.data(), unsigned(e.maxOutputBytes));
        if (bytes < 0) {
            say("faacEncEncode failed");
            *reason = QStringLiteral("faacEncEncode failed (%1)").arg(outPath);
            return false;
        }
        if (bytes == 0 && kept == 0) return true; // the encoder is flushed
        float progress = frames > 0 ? float(double(e.samplesRead) / double(frames)) : 0.99f;
        if (!(progress < 1.0f)) progress = 0.99f; // 1.0 is kept for the complete file
        progressValueArray_->replaceElementZero(progress);
        if (bytes > 0 && !MP4WriteSample(e.file.get(), e.track, output.data(), uint32_t(bytes), MP4_INVALID_DURATION, 0, true)) {
            *reason = QStringLiteral("Cannot write %1: %2").arg(outPath, MP4GetLastError(e.file.get()));
            say(QStringLiteral("MP4WriteSample failed: %1").arg(*reason).toUtf8().constData());
            return false;
        }
    }
}

QString AudioExporterFor3G::lastFailure() const {
    std::lock_guard lock(threadMutex_);
    return failure_;
}

std::shared_ptr<AudioExporterFor3G::Job> AudioExporterFor3G::currentJob() const {
    std::lock_guard lock(threadMutex_);
    return theThread_;
}

void AudioExporterFor3G::finishJob(const std::shared_ptr<Job>& job) {
    std::lock_guard lock(threadMutex_);
    if (theThread_ == job) theThread_.reset();
}

void AudioExporterFor3G::failJob(const std::shared_ptr<Job>& job, const QString& outPath, const QString& reason) {
    QFile::remove(outPath); // never leave a half-written ringtone behind
    const bool cancelled = job && job->cancelled.load();
    {
        std::lock_guard lock(threadMutex_);
        failure_ = cancelled ? QString() : reason;
    }
    finishJob(job);
    progressValueArray_->replaceElementZero(cancelled ? ProgressValueArray::kCancelled : ProgressValueArray::kFailed);
}

void AudioExporterFor3G::exportWasCancelled(const void* /*sender*/) {
    std::lock_guard lock(threadMutex_);
    if (theThread_) theThread_->cancelled.store(true);
}

bool AudioExporterFor3G::isRunning() const { return currentJob() != nullptr; }

void AudioExporterFor3G::waitUntilFinished() {
    std::lock_guard setup(setupMutex_);
    if (worker_) WorkerThreads::join(worker_);
}

void AudioExporterFor3G::editMediaTypeTag(const QString& path) {
    const QByteArray name = path.toUtf8();
    MP4FilePtr file(MP4Modify(name.constData(), MP4_DETAILS_ERROR, 0));
    if (!file) {
        say("MP4Modify failed");
        return;
    }
    const MP4TagsPtr tags(MP4TagsAlloc());
    MP4TagsFetch(tags.get(), file.get());
    MP4TagsSetComments(tags.get(), kComment);
    const uint8_t mediaType = kMediaTypeRingtone;
    MP4TagsSetMediaType(tags.get(), &mediaType);
    if (!MP4TagsStore(tags.get(), file.get())) say("MP4TagsStore failed");
}

bool IsAACHardwareEncoderAvailable() {
    const uint32_t format = kAudioFormatMPEG4AAC;
    uint32_t size = 0;
    OSStatus status = AudioFormatGetPropertyInfo(kAudioFormatProperty_Encoders, sizeof format, &format, &size);
    auto report = [](const char* what, OSStatus code) {
        std::printf("%s kAudioFormatProperty_Encoders result %s\n", what, formatOSStatus(code).toUtf8().constData());
        std::fflush(stdout);
    };
    if (status != noErr) {
        report("AudioFormatGetPropertyInfo", status);
        return false;
    }
    std::vector<AudioClassDescription> encoders(size / sizeof(AudioClassDescription));
    size = uint32_t(encoders.size() * sizeof(AudioClassDescription));
    status = AudioFormatGetProperty(kAudioFormatProperty_Encoders, sizeof format, &format, &size, encoders.data());
    if (status != noErr) {
        report("AudioFormatGetProperty", status);
        return false;
    }
    const size_t count = size / sizeof(AudioClassDescription);
    for (size_t i = 0; i < count; ++i) {
        if (encoders[i].mSubType == kAudioFormatMPEG4AAC &&
            encoders[i].mManufacturer == kAppleHardwareAudioCodecManufacturer)
            return true;
    }
    return false;
}

} // namespace quorvel
