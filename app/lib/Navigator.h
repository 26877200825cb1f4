#pragma once
// Who presents whom: the editor screen at the bottom, the start screen over
// it while there is no working ringtone, the music picker, the recorder, the
// ringtone list, the export screen and the help viewer. Every pick (from the
// picker, a dropped file, the command line) goes to the editor's presenter,
// which holds the working ringtone.
//
// Main thread only.
#include "ExportEndNotice.h"
#include "platform/musiclibrary/MPMediaPickerControllerDelegate.h"
#include "screens/FileManagerViewController.h"
#include "screens/HelpWebViewController.h"
#include "screens/StartViewController.h"
#include "ui/common/ModalTransitionStyle.h"
#include "ui/editor/EditorNavigation.h"

#include <QObject>
#include <QPointer>
#include <memory>

namespace quorvel {

class ExportViewWidget;
class HelpWebViewWidget;
class MainViewWidget;
class MainViewController;
class MPMediaLibrary;
class MPMediaPickerController;
class PreviewPlayer;
class RecorderViewWidget;
class Ringtune;
class ScreenStack;
class StartViewWidget;

class Navigator : public QObject,
                  public EditorNavigation,
                  public StartViewControllerDelegate,
                  public MPMediaPickerControllerDelegate,
                  public HelpWebViewControllerDelegate,
                  public FileManagerViewControllerDelegate {
    Q_OBJECT
public:
    // `player` plays the editor's previews and the tick (none: previews are computed, not heard).
    Navigator(ScreenStack& stack, MPMediaLibrary& library, std::unique_ptr<PreviewPlayer> player = nullptr,
              QObject* parent = nullptr);
    ~Navigator() override;

    // Puts the editor at the bottom of the stack; it appears at once.
    void start();

    const std::shared_ptr<Ringtune>& ringtune() const;
    MainViewController& editorPresenter() const { return *presenter_; }

    // Actions (buttons, menu and keys all come here).
    void showMediaPicker();
    void showHelp();
    // Esc: closes what is on top (an alert, the picker, a presented screen).
    void closePresented();
    // A song file to make the working ringtone from (dropped, opened, given on the command line).
    void pickFile(const QString& path);
    // A pick of library songs (only the first counts).
    void pickMediaItems(const std::vector<MPMediaItem>& items);
    // Whether a pick (a drop, a file opened) may replace the working ringtone
    // now. While an export, a recording or the road to a preview or export
    // runs, it is refused with a short notice; a finished export screen is
    // closed through its own finishing path first.
    bool readyForPick();

    // Closes every presented screen at once; a running export is stopped
    // cleanly. The program calls it before its store is saved and closed.
    void shutDown();

    MainViewWidget* editor() const;
    ExportViewWidget* exportScreen() const;
    RecorderViewWidget* recorderScreen() const;
    StartViewWidget* startScreen() const;
    HelpWebViewWidget* helpScreen();
    // The picker opened by the editor itself (not by the start screen).
    MPMediaPickerController* editorPicker() const;

    // EditorNavigation
    void presentScreen(EditorScreen screen) override;
    void presentExportScreen(const std::shared_ptr<ExportViewController>& screen) override;
    void dismissPresentedScreen() override;
    void dismissScreensOverStartScreen() override;

    // StartViewControllerDelegate
    void startViewControllerDidFinish(const std::vector<MPMediaItem>& mediaItemCollection) override;
    // MPMediaPickerControllerDelegate (the editor's own picker)
    void mediaPickerDidPickMediaItems(MPMediaPickerController* picker,
                                      const std::vector<MPMediaItem>& mediaItemCollection) override;
    void mediaPickerDidCancel(MPMediaPickerController* picker) override;
    // HelpWebViewControllerDelegate
    void helpWebViewControllerDidFinish(HelpWebViewController* sender) override;
    // FileManagerViewControllerDelegate: the list's back button.
    void fileManagerControllerDidFinish(FileManagerViewController* controller) override;

signals:
    // A new working ringtone replaced the old one.
    void ringtuneChanged();

private:
    void editorChanged();
    void presentStartScreen();
    void presentEditorPicker();
    void presentHelp();
    void presentRecorder();

    ScreenStack& stack_;
    MPMediaLibrary& library_;
    std::unique_ptr<MainViewController> presenter_;
    QPointer<MainViewWidget> editor_;
    QPointer<StartViewWidget> start_;
    QPointer<HelpWebViewWidget> help_;
    QPointer<ExportViewWidget> export_;
    QPointer<RecorderViewWidget> recorder_;
    QPointer<MPMediaPickerController> picker_;
    std::shared_ptr<Ringtune> shownRingtune_;
    ExportEndNotice exportEndNotice_;
};

} // namespace quorvel
