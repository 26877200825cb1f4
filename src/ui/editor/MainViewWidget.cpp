#include "ui/editor/MainViewWidget.h"
#include "ui/controls/TextFit.h"

#include "platform/audio/AudioServices.h"
#include "platform/core/LocalizedStrings.h"
#include "platform/core/Log.h"
#include "platform/core/Paths.h"
#include "screens/MainViewController.h"
#include "ui/common/AlertView.h"
#include "ui/common/FocusKeys.h"
#include "ui/common/ScreenStack.h"
#include "ui/controls/UIImage.h"
#include "ui/editor/EditorNavigation.h"
#include "ui/editor/EditorSlider.h"
#include "ui/editor/SegmentStrip.h"
#include "ui/editor/SongStripView.h"
#include "ui/editor/TimeEntryField.h"
#include "ui_MainView.h"

#include <QDir>
#include <QFontDatabase>
#include <QPainter>
#include <QPropertyAnimation>
#include <QScrollBar>
#include <QShortcut>
#include <QTimer>
#include <cmath>

namespace quorvel {

namespace {

const char* const kLcdFontFolder = "/usr/share/fonts/truetype/dseg";
const char* const kLcdFontFile = "DSEG7Classic-Bold.ttf";
constexpr int kMarkerCap = 10;
// Page Up and Page Down move the start this far.
constexpr double kPageSeconds = 5.0;
// How long a typed time's note stays.
constexpr int kNoteMs = 3000;

// A palette whose window is `image` tiled (the screen's and the strip's backgrounds).
void tileBackground(QWidget* widget, const QString& image) {
    QPalette palette = widget->palette();
    palette.setBrush(QPalette::Window, QBrush(UIImage::imageNamed(image)));
    widget->setPalette(palette);
    widget->setAutoFillBackground(true);
}

// The segment marker at `width` points, its two ends kept whole.
QPixmap markerOfWidth(int width) {
    const QPixmap image = UIImage::imageNamed(QStringLiteral("rangeMarker.png"));
    const qreal dpr = image.devicePixelRatio();
    const QSizeF size = UIImage::pointSize(image);
    width = std::max(width, 1);
    QPixmap out(QSize(int(std::ceil(width * dpr)), int(std::ceil(size.height() * dpr))));
    out.setDevicePixelRatio(dpr);
    out.fill(Qt::transparent);
    QPainter p(&out);
    p.setRenderHint(QPainter::SmoothPixmapTransform);
    const qreal cap = std::min<qreal>(kMarkerCap, width / 2.0);
    const qreal h = size.height();
    p.drawPixmap(QRectF(0, 0, cap, h), image, QRectF(0, 0, cap * dpr, h * dpr));
    p.drawPixmap(QRectF(cap, 0, width - 2 * cap, h), image,
                 QRectF(kMarkerCap * dpr, 0, (size.width() - 2 * kMarkerCap) * dpr, h * dpr));
    p.drawPixmap(QRectF(width - cap, 0, cap, h), image, QRectF((size.width() - cap) * dpr, 0, cap * dpr, h * dpr));
    return out;
}

QRect whole(const QRectF& r) { return QRect(int(std::lround(r.x())), int(std::lround(r.y())), int(std::lround(r.width())), int(std::lround(r.height()))); }

} // namespace

QString MainViewWidget::lcdFontFamily() {
    static const QString family = [] {
        const QString path = QDir(QString::fromLatin1(kLcdFontFolder)).filePath(QString::fromLatin1(kLcdFontFile));
        const int id = QFontDatabase::addApplicationFont(path);
        const QStringList families = id < 0 ? QStringList() : QFontDatabase::applicationFontFamilies(id);
        if (families.isEmpty()) {
            NSLog("LCD font not found at %@; the time labels use the default font", path);
            return QString();
        }
        return families.front();
    }();
    return family;
}

MainViewWidget::MainViewWidget(MainViewController& presenter, QWidget* parent)
    : QWidget(parent), ui_(std::make_unique<Ui::MainView>()), presenter_(presenter) {
    ui_->setupUi(this);
    setObjectName(QStringLiteral("MainView"));
    setUpScreen();
    connectControls();
    addTimeEntries();
    addShortcuts();
    fitTexts();
    // Tab reaches every control; a focused one takes its own keys.
    FocusKeys::install(this);
    presenter_.setView(this);
    presenter_.viewDidLoad();
    connect(&presenter_, &MainViewController::changed, this, &MainViewWidget::refresh);
    refresh();
}

MainViewWidget::~MainViewWidget() {
    presenter_.setView(nullptr);
    if (tickSound_) AudioServicesDisposeSystemSoundID(tickSound_);
    if (notice_) notice_->dismissWithClickedButtonIndex(0, false);
}

void MainViewWidget::fitTexts() {
    // A translation may be longer than the English the layout was drawn for.
    for (QWidget* caption : {static_cast<QWidget*>(ui_->fadeInCaption), static_cast<QWidget*>(ui_->fadeOutCaption),
                             static_cast<QWidget*>(ui_->pitchCaption), static_cast<QWidget*>(ui_->speedCaption)})
        TextFit::shrinkToFit(caption, 6);
    for (QWidget* button : {static_cast<QWidget*>(ui_->pickButton), static_cast<QWidget*>(ui_->recordButton),
                            static_cast<QWidget*>(ui_->exportButton), static_cast<QWidget*>(ui_->listButton),
                            static_cast<QWidget*>(ui_->helpButton)})
        TextFit::shrinkToFit(button, 8);
}

void MainViewWidget::setUpScreen() {
    tileBackground(this, QStringLiteral("QuorvelBG.png"));
    ui_->waveView->setWidgetResizable(false);
    ui_->waveView->setStyleSheet(QStringLiteral("QScrollArea { background: transparent; }"));
    ui_->waveView->viewport()->setAutoFillBackground(false);
    ui_->cursorView->setPixmap(UIImage::imageNamed(QStringLiteral("cursor.png")));
    ui_->artwork->setPixmap(QPixmap::fromImage(presenter_.noArtworkImage()));
    ui_->playStopButton->setIconSize(QSize(56, 56));
    // The mouse on the strip goes to the strip's frame (SegmentStrip), which
    // moves the segment through the presenter; the scroll area itself never
    // scrolls by the wheel or a drag.
    for (QWidget* over : std::initializer_list<QWidget*>{ui_->waveView, ui_->rangeImageView, ui_->cursorView,
                                                          ui_->shortSourceNotice})
        over->setAttribute(Qt::WA_TransparentForMouseEvents);
    ui_->waveView->setFocusPolicy(Qt::NoFocus);
    ui_->stripFrame->setPresenter(&presenter_);
    ui_->startLabel->installEventFilter(this);
    ui_->rangeLabel->installEventFilter(this);
    scroll_ = new QPropertyAnimation(ui_->waveView->horizontalScrollBar(), "value", this);
    scroll_->setDuration(200);
    scroll_->setEasingCurve(QEasingCurve::OutCubic);

    const QString lcd = lcdFontFamily();
    if (!lcd.isEmpty()) {
        ui_->playCurrentTime->setStyleSheet(QStringLiteral("font-family: \"%1\"; font-size: 14px;").arg(lcd));
    }
    ui_->rangeSlider->setMinimum(3 * int(EditorSlider::kScale));
    ui_->fadeInSlider->showValue(0, 3, 0);
    ui_->fadeOutSlider->showValue(0, 3, 0);
    ui_->pitchSlider->showValue(-12, 12, 0);
    ui_->speedSlider->showValue(-2, 2, 0);

    const QUrl tick = QUrl::fromLocalFile(Paths::resourcePath(QStringLiteral("tick.wav")));
    SystemSoundID id = 0;
    const OSStatus status = AudioServicesCreateSystemSoundID(tick, &id);
    if (status == noErr) tickSound_ = id;
    else NSLog("The tick sound was not registered: %d", int(status));
}

void MainViewWidget::connectControls() {
    MainViewController& p = presenter_;
    connect(ui_->playStopButton, &QPushButton::clicked, this, [&p] { p.playOrPauseMusic(); });
    connect(ui_->exportButton, &QPushButton::clicked, this, [&p] { p.preProcessRingtoneForExport(); });
    connect(ui_->pickButton, &QPushButton::clicked, this, [&p] { p.showMediaPicker(); });
    connect(ui_->recordButton, &QPushButton::clicked, this, [&p] { p.startRecorder(); });
    connect(ui_->listButton, &QPushButton::clicked, this, [&p] { p.showFileManager(); });
    connect(ui_->helpButton, &QPushButton::clicked, this, [&p] { p.showHelp(); });
    connect(ui_->startForward, &QPushButton::clicked, this, [&p] { p.startForward(); });
    connect(ui_->startBackward, &QPushButton::clicked, this, [&p] { p.startBackward(); });
    connect(ui_->rangeForward, &QPushButton::clicked, this, [&p] { p.rangeForward(); });
    connect(ui_->rangeBackward, &QPushButton::clicked, this, [&p] { p.rangeBackward(); });

    // Start and length apply while dragging; the others snap on release.
    for (auto signal : {&EditorSlider::valueChangedWhileDragging, &EditorSlider::valueChangedReleased}) {
        connect(ui_->startSlider, signal, this, [&p](float v) { p.startValueChanged(v); });
        connect(ui_->rangeSlider, signal, this, [&p](float v) { p.rangeValueChanged(v); });
    }
    // Nested lambdas take plain pointers: a `this` captured through an outer
    // lambda reached the slot as null in GCC's sanitized build.
    MainViewController* presenter = &presenter_;
    const auto phased = [this, presenter](EditorSlider* slider,
                                          void (MainViewController::*handler)(float, SliderPhase)) {
        connect(slider, &EditorSlider::valueChangedWhileDragging, this,
                [presenter, handler](float v) { (presenter->*handler)(v, SliderPhase::Dragging); });
        connect(slider, &EditorSlider::valueChangedReleased, this,
                [presenter, handler](float v) { (presenter->*handler)(v, SliderPhase::Released); });
    };
    phased(ui_->fadeInSlider, &MainViewController::fadeInValueChanged);
    phased(ui_->fadeOutSlider, &MainViewController::fadeOutValueChanged);
    phased(ui_->pitchSlider, &MainViewController::pitchValueChanged);
    phased(ui_->speedSlider, &MainViewController::speedValueChanged);
    // A tap sends the switch's event; a drag ends with the slider's release,
    // after the switch has snapped.
    UICustomSwitch* normalize = ui_->normalizeLoudnessSwitch;
    connect(normalize, &UICustomSwitch::valueChangedEvent, this,
            [presenter, normalize] { presenter->normalizeLoudnessChanged(normalize->isOn()); });
    connect(normalize, &QAbstractSlider::sliderReleased, this, [presenter, normalize] {
        QTimer::singleShot(0, normalize, [presenter, normalize] { presenter->normalizeLoudnessChanged(normalize->isOn()); });
    });
}

// The keys act while the editor shows (a covered screen is hidden, and a
// hidden widget's shortcuts do not fire); each goes where its button goes.
void MainViewWidget::addShortcuts() {
    const auto add = [this](const QKeySequence& keys, const char* name, auto action) {
        auto* shortcut = new QShortcut(keys, this);
        shortcut->setObjectName(QString::fromLatin1(name));
        const int key = keys[0].key();
        shortcut->setAutoRepeat(key == Qt::Key_Left || key == Qt::Key_Right || key == Qt::Key_PageUp ||
                                key == Qt::Key_PageDown);
        QWidget* editor = this;
        connect(shortcut, &QShortcut::activated, this, [editor, action] {
            const ScreenStack* stack = ScreenStack::stackOf(editor);
            if (stack && !stack->isInteractive()) return;
            action();
        });
    };
    MainViewController& p = presenter_;
    add(QKeySequence(Qt::Key_Space), "playShortcut", [&p] { p.playOrPauseMusic(); });
    add(QKeySequence(Qt::Key_Right), "startForwardShortcut", [&p] { p.startForward(); });
    add(QKeySequence(Qt::Key_Left), "startBackwardShortcut", [&p] { p.startBackward(); });
    add(QKeySequence(Qt::SHIFT | Qt::Key_Right), "rangeForwardShortcut", [&p] { p.rangeForward(); });
    add(QKeySequence(Qt::SHIFT | Qt::Key_Left), "rangeBackwardShortcut", [&p] { p.rangeBackward(); });
    add(QKeySequence(Qt::CTRL | Qt::Key_R), "recordShortcut", [&p] { p.startRecorder(); });
    add(QKeySequence(Qt::CTRL | Qt::Key_E), "exportShortcut", [&p] { p.preProcessRingtoneForExport(); });
    add(QKeySequence(Qt::CTRL | Qt::Key_L), "listShortcut", [&p] { p.showFileManager(); });
    // Larger moves through a long song, through the start's own action.
    add(QKeySequence(Qt::Key_PageDown), "startPageForwardShortcut",
        [&p] { p.startValueChanged(float(double(p.controls().start()) + kPageSeconds)); });
    add(QKeySequence(Qt::Key_PageUp), "startPageBackwardShortcut",
        [&p] { p.startValueChanged(float(double(p.controls().start()) - kPageSeconds)); });
    add(QKeySequence(Qt::Key_Home), "startHomeShortcut", [&p] { p.startValueChanged(0.0f); });
    add(QKeySequence(Qt::Key_End), "startEndShortcut", [&p] { p.startValueChanged(p.controls().startSlider().maximum); });
    add(QKeySequence(Qt::CTRL | Qt::Key_T), "typeTimeShortcut", [this] { typeStart(); });
}

void MainViewWidget::addTimeEntries() {
    startEntry_ = new TimeEntryField(this);
    startEntry_->setObjectName(QStringLiteral("startEntry"));
    startEntry_->setAccessibleName(tr("Type the start"));
    rangeEntry_ = new TimeEntryField(this);
    rangeEntry_->setObjectName(QStringLiteral("rangeEntry"));
    rangeEntry_->setAccessibleName(tr("Type the length"));
    for (TimeEntryField* field : {startEntry_, rangeEntry_}) {
        connect(field, &TimeEntryField::entered, this,
                [this, field](const QString& text) { typedTimeEntered(field, text); });
        connect(field, &TimeEntryField::left, this, [this] { setFocus(Qt::OtherFocusReason); });
    }
    noteTimer_ = new QTimer(this);
    noteTimer_->setSingleShot(true);
    noteTimer_->setInterval(kNoteMs);
    connect(noteTimer_, &QTimer::timeout, ui_->typedTimeNote, &QWidget::hide);
}

void MainViewWidget::typeStart() {
    if (!presenter_.areControlsEnabled() || presenter_.isLoading()) return;
    rangeEntry_->hide();
    startEntry_->open(ui_->startLabel->geometry().adjusted(48, -2, 0, 2), presenter_.controls().startText());
}

void MainViewWidget::typeLength() {
    if (!presenter_.areControlsEnabled() || presenter_.isLoading()) return;
    startEntry_->hide();
    rangeEntry_->open(ui_->rangeLabel->geometry().adjusted(48, -2, 0, 2), presenter_.controls().rangeText());
}

void MainViewWidget::typedTimeEntered(TimeEntryField* field, const QString& text) {
    const bool start = field == startEntry_;
    const MainViewController::TypedTimeOutcome outcome =
        start ? presenter_.startTyped(text) : presenter_.lengthTyped(text);
    showTypedTimeNote(outcome.note, start ? ui_->startLabel : ui_->rangeLabel);
    if (!outcome.accepted) {
        field->selectAll();
        return;
    }
    field->hide();
    setFocus(Qt::OtherFocusReason);
}

void MainViewWidget::showTypedTimeNote(const QString& note, const QWidget* label) {
    QLabel* shown = ui_->typedTimeNote;
    if (note.isEmpty()) {
        shown->hide();
        return;
    }
    // Beside the field, on the caption's row.
    const QRect row = label->geometry();
    shown->setGeometry(QRect(58, row.y(), row.x() + 48 - 62, row.height()));
    shown->setText(QFontMetrics(shown->font()).elidedText(note, Qt::ElideRight, shown->width()));
    shown->setToolTip(note);
    shown->show();
    shown->raise();
    noteTimer_->start();
}

bool MainViewWidget::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() == QEvent::MouseButtonDblClick) {
        if (watched == ui_->startLabel) typeStart();
        else if (watched == ui_->rangeLabel) typeLength();
        else return QWidget::eventFilter(watched, event);
        return true;
    }
    return QWidget::eventFilter(watched, event);
}

