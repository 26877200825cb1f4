#pragma once
// The program's one window: the phone's canvas shown scaled (View menu: 100,
// 150 or 200 %, remembered in the user defaults), the menus and keys, files
// dropped on it, and a title that names the working ringtone.
#include <QMainWindow>

class QActionGroup;
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
    void restorePosition();

    ScreenStack* stack_;
    CanvasView* canvas_;
    Navigator* navigator_;
    QActionGroup* scaleGroup_ = nullptr;
    QAction* waveformAction_ = nullptr;
    int scalePercent_ = kDefaultScalePercent;
    bool minimised_ = false;
};

} // namespace quorvel
