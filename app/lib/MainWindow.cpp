#include "MainWindow.h"

#include "AboutBox.h"
#include "Navigator.h"
#include "editor/Ringtune.h"
#include "platform/audio/AudioOutput.h"
#include "platform/core/NotificationCenter.h"
#include "platform/core/Paths.h"
#include "platform/core/UserDefaults.h"
#include "platform/desktop/DesktopFileManager.h"
#include "platform/musiclibrary/MPMediaItem.h"
#include "screens/AVPreviewPlayer.h"
#include "screens/MainViewController.h"
#include "screens/PreviewPlayer.h"
#include "ui/common/AlertView.h"
#include "ui/common/CanvasView.h"
#include "ui/common/ScreenStack.h"

#include <QActionGroup>
#include <QCloseEvent>
#include <QApplication>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFileInfo>
#include <QIcon>
#include <QLayout>
#include <QDir>
#include <QMenuBar>
#include <QMimeData>
#include <QScreen>
#include <QShortcut>

namespace quorvel {

MainWindow::MainWindow(MPMediaLibrary& library, QWidget* parent) : QMainWindow(parent) {
    setObjectName(QStringLiteral("mainWindow"));
    stack_ = new ScreenStack;
    canvas_ = new CanvasView(stack_, this);
    stack_->setDialogParent(this);
    setCentralWidget(canvas_);
    setWindowIcon(applicationIcon());
    navigator_ = new Navigator(*stack_, library, std::make_unique<AVPreviewPlayer>(), this);
    connect(navigator_, &Navigator::ringtuneChanged, this, &MainWindow::updateTitle);
    setAcceptDrops(true);
    buildMenus();
    connect(canvas_, &CanvasView::scaleChanged, this, &MainWindow::markScale);
    setScalePercent(storedScalePercent());
    setSongWaveformShown(UserDefaults::windowDefaults().boolForKey(QString::fromLatin1(kSongWaveformKey)));
    updateTitle();
    restoreGeometry();
    // The sound server stopped while something played: the program goes on, and says so.
    NotificationCenter::defaultCenter().addObserver(this, QString::fromLatin1(AudioOutput::kDeviceLostNotification),
                                                    nullptr, [this](const QString&, const void*) {
        AlertView::show(stack_, tr("No sound"),
                        tr("The sound device is gone. Sound plays again once a sound server is back."), tr("OK"));
    });
    navigator_->start();
}

MainWindow::~MainWindow() {
    NotificationCenter::defaultCenter().removeObserver(this, QString::fromLatin1(AudioOutput::kDeviceLostNotification));
    // The presented screens go before the canvas and the navigator they use.
    navigator_->shutDown();
}

QIcon MainWindow::applicationIcon() {
    // The installed theme's icon, else the one built in (a run from the build tree).
    QIcon builtIn;
    for (int size : {16, 32, 48, 64, 128, 256})
        builtIn.addFile(QStringLiteral(":/icons/quorvel-%1.png").arg(size), QSize(size, size));
    return QIcon::fromTheme(QStringLiteral("quorvel"), builtIn);
}

int MainWindow::storedScalePercent() {
    UserDefaults& defaults = UserDefaults::windowDefaults();
    const QString key = QString::fromLatin1(kScaleKey);
    if (defaults.hasKey(key)) {
        const int stored = int(defaults.integerForKey(key));
        if (scaleChoices().contains(stored)) return stored;
    }
    // Without a choice yet: the default, unless the screen is too small for it.
    const QScreen* screen = QGuiApplication::primaryScreen();
    if (screen && screen->availableGeometry().height() < ScreenStack::kHeight * kDefaultScalePercent / 100 + 80)
        return 100;
    return kDefaultScalePercent;
}

void MainWindow::setScalePercent(int percent) {
    if (!scaleChoices().contains(percent)) return;
    scalePercent_ = percent;
    canvas_->setScale(percent / 100.0);
    UserDefaults& defaults = UserDefaults::windowDefaults();
    if (defaults.integerForKey(QString::fromLatin1(kScaleKey)) != percent ||
        !defaults.hasKey(QString::fromLatin1(kScaleKey))) {
        defaults.setInteger(QString::fromLatin1(kScaleKey), percent);
        defaults.synchronize();
    }
    // The window takes the size that shows the canvas at the preset.
    if (!isMaximized() && !isFullScreen()) {
        if (layout()) layout()->activate();
        resize(sizeHint());
    }
    markScale(canvas_->scale());
}

void MainWindow::markScale(qreal shown) {
    // A preset is ticked while the canvas shows it; a free size ticks none.
    for (QAction* action : scaleGroup_->actions())
        action->setChecked(qAbs(shown - action->data().toInt() / 100.0) < 0.005);
}

void MainWindow::setSongWaveformShown(bool shown) {
    waveformAction_->setChecked(shown);
    navigator_->editorPresenter().setSongWaveformShown(shown);
    UserDefaults& defaults = UserDefaults::windowDefaults();
    const QString key = QString::fromLatin1(kSongWaveformKey);
    if (defaults.boolForKey(key) == shown) return;
    defaults.setBool(key, shown);
    defaults.synchronize();
}

void MainWindow::buildMenus() {
    QMenu* file = menuBar()->addMenu(tr("&File"));
    QAction* pick = file->addAction(tr("&Choose a Song…"), this, [this] { navigator_->showMediaPicker(); });
    pick->setObjectName(QStringLiteral("pickAction"));
    pick->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_O));
    QAction* folder = file->addAction(tr("Open &Ringtones Folder"), this, [] {
        QDir().mkpath(Paths::documentsDirectory());
        DesktopFileManager::openFolder(Paths::documentsDirectory());
    });
    folder->setObjectName(QStringLiteral("openRingtonesFolderAction"));
    file->addSeparator();
    QAction* quit = file->addAction(tr("&Quit"), qApp, &QApplication::closeAllWindows);
    quit->setShortcut(QKeySequence::Quit);

    QMenu* view = menuBar()->addMenu(tr("&View"));
    scaleGroup_ = new QActionGroup(this);
    scaleGroup_->setExclusionPolicy(QActionGroup::ExclusionPolicy::ExclusiveOptional);
    for (int percent : scaleChoices()) {
        QAction* action = view->addAction(tr("%1 %").arg(percent));
        action->setObjectName(QStringLiteral("scale%1Action").arg(percent));
        action->setCheckable(true);
        action->setData(percent);
        action->setShortcut(QKeySequence(Qt::CTRL | Qt::Key(Qt::Key_1 + int(scaleChoices().indexOf(percent)))));
        scaleGroup_->addAction(action);
        connect(action, &QAction::triggered, this, [this, percent] { setScalePercent(percent); });
    }
    view->addSeparator();
    waveformAction_ = view->addAction(tr("Song &Waveform"));
    waveformAction_->setObjectName(QStringLiteral("songWaveformAction"));
    waveformAction_->setCheckable(true);
    connect(waveformAction_, &QAction::toggled, this, &MainWindow::setSongWaveformShown);

    QMenu* help = menuBar()->addMenu(tr("&Help"));
    QAction* showHelp = help->addAction(tr("Quorvel &Help"), this, [this] { navigator_->showHelp(); });
    showHelp->setObjectName(QStringLiteral("helpAction"));
    showHelp->setShortcut(QKeySequence(Qt::Key_F1));
    help->addSeparator();
    QAction* about = help->addAction(tr("&About Quorvel"), this, &MainWindow::showAbout);
    about->setObjectName(QStringLiteral("aboutAction"));
    about->setMenuRole(QAction::AboutRole);

    auto* escape = new QShortcut(QKeySequence(Qt::Key_Escape), this);
    escape->setObjectName(QStringLiteral("escapeShortcut"));
    connect(escape, &QShortcut::activated, this, [this] { navigator_->closePresented(); });
}

