#pragma once
// What to fetch: one entity, an optional predicate and the sort keys.
#include "platform/store/NSEntityDescription.h"
#include "platform/store/NSPredicate.h"
#include "platform/store/NSSortDescriptor.h"

#include <memory>
#include <vector>

namespace quorvel {

class NSFetchRequest {
public:
    void setEntity(std::shared_ptr<const NSEntityDescription> entity) { entity_ = std::move(entity); }
    const std::shared_ptr<const NSEntityDescription>& entity() const { return entity_; }
    void setPredicate(std::shared_ptr<const NSPredicate> predicate) { predicate_ = std::move(predicate); }
    const std::shared_ptr<const NSPredicate>& predicate() const { return predicate_; }
    void setSortDescriptors(std::vector<NSSortDescriptor> sorts) { sorts_ = std::move(sorts); }
    const std::vector<NSSortDescriptor>& sortDescriptors() const { return sorts_; }

private:
    std::shared_ptr<const NSEntityDescription> entity_;
    std::shared_ptr<const NSPredicate> predicate_;
    std::vector<NSSortDescriptor> sorts_;
};

} // namespace quorvel
