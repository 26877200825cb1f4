#include "screens/RingtoneWaysOut.h"

#include "platform/core/LocalizedStrings.h"
#include "platform/core/Log.h"
#include "platform/core/MainThread.h"
#include "platform/core/UserDefaults.h"
#include "platform/core/WorkerThreads.h"
#include "platform/desktop/DesktopFileManager.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QMimeData>
#include <QUrl>

namespace quorvel {

namespace {
QString text(const char* key) { return NSLocalizedString(QString::fromLatin1(key)); }
} // namespace

RingtoneWaysOut::RingtoneWaysOut(QObject* parent)
    : QObject(parent), phoneLink_(std::make_unique<PhoneLink>()), fileManager_(std::make_unique<DesktopFileManager>()) {}

RingtoneWaysOut::~RingtoneWaysOut() { *alive_ = false; }

void RingtoneWaysOut::setRingtone(const QString& filePath, const RingtoneCopyTags& tags) {
    filePath_ = filePath;
    tags_ = tags;
    emit changed();
    if (hasFile()) findPhones();
}

QList<CopyFormatChoice> RingtoneWaysOut::formatChoices() {
    return {{RingtoneCopyFormat::M4r, text("format_m4r"), RingtoneCopyWriter::extension(RingtoneCopyFormat::M4r)},
            {RingtoneCopyFormat::M4a, text("format_m4a"), RingtoneCopyWriter::extension(RingtoneCopyFormat::M4a)},
            {RingtoneCopyFormat::Ogg, text("format_ogg"), RingtoneCopyWriter::extension(RingtoneCopyFormat::Ogg)}};
}

QString RingtoneWaysOut::proposedCopyPath() const {
    QString folder = UserDefaults::standardUserDefaults().stringForKey(QString::fromLatin1(kSaveFolderKey));
    if (folder.isEmpty() || !QFileInfo(folder).isDir()) folder = QDir::homePath();
    return QDir(folder).filePath(QFileInfo(filePath_).fileName());
}

QString RingtoneWaysOut::copyDestination(const QString& dest, const QString& ringtoneFile,
                                         std::optional<RingtoneCopyFormat>* format) {
    const QFileInfo info(dest);
    if (!format->has_value() && !info.isDir()) *format = RingtoneCopyWriter::formatForExtension(info.suffix());
    if (!format->has_value()) *format = RingtoneCopyFormat::M4r;
    const QString extension = RingtoneCopyWriter::extension(**format);
    if (info.isDir())
        return QDir(dest).filePath(QFileInfo(ringtoneFile).completeBaseName() + QLatin1Char('.') + extension);
    return RingtoneCopyWriter::formatForExtension(info.suffix()) == *format ? dest
                                                                             : dest + QLatin1Char('.') + extension;
}

bool RingtoneWaysOut::fileIsThere() {
    if (hasFile() && QFileInfo(filePath_).isFile()) return true;
    setStatus(text("ringtone_file_missing"));
    return false;
}

void RingtoneWaysOut::saveCopy(const QString& destination, RingtoneCopyFormat format) {
    if (saving_ || !fileIsThere() || destination.isEmpty()) return;
    std::optional<RingtoneCopyFormat> chosen = format;
    const QString target = copyDestination(destination, filePath_, &chosen);
    saving_ = true;
    setStatus(text("saving"));
    // The dialog asked before replacing the name it returned; a name this
    // object made up (an added extension) is never put over another file.
    const bool replace = target == destination;
    QPointer<QObject> context(this);
    WorkerThreads::start([this, context, source = filePath_, target, chosen, tags = tags_, replace] {
        QString error;
        const bool ok = RingtoneCopyWriter::write(source, target, *chosen, tags, replace, &error);
        postToMainThread(context, [this, ok, target, error] {
            saving_ = false;
            if (!ok) {
                NSLog("Save a Copy: %@", error);
                setStatus(text("save_failed").arg(error));
                return;
            }
            UserDefaults::standardUserDefaults().setString(QString::fromLatin1(kSaveFolderKey),
                                                           QFileInfo(target).absolutePath());
            setStatus(text("saved_to").arg(shortPath(target)));
        });
    });
}

void RingtoneWaysOut::showInFolder() {
    if (!fileIsThere()) return;
    std::weak_ptr<bool> alive = alive_;
    fileManager_->showItem(filePath_, [this, alive](DesktopFileManager::Shown shown) {
        if (auto a = alive.lock(); !a || !*a) return;
        if (shown == DesktopFileManager::Shown::Failed) setStatus(text("file_manager_failed"));
        else setStatus(text("shown_in_folder"));
    });
}

void RingtoneWaysOut::findPhones() {
    std::weak_ptr<bool> alive = alive_;
    phoneLink_->listDevices([this, alive](QList<PhoneDevice> devices) {
        if (auto a = alive.lock(); !a || !*a) return;
        phones_ = devices;
        emit changed();
    });
}

void RingtoneWaysOut::sendToPhone(const QString& deviceId) {
    if (phones_.isEmpty() || !fileIsThere()) return;
    PhoneDevice device = phones_.front();
    for (const PhoneDevice& d : phones_)
        if (d.id == deviceId) device = d;
    setStatus(text("sending_to").arg(device.name));
    std::weak_ptr<bool> alive = alive_;
    phoneLink_->share(filePath_, device.id, [this, alive, device](QString error) {
        if (auto a = alive.lock(); !a || !*a) return;
        if (!error.isEmpty()) {
            NSLog("Send to Phone: %@", error);
            setStatus(text("send_failed").arg(device.name, error));
            findPhones(); // the phone may have gone
            return;
        }
        setStatus(text("sent_to").arg(device.name));
    });
}

QMimeData* RingtoneWaysOut::dragDataForFile(const QString& path) {
    if (path.isEmpty() || !QFileInfo(path).isFile()) return nullptr;
    auto* data = new QMimeData;
    data->setUrls({QUrl::fromLocalFile(QFileInfo(path).absoluteFilePath())});
    QFile file(path);
    if (file.open(QIODevice::ReadOnly)) data->setData(QString::fromLatin1(kDragMimeType), file.readAll());
    return data;
}

QString RingtoneWaysOut::shortPath(const QString& path) {
    const QString home = QDir::homePath();
    const QString absolute = QFileInfo(path).absoluteFilePath();
    if (absolute.startsWith(home + QLatin1Char('/'))) return QStringLiteral("~") + absolute.mid(home.size());
    return absolute;
}

void RingtoneWaysOut::setStatus(const QString& text) {
    status_ = text;
    emit changed();
}

} // namespace quorvel
