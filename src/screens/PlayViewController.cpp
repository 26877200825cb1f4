#include "PlayViewController.h"

#include "DBHelper.h"
#include "LocalizedStrings.h"
#include "Log.h"
#include "Paths.h"
#include "Ringtone.h"
#include "StoredRingtoneText.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <exception>

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
    emit changed();
}

void PlayViewController::viewDidDisappear() {
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
    if (myPlayer_ && myPlayer_->rate() != 0.0f) {
        setButtonImage(kBigPlay);
        stopAndDetachPlayer();
        return;
    }
    setButtonImage(kStop);
    stopAndDetachPlayer();
    NSError error;
    myPlayer_ = playerFactory_ ? playerFactory_(QUrl::fromLocalFile(filePath()), &error) : nullptr;
    if (!myPlayer_) {
        if (!playerFactory_) error.localizedDescription = QStringLiteral("No sound output.");
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
    if (!ringtone_ || !view_) return;
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
    if (view_)
        view_->showActionSheet(NSLocalizedString(QStringLiteral("delete_ringtone")), QStringLiteral("Yes"),
                               QStringLiteral("No"));
}

void PlayViewController::actionSheetDidDismissWithButtonIndex(int buttonIndex) {
    if (buttonIndex != 0 || !ringtone_) return;
    setButtonImage(kBigPlay);
    stopAndDetachPlayer();
    try {
        const QString path = filePath();
        if (QFileInfo(path).isFile()) QFile::remove(path);
    } catch (const std::exception& e) {
        NSLog("Exception: %@", e.what());
    }
    DBHelper& store = DBHelper::dbHelper();
    store.deleteRingtone(ringtone_);
    store.saveContext();
    finish();
}

void PlayViewController::cancelFinish() { finish(); }

void PlayViewController::showHelp() {
    if (view_) view_->presentHelp();
}

void PlayViewController::finish() {
    if (finishDelegate_) finishDelegate_->playViewControllerDidFinish(this);
}

} // namespace quorvel