void MainWindow::updateTitle() {
    const auto& ringtune = navigator_->ringtune();
    setWindowTitle(ringtune && !ringtune->title().isEmpty()
                       ? tr("%1 — Quorvel").arg(ringtune->title())
                       : QStringLiteral("Quorvel"));
}

void MainWindow::showAbout() {
    if (findChild<AboutBox*>(QStringLiteral("aboutBox"))) return;
    (new AboutBox(this))->open();
}

void MainWindow::raiseToFront() {
    if (isMinimized()) setWindowState((windowState() & ~Qt::WindowMinimized) | Qt::WindowActive);
    show();
    raise();
    activateWindow();
}

void MainWindow::openFromAnotherStart(const QStringList& files) {
    raiseToFront();
    if (!files.isEmpty() && stack_->isInteractive()) navigator_->pickFile(files.first());
}

QString MainWindow::droppedSong(const QMimeData* mime) const {
    if (!mime || !mime->hasUrls()) return {};
    for (const QUrl& url : mime->urls()) {
        if (!url.isLocalFile()) continue;
        const QString path = url.toLocalFile();
        // The importer's formats, and those offered through the song cache (FLAC, Ogg, Opus, WavPack ...).
        if (QFileInfo(path).isFile() && (!MPMediaItem::libraryExtensionForFile(path).isEmpty() ||
                                         !MPMediaItem::decodedFormatForFile(path).isEmpty()))
            return path;
    }
    return {};
}