void MainViewWidget::showEvent(QShowEvent* event) {
    QWidget::showEvent(event);
    // The strip's offset is only reachable once the scroll area has its size.
    placeStrip();
}

void MainViewWidget::refresh() {
    const MainViewController& p = presenter_;
    const EditorControls& c = p.controls();
    const bool hasSong = bool(p.ringtune());

    const QFontMetrics titleMetrics(ui_->nowPlayingLabel->font());
    const QString title = hasSong ? p.nowPlayingTitle() : tr("No song chosen");
    ui_->nowPlayingLabel->setText(titleMetrics.elidedText(title, Qt::ElideRight, ui_->nowPlayingLabel->width()));
    ui_->nowPlayingLabel->setToolTip(title);
    const QFontMetrics artistMetrics(ui_->nowPlayingArtist->font());
    ui_->nowPlayingArtist->setText(
        artistMetrics.elidedText(p.nowPlayingArtist(), Qt::ElideRight, ui_->nowPlayingArtist->width()));
    ui_->nowPlayingArtist->setToolTip(p.nowPlayingArtist());
    ui_->artwork->setPixmap(QPixmap::fromImage(p.artwork()));
    ui_->playCurrentTime->setText(p.playCurrentTimeText().isEmpty() ? QStringLiteral("00:00.0")
                                                                    : p.playCurrentTimeText());
    ui_->playStopButton->setIcon(QIcon(UIImage::imageNamed(p.playStopButtonImage())));

    ui_->startSlider->showValue(c.startSlider().minimum, c.startSlider().maximum, c.startSlider().value);
    ui_->rangeSlider->showValue(c.lengthSlider().minimum, c.lengthSlider().maximum, c.lengthSlider().value);
    ui_->fadeInSlider->showValue(c.fadeInSlider().minimum, c.fadeInSlider().maximum, c.fadeInSlider().value);
    ui_->fadeOutSlider->showValue(c.fadeOutSlider().minimum, c.fadeOutSlider().maximum, c.fadeOutSlider().value);
    ui_->pitchSlider->showValue(c.pitchSlider().minimum, c.pitchSlider().maximum, c.pitchSlider().value);
    ui_->speedSlider->showValue(c.speedSlider().minimum, c.speedSlider().maximum, c.speedSlider().value);
    ui_->startLabel->setText(c.startText());
    ui_->rangeLabel->setText(c.rangeText());
    ui_->fadeInLabel->setText(c.fadeInText());
    ui_->fadeOutLabel->setText(c.fadeOutText());
    ui_->pitchLabel->setText(c.pitchText());
    ui_->speedLabel->setText(c.speedText());
    if (ui_->normalizeLoudnessSwitch->isOn() != c.isLoudnessNormalized())
        ui_->normalizeLoudnessSwitch->setOn(c.isLoudnessNormalized(), true);

    const bool enabled = p.areControlsEnabled() && !p.isLoading();
    for (QWidget* control : std::initializer_list<QWidget*>{
             ui_->startSlider, ui_->rangeSlider, ui_->fadeInSlider, ui_->fadeOutSlider, ui_->pitchSlider,
             ui_->speedSlider, ui_->normalizeLoudnessSwitch, ui_->startForward, ui_->startBackward, ui_->rangeForward, ui_->rangeBackward,
             ui_->playStopButton, ui_->exportButton})
        control->setEnabled(enabled);
    ui_->stripFrame->setActive(enabled);
    if (!enabled) {
        startEntry_->hide();
        rangeEntry_->hide();
    }
    ui_->waveContent->setPeaks(p.songWaveform());
    const QString shortNotice = p.shortSourceNotice();
    ui_->shortSourceNotice->setText(shortNotice);
    ui_->shortSourceNotice->setVisible(!shortNotice.isEmpty());

    placeStrip();
    showProcessingNotice(p.isProcessingNoticeShown());
}

