#include "pipeline/ExportObserver.h"

#include "platform/core/MainThread.h"

namespace quorvel {

void ExportObserver::reportCouldNotStart(const std::weak_ptr<ExportObserver>& observer, const QString& reason) {
    // Always later, never inside the call that tried to start the export: the
    // caller shows its screen first.
    performOnMainThread([observer, reason] {
        if (auto o = observer.lock()) o->exportCouldNotStart(reason);
    });
}

} // namespace quorvel
