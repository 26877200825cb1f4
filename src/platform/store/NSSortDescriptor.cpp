#include "platform/store/NSSortDescriptor.h"

#include "platform/store/NSManagedObject.h"

#include <algorithm>

namespace quorvel {

void sortObjects(std::vector<std::shared_ptr<NSManagedObject>>& objects, const std::vector<NSSortDescriptor>& sorts) {
    if (sorts.empty() || objects.empty()) return;
    const NSEntityDescription& entity = objects.front()->entity();
    std::vector<const NSAttributeDescription*> attributes;
    for (const auto& sort : sorts) {
        const int index = entity.indexOfAttribute(sort.key);
        attributes.push_back(index < 0 ? nullptr : &entity.attributes()[size_t(index)]);
    }
    std::stable_sort(objects.begin(), objects.end(), [&](const auto& a, const auto& b) {
        for (size_t i = 0; i < sorts.size(); ++i) {
            if (!attributes[i]) continue;
            const int order = attributes[i]->compareValues(a->valueForKey(sorts[i].key), b->valueForKey(sorts[i].key));
            if (order != 0) return sorts[i].ascending ? order < 0 : order > 0;
        }
        return false;
    });
}

} // namespace quorvel