void MainViewWidget::placeStrip() {
    const QSizeF content = presenter_.waveContentSize();
    const int width = std::max(int(std::lround(content.width())), presenter_.ringtune() ? 1 : ui_->waveView->width());
    ui_->waveContent->setFixedSize(width, ui_->waveView->height());

    const QRect range = whole(presenter_.rangeFrame());
    if (range.width() != markerWidth_) {
        markerWidth_ = range.width();
        ui_->rangeImageView->setPixmap(markerOfWidth(markerWidth_));
    }
    ui_->rangeImageView->setGeometry(range);
    ui_->cursorView->setGeometry(whole(presenter_.cursorFrame()));
    ui_->rangeImageView->setVisible(presenter_.ringtune() != nullptr);
    ui_->cursorView->setVisible(presenter_.ringtune() != nullptr);

    // Past the end the strip stops at its last offset (the scroll bar's maximum).
    const int offset = std::max(0, int(std::lround(presenter_.visibleRect().x())));
    QScrollBar* bar = ui_->waveView->horizontalScrollBar();
    const int target = std::min(offset, bar->maximum());
    if (scroll_->state() == QAbstractAnimation::Running && scroll_->endValue().toInt() == target) return;
    scroll_->stop();
    if (bar->value() == target) return;
    if (!isVisible()) {
        bar->setValue(target);
        return;
    }
    scroll_->setStartValue(bar->value());
    scroll_->setEndValue(target);
    scroll_->start();
}

