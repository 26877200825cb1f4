#include "app/StaleWorkFiles.h"

#include "editor/Ringtune.h"
#include "platform/core/DocumentsLock.h"
#include "platform/core/Paths.h"

#include <QDir>

namespace quorvel {

QStringList StaleWorkFiles::namePatterns() {
    return {QStringLiteral(".tmpExport.*"), QStringLiteral(".processedEffect.wav"), Ringtune::workFileNamePattern()};
}

int StaleWorkFiles::remove(bool holdsExportLock) {
    DocumentsLock lock(DocumentsLock::kExportLockName);
    if (!holdsExportLock && lock.tryLock() != DocumentsLock::Result::Locked) return 0;
    QDir docs(Paths::documentsDirectory());
    int removed = 0;
    for (const QString& name : docs.entryList(namePatterns(), QDir::Files | QDir::Hidden))
        if (docs.remove(name)) ++removed;
    return removed;
}

} // namespace quorvel
