#pragma once
// The hidden files an export works with in the documents folder: the cut
// segment (".tmpExport.*"), the processed sound (".processedEffect.wav") and
// the ringtone under its work name (".tmpRingtone-<pid>.m4r"). A program that
// ended in the middle of an export (killed, crashed, the power gone) leaves
// them behind. They are removed only while no program holds the export lock,
// that is while no export anywhere can still be using them.
//
// Main thread only.
#include <QStringList>

namespace quorvel {

class StaleWorkFiles {
public:
    static QStringList namePatterns();
    // Removes them unless another program's export runs. `holdsExportLock`:
    // the caller's own export holds the lock (and is done with the files).
    // Returns how many were removed.
    static int remove(bool holdsExportLock = false);

    StaleWorkFiles() = delete;
};

} // namespace quorvel
