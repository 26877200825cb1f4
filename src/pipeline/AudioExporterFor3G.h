#pragma once
// The software path to a ringtone file: encodes a mono 44,100 Hz WAV with the
// AAC-LC encoder on a worker thread and writes it as one audio track into an
// MPEG-4 file (".m4r"), publishing its progress for the export screen's timer.
// Also tags stored ringtone files and tells whether a hardware AAC encoder exists.
//
// Threads: exportRingtune, exportWasCancelled and waitUntilFinished are called
// on the main thread; doIt runs on the worker (or, for tools, on the caller's
// thread). The progress value and the cancel mark are the only state the two
// threads share. One job at a time.
#include "pipeline/ExportObserver.h"
#include "pipeline/ProgressValueArray.h"
#include "platform/core/CMTime.h"
#include "platform/core/WorkerThreads.h"
#include "platform/media/AVAudioMix.h"

#include <QString>
#include <atomic>
#include <cstdint>
#include <memory>
#include <mutex>
#include <vector>

namespace quorvel {

class Ringtune;

class AudioExporterFor3G : public ExportViewControllerCancelDelegate {
public:
    // The one instance; created on first use and never destroyed.
    static AudioExporterFor3G& sharedInstance();

    // The part of the WAV a job encodes and the volume envelope it applies,
    // both on the WAV's timeline; the invalid range is the whole file.
    struct Segment {
        CMTimeRange range = kCMTimeRangeInvalid;
        std::shared_ptr<AVAudioMix> mix;
    };

    // Starts a job that writes the ringtone's exportURL (a mono 44,100 Hz WAV),
    // cut to its range and with its fade envelope as the platform export
    // applies them, to the work file (Ringtune::workFilePath), and schedules a 0.2 s timer that sends the observer
    // progressTimer() with progressValueArray() as user info. Returns at once.
    // The observer is not retained.
    void exportRingtune(std::shared_ptr<Ringtune> ringtune, const std::weak_ptr<ExportObserver>& observer);
    // The worker's entry: removes any work file left, then doIt with the
    // ringtone's range (its effective range, else the stored one) and mix.
    void convertIt(std::shared_ptr<Ringtune> ringtune);
    // The encoding job, on the calling thread: the whole WAV without a mix,
    // or the segment.
    void doIt(const QString& inPath, const QString& outPath);
    void doIt(const QString& inPath, const QString& outPath, const Segment& segment);
    // Marks the running job cancelled; it stops at its next loop turn.
    void exportWasCancelled(const void* sender) override;
    // Marks a ringtone file as a ringtone (media type 14, the fixed comment) in place.
    static void editMediaTypeTag(const QString& path);

    std::shared_ptr<ProgressValueArray> progressValueArray() const { return progressValueArray_; }
    // True while a job is set up or encoding.
    bool isRunning() const;
    // Why the last job ended without a file: the step that failed ("the WAV
    // file ... is not mono at 44100 Hz", "Cannot write <file>: No space left
    // on device"); empty after a complete or a cancelled job.
    QString lastFailure() const;
    // Waits for the worker of the last job (tools and tests).
    void waitUntilFinished();

    // The channel order handed to the encoder for 3 or more WAV channels.
    static std::vector<int> channelMap(int channels);

    AudioExporterFor3G(const AudioExporterFor3G&) = delete;
    AudioExporterFor3G& operator=(const AudioExporterFor3G&) = delete;

private:
    AudioExporterFor3G() = default;
    ~AudioExporterFor3G() override = default;

    // The running job: its cancel mark. Null while idle.
    struct Job {
        std::atomic<bool> cancelled{false};
    };
    std::shared_ptr<Job> currentJob() const;
    // The encoder, the MP4 file and the WAV of one job, set up by
    // openEncoding (which says which step failed in *reason) and fed by
    // encode (true when the segment is used up and the encoder flushed; an
    // encoder or file failure leaves its reason, naming outPath, in *reason).
    struct Encoding;
    static bool openEncoding(Encoding& e, const QString& in, const QString& out, QString* reason);
    bool encode(Encoding& e, const std::shared_ptr<Job>& job, const Segment& segment, const QString& outPath,
                QString* reason);
    // Puts the audio session into its offline-processing category. The
    // desktop has no session that could refuse it: always 0.
    static int32_t setAudioProcessingCategory();
    void finishJob(const std::shared_ptr<Job>& job);
    // Ends a job that leaves no file: removes what was written, reports the
    // failure (or the cancel, when the job was cancelled).
    void failJob(const std::shared_ptr<Job>& job, const QString& outPath, const QString& reason);

    std::mutex setupMutex_;          // held while a job is being started
    mutable std::mutex threadMutex_; // guards theThread_ and failure_
    std::shared_ptr<Job> theThread_;
    QString failure_;
    WorkerThreads::Id worker_ = 0; // the last job's thread
    std::shared_ptr<ProgressValueArray> progressValueArray_ = std::make_shared<ProgressValueArray>();
};

// Whether the platform lists a hardware AAC encoder.
bool IsAACHardwareEncoderAvailable();

} // namespace quorvel