void MainViewWidget::showProcessingNotice(bool shown) {
    if (shown && !notice_) {
        if (ScreenStack* stack = ScreenStack::stackOf(this))
            notice_ = AlertView::showProcessingNotice(stack, NSLocalizedString(QStringLiteral("processing")));
    } else if (!shown && notice_) {
        notice_->dismissWithClickedButtonIndex(0, true);
        notice_ = nullptr;
    }
}

AlertView* MainViewWidget::processingNotice() const { return notice_; }

void MainViewWidget::presentScreen(EditorScreen screen) {
    if (navigation_) navigation_->presentScreen(screen);
}

void MainViewWidget::presentExportScreen(const std::shared_ptr<ExportViewController>& screen) {
    if (navigation_) navigation_->presentExportScreen(screen);
}

void MainViewWidget::dismissPresentedScreen() {
    if (navigation_) navigation_->dismissPresentedScreen();
}

void MainViewWidget::dismissScreensOverStartScreen() {
    if (navigation_) navigation_->dismissScreensOverStartScreen();
}

void MainViewWidget::showAlert(const QString& title, const QString& message) {
    ScreenStack* stack = ScreenStack::stackOf(this);
    if (!stack) {
        NSLog("%@: %@", title, message);
        return;
    }
    AlertView::show(stack, title, message, tr("OK"));
}

void MainViewWidget::playTickSound() {
    if (tickSound_) AudioServicesPlayAlertSound(tickSound_);
}

} // namespace quorvel
