#include "AudioExporterFor3G.h"

#include "AudioFormat.h"
#include "FaacApi.h"
#include "Mp4v2Api.h"
#include "MainThread.h"
#include "NSTimer.h"
#include "Ringtune.h"
#include "WavReader.h"

#include <QFile>
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

void AudioExporterFor3G::exportRingtune(std::shared_ptr<Ringtune> ringtune, ExportObserver* observer) {
    std::lock_guard setup(setupMutex_);
    if (!ringtune) return;
    if (int32_t status = setAudioProcessingCategory(); status != 0) {
        std::printf("AudioSessionSetProperty kAudioSessionCategory_AudioProcessing failed! %ld\n", long(status));
        std::fflush(stdout);
        return;
    }
    std::weak_ptr<NSTimer> progress;
    if (observer) {
        progress = NSTimer::scheduledTimerWithTimeInterval(
            0.2, [observer](NSTimer* timer) { observer->progressTimer(timer); }, progressValueArray_, true);
    }
    // One job at a time: the previous one has finished (the export screen is
    // modal); if it has not, it is stopped before the next starts.
    if (worker_.joinable()) {
        exportWasCancelled(this);
        worker_.join();
    }
    auto job = std::make_shared<Job>();
    {
        std::lock_guard lock(threadMutex_);
        theThread_ = job;
        failure_.clear();
    }
    worker_ = std::thread([this, ringtune, progress] {
        convertIt(ringtune);
        // One tick at once, so that the end of the job is seen without
        // waiting for the next 0.2 s.
        performOnMainThread([progress] {
            if (auto timer = progress.lock(); timer && timer->isValid()) timer->fire();
        });
    });
}

