#pragma once
// The passthrough preset: copies the source's audio packets within the range
// into the requested container without re-encoding. Compressed audio is cut
// on the frame boundaries nearest the range that keep all of it; where the
// container allows, an edit list hides the part of the first frame before
// the range. PCM is cut to the sample.
#include "AssetExportJob.h"

namespace quorvel {

class PassthroughExporter {
public:
    // Runs the job on the calling thread. The caller removes the output on
    // anything but Completed.
    static AssetExportResult run(const AssetExportJob& job, NSError* error);
};

} // namespace quorvel
