#include "screens/StartViewController.h"

#include "platform/core/LocalizedStrings.h"
#include "platform/core/MainThread.h"

namespace quorvel {

void StartViewController::showMediaPicker() {
    QUORVEL_ASSERT_MAIN_THREAD();
    if (view_) view_->presentMediaPicker(NSLocalizedString(QStringLiteral("select_song")), false, this);
}

void StartViewController::mediaPickerDidPickMediaItems(MPMediaPickerController*,
                                                       const std::vector<MPMediaItem>& mediaItemCollection) {
    QUORVEL_ASSERT_MAIN_THREAD();
    if (delegate_) delegate_->startViewControllerDidFinish(mediaItemCollection);
}

void StartViewController::mediaPickerDidCancel(MPMediaPickerController*) {
    QUORVEL_ASSERT_MAIN_THREAD();
    if (view_) view_->dismissMediaPicker(true);
}

} // namespace quorvel