void AudioExporterFor3G::convertIt(std::shared_ptr<Ringtune> ringtune) {
    const QString outPath = ringtune->filePath();
    QFile::remove(outPath);
    doIt(ringtune->exportURL().toLocalFile(), outPath);
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

void AudioExporterFor3G::doIt(const QString& inPath, const QString& outPath) {
    const std::shared_ptr<Job> job = currentJob();
    progressValueArray_->replaceElementZero(0.0f);
    const QByteArray in = inPath.toUtf8();
    const QByteArray out = outPath.toUtf8();

    unsigned long inputSamples = 0, maxOutputBytes = 0;
    FaacEncoderPtr encoder(faacEncOpen(kSampleRate, kChannels, &inputSamples, &maxOutputBytes));
    if (!encoder) {
        say("faacEncOpen failed");
        return failJob(job, outPath);
    }
    faacEncConfigurationPtr config = faacEncGetCurrentConfiguration(encoder.get());
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
    if (!faacEncSetConfiguration(encoder.get(), config)) {
        say("faacEncSetConfiguration failed: the encoder refused its configuration");
        return failJob(job, outPath);
    }
    MP4FilePtr file(MP4Create(out.constData(), 0, 0));
    if (!file) {
        say("MP4Create failed");
        return failJob(job, outPath);
    }
    MP4SetTimeScale(file.get(), kSampleRate);
    const MP4TrackId track = MP4AddAudioTrack(file.get(), kSampleRate, kSampleDuration, MP4_MPEG4_AUDIO_TYPE);
    if (track == MP4_INVALID_TRACK_ID) {
        say("MP4AddAudioTrack failed");
        file.reset();
        return failJob(job, outPath);
    }
    MP4SetAudioProfileLevel(file.get(), kAudioProfileLevel);
    std::vector<unsigned char> decoderInfo;
    if (faacEncGetDecoderSpecificInfo(encoder.get(), &decoderInfo) != 0) {
        say("faacEncGetDecoderSpecificInfo failed");
        file.reset();
        return failJob(job, outPath);
    }
    if (!MP4SetTrackESConfiguration(file.get(), track, decoderInfo.data(), uint32_t(decoderInfo.size()))) {
        say("MP4SetTrackESConfiguration failed");
        file.reset();
        return failJob(job, outPath);
    }
    // The presentation starts after the encoder's priming; its length is set
    // once the input's is known, so that the file lasts exactly as long as the WAV.
    const MP4EditId edit = MP4AddTrackEdit(file.get(), track, MP4_INVALID_EDIT_ID, faacEncGetDelay(encoder.get()), 0);
    if (edit == MP4_INVALID_EDIT_ID) {
        say("MP4AddTrackEdit failed");
        file.reset();
        return failJob(job, outPath);
    }
    std::unique_ptr<wav_file, WavCloser> wav(wav_open_read(in.constData()));
    if (!wav) {
        say("wav_open_read failed");
        file.reset();
        return failJob(job, outPath);
    }
    // The encoder is set up for mono at 44,100 Hz: anything else would come
    // out at the wrong speed and length.
    if (wav->channels != int(kChannels) || wav->sample_rate != int(kSampleRate)) {
        std::printf("the WAV file is not mono at 44100 Hz (%d channels at %d Hz)\n", int(wav->channels),
                    int(wav->sample_rate));
        std::fflush(stdout);
        wav.reset();
        file.reset();
        return failJob(job, outPath);
    }

    std::vector<float> input(inputSamples);
    std::vector<unsigned char> output(maxOutputBytes);
    const std::vector<int> map = channelMap(wav->channels);
    const int frames = wav->frames;

    uint64_t samplesRead = 0;
    bool flushed = false;
    QString writeError;
    for (;;) {
        if (job && job->cancelled.load()) break;
        const int n = wav_read_float32(wav.get(), input.data(), unsigned(inputSamples), map.empty() ? nullptr : map.data());
        samplesRead += uint64_t(n);
        const int bytes = faacEncEncode(encoder.get(), input.data(), unsigned(n), output.data(), unsigned(maxOutputBytes));
        if (bytes < 0) {
            say("faacEncEncode failed");
            break;
        }
        if (bytes == 0 && n == 0) {
            flushed = true;
            break;
        }
        float progress = float(double(samplesRead) / double(frames));
        if (!(progress < 1.0f)) progress = 0.99f; // 1.0 is kept for the complete file
        progressValueArray_->replaceElementZero(progress);
        if (bytes > 0 && !MP4WriteSample(file.get(), track, output.data(), uint32_t(bytes), MP4_INVALID_DURATION, 0, true)) {
            writeError = QStringLiteral("Cannot write %1: %2").arg(outPath, MP4GetLastError(file.get()));
            say(QStringLiteral("MP4WriteSample failed: %1").arg(writeError).toUtf8().constData());
            flushed = false;
            break;
        }
    }

    input = {};
    output = {};
    wav.reset();
    encoder.reset();
    if (flushed) MP4SetTrackEditDuration(file.get(), track, edit, samplesRead);
    const bool closed = MP4Close(file.release());
    if (flushed && !closed) {
        writeError = QStringLiteral("Cannot complete %1").arg(outPath);
        say("MP4Close failed");
    }
    if (!flushed || !closed) return failJob(job, outPath, writeError);
    finishJob(job);
    progressValueArray_->replaceElementZero(1.0f);
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
    {
        std::lock_guard lock(threadMutex_);
        failure_ = reason;
    }
    finishJob(job);
    progressValueArray_->replaceElementZero(ProgressValueArray::kFailed);
}

void AudioExporterFor3G::exportWasCancelled(const void* /*sender*/) {
    std::lock_guard lock(threadMutex_);
    if (theThread_) theThread_->cancelled.store(true);
}

bool AudioExporterFor3G::isRunning() const { return currentJob() != nullptr; }

void AudioExporterFor3G::waitUntilFinished() {
    std::lock_guard setup(setupMutex_);
    if (worker_.joinable()) worker_.join();
}

void AudioExporterFor3G::editMediaTypeTag(const QString& path) {
    const QByteArray name = path.toUtf8();
    MP4FilePtr file(MP4Modify(name.constData(), MP4_DETAILS_ERROR, 0));
    if (!file) {
        say("MP4Modify failed");
        return;
    }
    MP4Tags* tags = MP4TagsAlloc();
    MP4TagsFetch(tags, file.get());
    MP4TagsSetComments(tags, kComment);
    const uint8_t mediaType = kMediaTypeRingtone;
    MP4TagsSetMediaType(tags, &mediaType);
    if (!MP4TagsStore(tags, file.get())) say("MP4TagsStore failed");
    MP4TagsFree(tags);
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
