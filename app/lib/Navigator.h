#pragma once
// Who presents whom: the editor's page at the bottom, the start screen over
// it while there is no working ringtone, the music picker, the help viewer.
// It also holds the working ringtone until the editor's presenter takes that
// over: a pick (from the picker, a dropped file, the command line) becomes a
// new working ringtone here.
//
// Main thread only.
#include "HelpWebViewController.h"
#include "MPMediaPickerControllerDelegate.h"
#include "StartViewController.h"

#include <QObject>
#include <QPointer>
#include <memory>

namespace quorvel {

class EditorPage;
class HelpWebViewWidget;
class MPMediaLibrary;
class MPMediaPickerController;
class Ringtune;
class ScreenStack;
class StartViewWidget;

class Navigator : public QObject,
                  public StartViewControllerDelegate,
                  public MPMediaPickerControllerDelegate,
                  public HelpWebViewControllerDelegate {
    Q_OBJECT
public:
    Navigator(ScreenStack& stack, MPMediaLibrary& library, QObject* parent = nullptr);
    ~Navigator() override;

    // Puts the editor's page at the bottom of the stack; it appears at once.
    void start();

    const std::shared_ptr<Ringtune>& ringtune() const { return ringtune_; }

    // Actions (buttons, menu and keys all come here).
    void showMediaPicker();
    void showHelp();
    // Esc: closes what is on top (an alert, the picker, a presented screen).
    void closePresented();
    // A song file to make the working ringtone from (dropped, opened, given on the command line).
    void pickFile(const QString& path);
    // The editor's pick of library songs (only the first counts).
    void pickMediaItems(const std::vector<MPMediaItem>& items);

    EditorPage* editorPage() const { return editor_; }
    StartViewWidget* startScreen() const;
    HelpWebViewWidget* helpScreen();
    // The picker opened by the editor itself (not by the start screen).
    MPMediaPickerController* editorPicker() const;

    // StartViewControllerDelegate
    void startViewControllerDidFinish(const std::vector<MPMediaItem>& mediaItemCollection) override;
    // MPMediaPickerControllerDelegate (the editor's own picker)
    void mediaPickerDidPickMediaItems(MPMediaPickerController* picker,
                                      const std::vector<MPMediaItem>& mediaItemCollection) override;
    void mediaPickerDidCancel(MPMediaPickerController* picker) override;
    // HelpWebViewControllerDelegate
    void helpWebViewControllerDidFinish(HelpWebViewController* sender) override;

signals:
    // A new working ringtone replaced the old one.
    void ringtuneChanged();

private:
    void editorDidAppear();
    void presentStartScreen();
    std::shared_ptr<Ringtune> ringtuneFromItem(const MPMediaItem& item) const;

    ScreenStack& stack_;
    MPMediaLibrary& library_;
    EditorPage* editor_ = nullptr;
    QPointer<StartViewWidget> start_;
    QPointer<HelpWebViewWidget> help_;
    QPointer<MPMediaPickerController> picker_;
    std::shared_ptr<Ringtune> ringtune_;
};

} // namespace quorvel
