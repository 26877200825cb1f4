#pragma once
// One sort key of a fetch: an attribute name and the direction.
#include <QString>

namespace quorvel {

struct NSSortDescriptor {
    QString key;
    bool ascending = true;
};

} // namespace quorvel
