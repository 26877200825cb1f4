#pragma once
// The stored-ringtone player: shows one row (artwork, "Bells-2", artist,
// length), plays and stops its file, mails it and deletes it after a
// confirmation. Every way out (close, finished mail, deletion) goes through
// the finish delegate, which dismisses the screen.
//
// Main thread only.
#include "screens/RingtoneFilePlayer.h"
#include "screens/RingtoneWaysOut.h"

#include <QImage>
#include <QObject>
#include <QString>
#include <QStringList>
#include <memory>

namespace quorvel {

class PlayViewController;
class Ringtone;

class PlayViewControllerFinishDelegate {
public:
    virtual ~PlayViewControllerFinishDelegate() = default;
    virtual void playViewControllerDidFinish(PlayViewController* controller) = 0;
};

// The mail the screen asks its view to compose.
struct RingtoneMail {
    QString subject;
    QString htmlBody;
    QString attachmentPath;
    QString attachmentFileName;
    QString mimeType;
};

// What the widget does for the screen.
class PlayView {
public:
    virtual ~PlayView() = default;
    // An action sheet: destructive button index 0, cancel index 1; the answer
    // comes back through actionSheetDidDismissWithButtonIndex().
    virtual void showActionSheet(const QString& title, const QString& destructiveTitle,
                                 const QString& cancelTitle) = 0;
    // The composer; its result comes back through mailComposeControllerDidFinish().
    virtual void presentMailComposer(const RingtoneMail& mail) = 0;
    virtual void presentHelp() = 0;
};

class PlayViewController : public QObject {
    Q_OBJECT
public:
    explicit PlayViewController(RingtoneFilePlayerFactory playerFactory, QObject* parent = nullptr);
    ~PlayViewController() override;

    void setRingtone(std::shared_ptr<Ringtone> ringtone) { ringtone_ = std::move(ringtone); }
    const std::shared_ptr<Ringtone>& ringtone() const { return ringtone_; }
    void setFinishDelegate(PlayViewControllerFinishDelegate* delegate) { finishDelegate_ = delegate; }
    PlayViewControllerFinishDelegate* finishDelegate() const { return finishDelegate_; }
    void setView(PlayView* view) { view_ = view; }

    // Fills the screen from the row.
    void viewDidLoad();
    // The screen went away: stop the sound and stop listening to the player.
    void viewDidDisappear();

    // Actions.
    void playOrPauseMusic();
    void sendMail();
    void deleteRingtone();
    void cancelFinish();
    void showHelp();

    // Save a Copy, Show in Folder, Send to Phone and dragging out, for the
    // ringtone's file (filled by viewDidLoad()).
    RingtoneWaysOut& waysOut() { return waysOut_; }

    // Answers.
    void actionSheetDidDismissWithButtonIndex(int buttonIndex);
    void mailComposeControllerDidFinish();

    // What the screen shows.
    const QImage& artwork() const { return artwork_; }
    const QString& nowPlayingText() const { return nowPlaying_; }
    const QString& nowPlayingArtistText() const { return artist_; }
    const QString& secText() const { return sec_; }
    bool isSecHidden() const { return secHidden_; }
    bool isHelpHidden() const { return true; }
    // "BigPlay.png" while stopped, "stop.png" while playing.
    const QString& playStopButtonImage() const { return buttonImage_; }
    bool holdsPlayer() const { return myPlayer_ != nullptr; }
    // What the screen says below the controls: that the ringtone's file is
    // gone (checked when the screen opens and at each play or mail); else empty.
    const QString& notice() const { return notice_; }

    // The ringtone's file: documents directory + its file name.
    QString filePath() const;

signals:
    void changed();

private:
    void setButtonImage(const QString& name);
    // False (and the notice set) when the file is gone.
    bool checkFile();
    void stopAndDetachPlayer();
    void audioPlayerDidFinishPlaying(bool successfully);
    void finish();

    RingtoneFilePlayerFactory playerFactory_;
    std::shared_ptr<Ringtone> ringtone_;
    PlayViewControllerFinishDelegate* finishDelegate_ = nullptr;
    PlayView* view_ = nullptr;
    std::unique_ptr<RingtoneFilePlayer> myPlayer_;
    QImage artwork_;
    QString nowPlaying_, artist_, sec_;
    bool secHidden_ = true;
    QString buttonImage_;
    QString notice_;
    RingtoneWaysOut waysOut_;
};

} // namespace quorvel
