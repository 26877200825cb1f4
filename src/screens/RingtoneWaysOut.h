#pragma once
// The ways a finished ringtone leaves the program besides e-mail, one set of
// rules for every screen that offers them (the export screen once done, the
// player): Save a Copy in a phone's format where the user says, Show in
// Folder, Send to Phone (shown only while KDE Connect lists a reachable
// paired phone), and dragging the file out. What happened is said in the
// screen's own words (statusText()).
//
// Main thread only. Copies are written on a worker; the answers of the
// file manager and of KDE Connect come back on the main thread.
#include "platform/desktop/PhoneLink.h"
#include "platform/media/RingtoneCopyWriter.h"

#include <QList>
#include <QObject>
#include <QString>
#include <memory>
#include <optional>

class QMimeData;

namespace quorvel {

class DesktopFileManager;

struct CopyFormatChoice {
    RingtoneCopyFormat format;
    QString label;     // named by the phones that take it
    QString extension; // "m4r"
};

class RingtoneWaysOut : public QObject {
    Q_OBJECT
public:
    explicit RingtoneWaysOut(QObject* parent = nullptr);
    ~RingtoneWaysOut() override;

    // The stored file and the tags a transcoded copy carries; an empty path
    // while there is no stored file. Asks KDE Connect for phones.
    void setRingtone(const QString& filePath, const RingtoneCopyTags& tags);
    const QString& filePath() const { return filePath_; }
    bool hasFile() const { return !filePath_.isEmpty(); }

    // Save a Copy.
    static QList<CopyFormatChoice> formatChoices();
    // Where the dialog opens: the folder of the last copy (else home) and the
    // ringtone's own file name.
    QString proposedCopyPath() const;
    // Writes the copy at `destination` (its extension added when missing).
    // The dialog has asked before an existing file is replaced.
    void saveCopy(const QString& destination, RingtoneCopyFormat format);
    bool isSaving() const { return saving_; }
    // Where a copy of `ringtoneFile` goes for DEST: inside DEST when it is a
    // folder (the ringtone's name with the format's extension), else DEST
    // itself, with the format's extension when it has none. The format is
    // `format`, else DEST's extension, else ".m4r".
    static QString copyDestination(const QString& dest, const QString& ringtoneFile,
                                   std::optional<RingtoneCopyFormat>* format);

    // Show in Folder.
    void showInFolder();

    // Send to Phone.
    void findPhones();
    const QList<PhoneDevice>& phones() const { return phones_; }
    bool isSendToPhoneShown() const { return hasFile() && !phones_.isEmpty(); }
    // To the phone `deviceId`, or to the first when empty.
    void sendToPhone(const QString& deviceId = {});

    // The data a drag of the ringtone carries: the file's URL, and its bytes
    // as "audio/mp4". Null without a file. The caller owns it.
    QMimeData* dragData() const { return dragDataForFile(filePath_); }
    static QMimeData* dragDataForFile(const QString& path);

    const QString& statusText() const { return status_; }
    // "~/Ringtones/Bells-1.m4r" for a path in the home folder.
    static QString shortPath(const QString& path);

    static constexpr const char* kDragMimeType = "audio/mp4";
    // The user default that remembers the folder of the last copy.
    static constexpr const char* kSaveFolderKey = "SaveCopyFolder";

signals:
    void changed();

private:
    bool fileIsThere();
    void setStatus(const QString& text);

    QString filePath_;
    RingtoneCopyTags tags_;
    QList<PhoneDevice> phones_;
    QString status_;
    bool saving_ = false;
    std::unique_ptr<PhoneLink> phoneLink_;
    std::unique_ptr<DesktopFileManager> fileManager_;
    std::shared_ptr<bool> alive_ = std::make_shared<bool>(true);
};

} // namespace quorvel