void MainWindow::dragEnterEvent(QDragEnterEvent* event) {
    if (stack_->isInteractive() && !droppedSong(event->mimeData()).isEmpty()) event->acceptProposedAction();
}

void MainWindow::dropEvent(QDropEvent* event) {
    const QString path = droppedSong(event->mimeData());
    if (path.isEmpty() || !stack_->isInteractive()) return;
    event->acceptProposedAction();
    navigator_->pickFile(path);
}

void MainWindow::changeEvent(QEvent* event) {
    QMainWindow::changeEvent(event);
    if (event->type() == QEvent::ActivationChange && !isActiveWindow()) {
        // The desktop's counterpart of the phone's resign-active: the rating prompt hides.
        NotificationCenter::defaultCenter().postNotificationName(
            QStringLiteral("UIApplicationWillResignActiveNotification"), nullptr);
        return;
    }
    if (event->type() != QEvent::WindowStateChange) return;
    const bool minimised = isMinimized();
    if (minimised == minimised_) return;
    minimised_ = minimised;
    if (minimised) emit wentToBackground();
    else emit cameToForeground();
}

void MainWindow::restoreGeometry() {
    UserDefaults& defaults = UserDefaults::windowDefaults();
    const QStringList size = defaults.stringForKey(QString::fromLatin1(kSizeKey)).split(QLatin1Char(','));
    if (size.size() == 2) {
        const QSize stored(size[0].toInt(), size[1].toInt());
        if (stored.isValid() && stored.width() >= minimumSizeHint().width() &&
            stored.height() >= minimumSizeHint().height())
            resize(stored);
    }
    const QStringList parts = defaults.stringForKey(QString::fromLatin1(kPositionKey)).split(QLatin1Char(','));
    if (parts.size() != 2) return;
    bool okX = false, okY = false;
    const QPoint position(parts[0].toInt(&okX), parts[1].toInt(&okY));
    if (!okX || !okY) return;
    // Only where a screen still shows the window's corner (a monitor may have gone).
    for (const QScreen* screen : QGuiApplication::screens()) {
        if (screen->availableGeometry().contains(position + QPoint(40, 20))) {
            move(position);
            return;
        }
    }
}

void MainWindow::closeEvent(QCloseEvent* event) {
    if (!isMinimized() && !isMaximized() && !isFullScreen()) {
        UserDefaults& defaults = UserDefaults::windowDefaults();
        defaults.setString(QString::fromLatin1(kPositionKey), QStringLiteral("%1,%2").arg(pos().x()).arg(pos().y()));
        defaults.setString(QString::fromLatin1(kSizeKey), QStringLiteral("%1,%2").arg(width()).arg(height()));
        defaults.synchronize();
    }
    QMainWindow::closeEvent(event);
}

} // namespace quorvel
