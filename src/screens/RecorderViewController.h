#pragma once
// The recorder screen's behaviour: up to 60 s from the microphone into
// "Documents/.tmpRecorded.wav" (mono, 16-bit little-endian, 44,100 Hz), a
// 0.2 s timer that shows the running time, and the recording handed back to
// the delegate when the screen is left, if one was started since the screen
// appeared. What it shows is kept as plain state for a view to draw.
//
// Main thread only: actions, timer and recorder callbacks.
#include "platform/audio/AVAudioRecorder.h"

#include <QObject>
#include <QString>
#include <QTimer>
#include <QUrl>
#include <QVariantMap>
#include <memory>

namespace quorvel {

class RecorderViewControllerDelegate {
public:
    virtual ~RecorderViewControllerDelegate() = default;
    // The recording's file, or an empty URL when nothing was recorded.
    virtual void recorderViewControllerDidFinish(const QUrl& recording) = 0;
};

// Set when a recording was started, cleared each time the screen comes into
// view: whether leaving the screen returns a file.
extern bool rec;

class RecorderViewController : public QObject, public AVAudioRecorderDelegate {
    Q_OBJECT
public:
    static constexpr double kLongestRecording = 60.0;
    static constexpr int kRefreshIntervalMs = 200;
    static constexpr const char* kTimeFontFamily = "DBLCDTempBlack";
    static constexpr double kTimeFontPointSize = 17.0;
    static constexpr const char* kBackgroundImage = "QuorvelBG.png";
    static constexpr const char* kIdleImage = "bigRecordRed.png";
    static constexpr const char* kRecordingImage = "bigStopRed.png";
    static constexpr const char* kRecordingFileName = ".tmpRecorded.wav";

    explicit RecorderViewController(QObject* parent = nullptr);
    ~RecorderViewController() override;

    // Not retained.
    void setDelegate(RecorderViewControllerDelegate* delegate) { delegate_ = delegate; }
    RecorderViewControllerDelegate* delegate() const { return delegate_; }

    // The settings the recorder is made with.
    static QVariantMap recorderSettings();

    // Makes the recorder for the recording file (once).
    void viewDidLoad();
    void viewDidAppear();
    // The record button.
    void startOrStopRecording();
    // Leaving the screen.
    void done();
    void recordingTimer();

    // AVAudioRecorderDelegate
    void audioRecorderDidFinishRecording(AVAudioRecorder* recorder, bool successfully) override;
    void audioRecorderEncodeErrorDidOccur(AVAudioRecorder* recorder, const NSError& error) override;
    void audioRecorderBeginInterruption(AVAudioRecorder* recorder) override;
    void audioRecorderEndInterruption(AVAudioRecorder* recorder, unsigned flags) override;

    const QUrl& recordedFileUrl() const { return recordedFileUrl_; }
    AVAudioRecorder* recorder() const { return recorder_.get(); }
    bool isTimerRunning() const { return timer_.isActive(); }

    // What the screen shows.
    const QString& recordButtonImage() const { return recordButtonImage_; }
    // A string-table key; empty while the label shows its laid-out text.
    const QString& displayLabelKey() const { return displayLabelKey_; }
    bool isDisplayLabelRed() const { return displayLabelRed_; }
    // Empty until a recording has run.
    const QString& displayTimeText() const { return displayTimeText_; }

signals:
    // After every change of what the screen shows.
    void changed();

private:
    void setRecordButtonImage(const char* image);
    void setDisplayLabel(const QString& key, bool red);

    RecorderViewControllerDelegate* delegate_ = nullptr;
    QUrl recordedFileUrl_;
    std::shared_ptr<AVAudioRecorder> recorder_;
    QTimer timer_;
    QString recordButtonImage_ = QString::fromLatin1(kIdleImage);
    QString displayLabelKey_;
    bool displayLabelRed_ = false;
    QString displayTimeText_;
};

} // namespace quorvel
