#pragma once
// The program's one window: the phone's canvas scaled to fit the window,
// which resizes freely (View menu: 100, 150 or 200 % as presets; the preset,
// the window's place and size are remembered in the window defaults), the
// menus and keys, files dropped on it, and a title that names the working
// ringtone.
#include <QMainWindow>

class QActionGroup;
class QIcon;
class QMimeData;

namespace quorvel {

class CanvasView;
class MPMediaLibrary;
class Navigator;
class ScreenStack;

class MainWindow : public QMainWindow {
    Q_OBJECT
public:
    static constexpr const char* kScaleKey = "window_scale_percent";
    static constexpr int kDefaultScalePercent = 150;
    // Where the window was last closed, "x,y" on the desktop.
    static constexpr const char* kPositionKey = "window_position";
    // Its size then, "width,height".
    static constexpr const char* kSizeKey = "window_size";
    // Whether the editor's strip shows the song's own waveform (off: the tiled picture).
    static constexpr const char* kSongWaveformKey = "song_waveform";

    explicit MainWindow(MPMediaLibrary& library, QWidget* parent = nullptr);
    ~MainWindow() override;

    ScreenStack* stack() const { return stack_; }
    CanvasView* canvas() const { return canvas_; }
    Navigator* navigator() const { return navigator_; }

    void setScalePercent(int percent);
    void setSongWaveformShown(bool shown);
    int scalePercent() const { return scalePercent_; }
    static QList<int> scaleChoices() { return {100, 150, 200}; }

    // Help ▸ About Quorvel.
    void showAbout();
    // The window raised in front, as for a file handed over by a second start.
    void raiseToFront();
    // A later start's files: the window comes to the front and picks the
    // first, as a dropped file would be (not while a screen is sliding or
    // the processing notice shows).
    void openFromAnotherStart(const QStringList& files);
    static QIcon applicationIcon();
signals:
    // The window was minimised (the program goes to the background), or shown again.
    void wentToBackground();
    void cameToForeground();

protected:
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dropEvent(QDropEvent* event) override;
    void changeEvent(QEvent* event) override;
    void closeEvent(QCloseEvent* event) override;

private:
    void buildMenus();
    void updateTitle();
    QString droppedSong(const QMimeData* mime) const;
    static int storedScalePercent();
    void restoreGeometry();
    void markScale(qreal shown);

    ScreenStack* stack_;
    CanvasView* canvas_;
    Navigator* navigator_;
    QActionGroup* scaleGroup_ = nullptr;
    QAction* waveformAction_ = nullptr;
    int scalePercent_ = kDefaultScalePercent;
    bool minimised_ = false;
};

} // namespace quorvel
