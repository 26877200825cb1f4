#include "screens/PlayViewController.h"

#include "platform/core/LocalizedStrings.h"
#include "platform/core/Log.h"
#include "platform/core/MainThread.h"
#include "platform/core/Paths.h"
#include "ringtones/DBHelper.h"
#include "ringtones/Ringtone.h"
#include "screens/StoredRingtoneText.h"

#include <QDir>
#include <QFileInfo>

namespace quorvel {

namespace {
const QString kBigPlay = QStringLiteral("BigPlay.png");
const QString kStop = QStringLiteral("stop.png");
} // namespace

PlayViewController::PlayViewController(RingtoneFilePlayerFactory playerFactory, QObject* parent)
    : QObject(parent), playerFactory_(std::move(playerFactory)), buttonImage_(kBigPlay) {
    connect(&waysOut_, &RingtoneWaysOut::changed, this, &PlayViewController::changed);
}

PlayViewController::~PlayViewController() { stopAndDetachPlayer(); }

QString PlayViewController::filePath() const {
    return ringtone_ ? QDir(Paths::documentsDirectory()).filePath(ringtone_->file()) : QString();
}

void PlayViewController::viewDidLoad() {
    QUORVEL_ASSERT_MAIN_THREAD();
    if (!ringtone_) return;
    const QByteArray image = ringtone_->image();
    if (!image.isEmpty()) {
        QImage decoded;
        if (decoded.loadFromData(image)) artwork_ = decoded;
    }
    nowPlaying_ = StoredRingtoneText::titleWithCounter(*ringtone_);
    artist_ = ringtone_->artist();
    secHidden_ = !StoredRingtoneText::isDurationShown(*ringtone_);
    sec_ = StoredRingtoneText::durationText(*ringtone_);
    waysOut_.setRingtone(filePath(), RingtoneCopyTags{ringtone_->title(), ringtone_->artist(), image});
    checkFile();
    emit changed();
}

bool PlayViewController::checkFile() {
    const bool gone = ringtone_ && !QFileInfo(filePath()).isFile();
    notice_ = gone ? NSLocalizedString(QStringLiteral("ringtone_file_gone")).arg(ringtone_->file()) : QString();
    return !gone;
}

void PlayViewController::viewDidDisappear() {
    QUORVEL_ASSERT_MAIN_THREAD();
    setButtonImage(kBigPlay);
    stopAndDetachPlayer();
}

void PlayViewController::setButtonImage(const QString& name) {
    if (buttonImage_ == name) return;
    buttonImage_ = name;
    emit changed();
}

void PlayViewController::stopAndDetachPlayer() {
    if (!myPlayer_) return;
    myPlayer_->setFinishHandler({});
    myPlayer_->stop();
    myPlayer_.reset();
}

void PlayViewController::playOrPauseMusic() {
    QUORVEL_ASSERT_MAIN_THREAD();
    if (myPlayer_ && myPlayer_->rate() != 0.0f) {
        setButtonImage(kBigPlay);
        stopAndDetachPlayer();
        return;
    }
    stopAndDetachPlayer();
    if (!checkFile()) {
        // Nothing to play: no Stop button for a sound that never comes.
        setButtonImage(kBigPlay);
        emit changed();
        return;
    }
    setButtonImage(kStop);
    NSError error;
    myPlayer_ = playerFactory_ ? playerFactory_(QUrl::fromLocalFile(filePath()), &error) : nullptr;
    if (!myPlayer_) {
        if (!playerFactory_) error.localizedDescription = tr("No sound output.");
        // The button keeps "stop.png": the next tap tries again.
        NSLog("AudioPlayer did not load properly: %@", error.description());
        return;
    }
    myPlayer_->setFinishHandler([this](bool successfully) { audioPlayerDidFinishPlaying(successfully); });
    myPlayer_->play();
}

void PlayViewController::audioPlayerDidFinishPlaying(bool) {
    setButtonImage(kBigPlay);
    // Dropped later: the player is still inside its own callback.
    if (myPlayer_) {
        myPlayer_->setFinishHandler({});
        QMetaObject::invokeMethod(this, [player = std::shared_ptr<RingtoneFilePlayer>(std::move(myPlayer_))] {},
                                  Qt::QueuedConnection);
    }
}

void PlayViewController::sendMail() {
    QUORVEL_ASSERT_MAIN_THREAD();
    if (!ringtone_ || !view_) return;
    if (!checkFile()) {
        emit changed();
        return;
    }
    RingtoneMail mail;
    mail.subject = NSLocalizedString(QStringLiteral("mail_subject"));
    mail.htmlBody = NSLocalizedString(QStringLiteral("mail_body"));
    mail.attachmentPath = filePath();
    mail.attachmentFileName = ringtone_->file();
    mail.mimeType = QStringLiteral("audio/mp4");
    view_->presentMailComposer(mail);
}

void PlayViewController::mailComposeControllerDidFinish() { finish(); }

void PlayViewController::deleteRingtone() {
    QUORVEL_ASSERT_MAIN_THREAD();
    if (view_)
        view_->showActionSheet(NSLocalizedString(QStringLiteral("delete_ringtone")), tr("Yes"), tr("No"));
}

void PlayViewController::actionSheetDidDismissWithButtonIndex(int buttonIndex) {
    QUORVEL_ASSERT_MAIN_THREAD();
    if (buttonIndex != 0 || !ringtone_) return;
    setButtonImage(kBigPlay);
    stopAndDetachPlayer();
    // Only while the row is still stored: another program may have deleted it
    // (and made a new ringtone under its file name) since the list showed it.
    QString error;
    if (DBHelper::dbHelper().removeRingtone(ringtone_, &error) == DBHelper::Removal::Failed)
        NSLog("The ringtone was not deleted: %@", error);
    finish();
}

void PlayViewController::cancelFinish() { finish(); }

void PlayViewController::showHelp() {
    QUORVEL_ASSERT_MAIN_THREAD();
    if (view_) view_->presentHelp();
}

void PlayViewController::finish() {
    if (finishDelegate_) finishDelegate_->playViewControllerDidFinish(this);
}

} // namespace quorvel
