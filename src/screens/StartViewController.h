#pragma once
// The first screen while the editor has no working ringtone: one button that
// opens the music picker, whose choice goes to the delegate. The start screen
// never closes the picker on a choice: its presenter closes both.
//
// Main thread only.
#include "platform/musiclibrary/MPMediaPickerControllerDelegate.h"

#include <QString>

namespace quorvel {

class StartViewController;

class StartViewControllerDelegate {
public:
    virtual ~StartViewControllerDelegate() = default;
    virtual void startViewControllerDidFinish(const std::vector<MPMediaItem>& mediaItemCollection) = 0;
};

// What the start screen's widget does for it.
class StartView {
public:
    virtual ~StartView() = default;
    // A picker of music, window-modal, animated, with `prompt`; it reports to `delegate`.
    virtual void presentMediaPicker(const QString& prompt, bool allowsPickingMultipleItems,
                                    MPMediaPickerControllerDelegate* delegate) = 0;
    virtual void dismissMediaPicker(bool animated) = 0;
};

class StartViewController : public MPMediaPickerControllerDelegate {
public:
    static constexpr const char* kBackgroundImage = "QuorvelBG.png";

    void setDelegate(StartViewControllerDelegate* delegate) { delegate_ = delegate; }
    StartViewControllerDelegate* delegate() const { return delegate_; }
    void setView(StartView* view) { view_ = view; }

    // The button's action.
    void showMediaPicker();

    // MPMediaPickerControllerDelegate
    void mediaPickerDidPickMediaItems(MPMediaPickerController* picker,
                                      const std::vector<MPMediaItem>& mediaItemCollection) override;
    void mediaPickerDidCancel(MPMediaPickerController* picker) override;

private:
    StartViewControllerDelegate* delegate_ = nullptr;
    StartView* view_ = nullptr;
};

} // namespace quorvel
