#pragma once
// The one row of application flags ("AppFlags" entity).
#include "platform/store/NSManagedObject.h"

#include <optional>

namespace quorvel {

class AppFlags : public NSManagedObject {
public:
    // Makes objects of the "AppFlags" entity instances of this class.
    static void registerClass();

    // 1 once the one-time migration of found files has run; created as 0.
    std::optional<int> oldRingtoneLoaded() const {
        return optionalValueForKey<int>(QStringLiteral("oldRingtoneLoaded"));
    }
    void setOldRingtoneLoaded(std::optional<int> loaded) {
        setOptionalValue(loaded, QStringLiteral("oldRingtoneLoaded"));
    }
};

} // namespace quorvel
