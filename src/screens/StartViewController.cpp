#include "StartViewController.h"

#include "LocalizedStrings.h"

namespace quorvel {

void StartViewController::showMediaPicker() {
    if (view_) view_->presentMediaPicker(NSLocalizedString(QStringLiteral("select_song")), false, this);
}

void StartViewController::mediaPickerDidPickMediaItems(MPMediaPickerController*,
                                                       const std::vector<MPMediaItem>& mediaItemCollection) {
    if (delegate_) delegate_->startViewControllerDidFinish(mediaItemCollection);
}

void StartViewController::mediaPickerDidCancel(MPMediaPickerController*) {
    if (view_) view_->dismissMediaPicker(true);
}

} // namespace quorvel
