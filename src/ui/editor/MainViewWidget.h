#pragma once
// The editor screen, built from the "MainView" layout: it draws the editor
// presenter's state after every changed() and forwards its controls' actions
// (buttons, sliders, keys) to it. Presenting other screens goes to the
// navigation; alerts, the processing notice and the tick are its own.
//
// Main thread only.
#include "screens/MainView.h"

#include <QPixmap>
#include <QPointer>
#include <QWidget>
#include <cstdint>
#include <memory>

namespace Ui {
class MainView;
}

class QPropertyAnimation;
class QTimer;

namespace quorvel {

class AlertView;
class EditorNavigation;
class MainViewController;
class TimeEntryField;

class MainViewWidget : public QWidget, public MainView {
    Q_OBJECT
public:
    // The family of the LCD-style font of the time labels (loaded once).
    static QString lcdFontFamily();

    explicit MainViewWidget(MainViewController& presenter, QWidget* parent = nullptr);
    ~MainViewWidget() override;

    MainViewController& presenter() const { return presenter_; }
    void setNavigation(EditorNavigation* navigation) { navigation_ = navigation; }
    // The processing notice while it shows.
    AlertView* processingNotice() const;
    // Opens the line for typing the start (Ctrl+T) or the length.
    void typeStart();
    void typeLength();

    // MainView
    void presentScreen(EditorScreen screen) override;
    void presentExportScreen(const std::shared_ptr<ExportViewController>& screen) override;
    void dismissPresentedScreen() override;
    void dismissScreensOverStartScreen() override;
    void showAlert(const QString& title, const QString& message) override;
    void playTickSound() override;

protected:
    void showEvent(QShowEvent* event) override;
    // A double-click on the start or length label opens its typing line.
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void fitTexts();
    void setUpScreen();
    void connectControls();
    void addShortcuts();
    void refresh();
    void placeStrip();
    void showProcessingNotice(bool shown);
    void addTimeEntries();
    // A typed time handed on; the field stays open when it was no time.
    void typedTimeEntered(TimeEntryField* field, const QString& text);
    void showTypedTimeNote(const QString& note, const QWidget* label);

    std::unique_ptr<Ui::MainView> ui_;
    MainViewController& presenter_;
    EditorNavigation* navigation_ = nullptr;
    QPointer<AlertView> notice_;
    QPropertyAnimation* scroll_ = nullptr;
    TimeEntryField* startEntry_ = nullptr;
    TimeEntryField* rangeEntry_ = nullptr;
    QTimer* noteTimer_ = nullptr;
    QPixmap marker_;
    int markerWidth_ = -1;
    // The step buttons' tick, registered once (0: it could not be read).
    uint32_t tickSound_ = 0;
};

} // namespace quorvel
