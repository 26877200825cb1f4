#pragma once
// What the editor's presenter asks of its view beyond drawing its state:
// presenting and closing the other screens, alerts and the tick sound. What
// the view shows comes from the presenter's state after each changed().
#include <QString>
#include <memory>

namespace quorvel {

class ExportViewController;

// The screens the editor presents modally (the start screen is state: it
// shows whenever there is no working ringtone).
enum class EditorScreen { MediaPicker, Recorder, FileManager, Help };

class MainView {
public:
    virtual ~MainView() = default;

    virtual void presentScreen(EditorScreen screen) = 0;
    // The export has already started when its screen is presented.
    virtual void presentExportScreen(const std::shared_ptr<ExportViewController>& screen) = 0;
    // Closes the screen the editor presents, with anything above it (nothing
    // when none is shown).
    virtual void dismissPresentedScreen() = 0;
    // Without a song: closes what is presented over the start screen (the
    // recorder, the list or help opened from there), which stays.
    virtual void dismissScreensOverStartScreen() { dismissPresentedScreen(); }
    // A window-modal alert with one "OK" button; `title` may be empty.
    virtual void showAlert(const QString& title, const QString& message) = 0;
    // The step buttons' click.
    virtual void playTickSound() = 0;
    // Another program's export holds the work files; this road waits for it.
    virtual void waitingForAnotherExport() {}
};

} // namespace quorvel
