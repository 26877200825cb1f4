#include "screens/RecorderViewController.h"

#include "editor/GenericHelper.h"
#include "platform/audio/AVAudioSession.h"
#include "platform/audiofile/CoreAudioTypes.h"
#include "platform/core/Log.h"
#include "platform/core/MainThread.h"
#include "platform/core/Paths.h"

#include <QFile>

namespace quorvel {

bool rec = false;

RecorderViewController::RecorderViewController(QObject* parent) : QObject(parent) {
    timer_.setInterval(kRefreshIntervalMs);
    connect(&timer_, &QTimer::timeout, this, &RecorderViewController::recordingTimer);
}

RecorderViewController::~RecorderViewController() {
    timer_.stop();
    if (recorder_) {
        recorder_->setDelegate(nullptr);
        recorder_->stop();
    }
}

QVariantMap RecorderViewController::recorderSettings() {
    QVariantMap settings;
    settings.insert(AVFormatIDKey, qulonglong(kAudioFormatLinearPCM));
    settings.insert(AVSampleRateKey, 44100.0);
    settings.insert(AVNumberOfChannelsKey, 1);
    settings.insert(AVLinearPCMBitDepthKey, 16);
    settings.insert(AVLinearPCMIsBigEndianKey, false);
    settings.insert(AVLinearPCMIsFloatKey, false);
    return settings;
}

void RecorderViewController::viewDidLoad() {
    QUORVEL_ASSERT_MAIN_THREAD();
    if (recordedFileUrl_.isValid()) return;
    recordedFileUrl_ = QUrl::fromLocalFile(Paths::documentPath(QString::fromLatin1(kRecordingFileName)));
    NSError error;
    recorder_ = AVAudioRecorder::initWithURL(recordedFileUrl_, recorderSettings(), &error);
    if (recorder_)
        recorder_->setDelegate(this);
    else
        NSLog("recorder: %@ %d %@", error.domain, error.code, describe(error.userInfo));
}

void RecorderViewController::viewDidAppear() { rec = false; }

void RecorderViewController::startOrStopRecording() {
    QUORVEL_ASSERT_MAIN_THREAD();
    if (recorder_ && recorder_->isRecording()) {
        recorder_->stop();
        setRecordButtonImage(kIdleImage);
        return;
    }
    if (!recorder_ || !AVAudioSession::sharedInstance().inputIsAvailable()) {
        // Nothing to record from: say so rather than record silence.
        setRecordButtonImage(kIdleImage);
        setDisplayLabel(QStringLiteral("no_microphone"), false);
        return;
    }
    setRecordButtonImage(kRecordingImage);
    NSError error;
    if (!AVAudioSession::sharedInstance().setCategory(AVAudioSessionCategoryRecord, &error)) {
        NSLog("audioSession: %@ %d %@", error.domain, error.code, describe(error.userInfo));
        return;
    }
    QFile::remove(recordedFileUrl_.toLocalFile());
    rec = recorder_->recordForDuration(kLongestRecording);
    timer_.start();
}

void RecorderViewController::recordingTimer() {
    QUORVEL_ASSERT_MAIN_THREAD();
    if (recorder_ && recorder_->isRecording()) {
        displayTimeText_ = GenericHelper::timeToString(float(recorder_->currentTime()), true);
        setDisplayLabel(QStringLiteral("recording"), true);
        return;
    }
    timer_.stop();
    if (recorder_) recorder_->stop();
    setRecordButtonImage(kIdleImage);
}

void RecorderViewController::done() {
    QUORVEL_ASSERT_MAIN_THREAD();
    if (recorder_) recorder_->stop();
    timer_.stop();
    if (delegate_) delegate_->recorderViewControllerDidFinish(rec ? recordedFileUrl_ : QUrl());
}

void RecorderViewController::audioRecorderDidFinishRecording(AVAudioRecorder*, bool) {
    QUORVEL_ASSERT_MAIN_THREAD();
    setDisplayLabel(QStringLiteral("successful_recorded"), false);
}

void RecorderViewController::audioRecorderEncodeErrorDidOccur(AVAudioRecorder*, const NSError&) {
    setDisplayLabel(QStringLiteral("error_recording"), false);
}

void RecorderViewController::audioRecorderBeginInterruption(AVAudioRecorder*) {}

void RecorderViewController::audioRecorderEndInterruption(AVAudioRecorder*, unsigned) {
    setDisplayLabel(QStringLiteral("recording_cancelled"), false);
}

void RecorderViewController::setRecordButtonImage(const char* image) {
    recordButtonImage_ = QString::fromLatin1(image);
    emit changed();
}

void RecorderViewController::setDisplayLabel(const QString& key, bool red) {
    displayLabelKey_ = key;
    displayLabelRed_ = red;
    emit changed();
}

} // namespace quorvel
