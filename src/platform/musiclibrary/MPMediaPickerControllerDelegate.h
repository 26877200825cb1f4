#pragma once
// What the music picker tells whoever opened it. The picker itself is a
// window (src/ui); this protocol has no widgets, so presenters adopt it.
#include "platform/musiclibrary/MPMediaItem.h"

#include <vector>

namespace quorvel {

class MPMediaPickerController;

class MPMediaPickerControllerDelegate {
public:
    virtual ~MPMediaPickerControllerDelegate() = default;
    // The chosen songs (one, as the pickers here allow a single choice). The
    // picker stays open until its opener closes it.
    virtual void mediaPickerDidPickMediaItems(MPMediaPickerController* picker,
                                              const std::vector<MPMediaItem>& mediaItemCollection) = 0;
    virtual void mediaPickerDidCancel(MPMediaPickerController* picker) = 0;
};

} // namespace quorvel
