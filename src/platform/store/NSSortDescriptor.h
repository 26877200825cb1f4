#pragma once
// One sort key of a fetch: an attribute name and the direction.
#include <QString>
#include <memory>
#include <vector>

namespace quorvel {

class NSManagedObject;

struct NSSortDescriptor {
    QString key;
    bool ascending = true;
};

// Sorts objects of one entity by the keys in turn (no value first when
// ascending, as the store orders them); equal objects keep their order.
void sortObjects(std::vector<std::shared_ptr<NSManagedObject>>& objects, const std::vector<NSSortDescriptor>& sorts);

} // namespace quorvel
