#include "platform/store/NSFetchedResultsController.h"

#include "platform/core/NSException.h"
#include "platform/store/CoreDataErrors.h"

#include <algorithm>
#include <unordered_map>
#include <unordered_set>

namespace quorvel {

NSFetchedResultsController::NSFetchedResultsController(NSFetchRequest request,
                                                       std::shared_ptr<NSManagedObjectContext> context,
                                                       QString sectionNameKeyPath, QString cacheName)
    : request_(std::move(request)), context_(std::move(context)), cacheName_(std::move(cacheName)) {
    if (!sectionNameKeyPath.isEmpty())
        throw NSException(NSInvalidArgumentException, QStringLiteral("sections by key path are not supported"));
    if (context_) context_->addObserver(this);
}

NSFetchedResultsController::~NSFetchedResultsController() {
    if (context_) context_->removeObserver(this);
}

bool NSFetchedResultsController::performFetch(NSError* error) {
    if (!context_) {
        if (error) {
            error->domain = NSCocoaErrorDomain;
            error->code = NSCoreDataError;
            error->localizedDescription = QStringLiteral("The live query has no context.");
            error->userInfo.clear();
        }
        return false;
    }
    // Reports still queued describe changes this fetch already contains.
    context_->removeObserver(this);
    context_->processPendingChanges();
    context_->addObserver(this);
    auto objects = context_->executeFetchRequest(request_, error);
    if (!objects) return false;
    objects_ = std::move(*objects);
    return true;
}

std::shared_ptr<NSManagedObject> NSFetchedResultsController::objectAtIndexPath(const NSIndexPath& indexPath) const {
    if (indexPath.section != 0 || indexPath.row < 0 || indexPath.row >= int(objects_.size()))
        throw NSException(NSInvalidArgumentException, QStringLiteral("no object at index %1 in section %2")
                                                          .arg(indexPath.row)
                                                          .arg(indexPath.section));
    return objects_[size_t(indexPath.row)];
}

std::optional<NSIndexPath> NSFetchedResultsController::indexPathForObject(
    const std::shared_ptr<NSManagedObject>& object) const {
    auto it = std::find(objects_.begin(), objects_.end(), object);
    if (it == objects_.end()) return std::nullopt;
    return NSIndexPath{0, int(it - objects_.begin())};
}

bool NSFetchedResultsController::belongs(const NSManagedObject& object) const {
    return &object.entity() == request_.entity().get() && !object.isDeleted() &&
           object.managedObjectContext() == context_.get() &&
           (!request_.predicate() || request_.predicate()->evaluateWithObject(object));
}

void NSFetchedResultsController::objectsDidChange(NSManagedObjectContext&, const NSManagedObjectContextChanges& changes) {
    if (!delegate_ || !request_.entity()) return;
    std::unordered_map<const NSManagedObject*, int> oldIndex;
    for (size_t i = 0; i < objects_.size(); ++i) oldIndex.emplace(objects_[i].get(), int(i));

    // The new list: what stays, what comes; then put in order.
    std::unordered_set<const NSManagedObject*> leaving, touched;
    NSManagedObjectList arriving;
    for (const auto& object : changes.deleted)
        if (oldIndex.count(object.get())) leaving.insert(object.get());
    for (const auto* list : {&changes.inserted, &changes.updated})
        for (const auto& object : *list) {
            touched.insert(object.get());
            const bool listed = oldIndex.count(object.get()) > 0;
            if (belongs(*object)) {
                if (!listed) arriving.push_back(object);
            } else if (listed) {
                leaving.insert(object.get());
            }
        }
    if (leaving.empty() && arriving.empty() && touched.empty()) return;
    NSManagedObjectList updated;
    updated.reserve(objects_.size() + arriving.size());
    for (const auto& object : objects_)
        if (!leaving.count(object.get())) updated.push_back(object);
    updated.insert(updated.end(), arriving.begin(), arriving.end());
    sortObjects(updated, request_.sortDescriptors());
    takeObjectsAndReport(std::move(updated), touched);
}

bool NSFetchedResultsController::refetch(NSError* error) {
    if (!delegate_) return performFetch(error);
    NSManagedObjectList before = objects_;
    if (!performFetch(error)) return false;
    NSManagedObjectList after = std::move(objects_);
    objects_ = std::move(before);
    // Rows are the same objects from fetch to fetch: what differs came or
    // went. Rows that stayed keep their order (a refetch changes no values).
    if (after == objects_) return true;
    takeObjectsAndReport(std::move(after), {});
    return true;
}

void NSFetchedResultsController::takeObjectsAndReport(NSManagedObjectList updated,
                                                      const std::unordered_set<const NSManagedObject*>& touched) {
    std::unordered_map<const NSManagedObject*, int> oldIndex;
    for (size_t i = 0; i < objects_.size(); ++i) oldIndex.emplace(objects_[i].get(), int(i));
    std::unordered_set<const NSManagedObject*> staying;
    for (const auto& object : updated) staying.insert(object.get());
    std::vector<std::pair<std::shared_ptr<NSManagedObject>, int>> gone;
    for (size_t i = 0; i < objects_.size(); ++i)
        if (!staying.count(objects_[i].get())) gone.emplace_back(objects_[i], int(i));
    const bool hadSection = !objects_.empty();
    objects_ = std::move(updated);
    const bool hasSection = !objects_.empty();

    auto* delegate = delegate_;
    delegate->controllerWillChangeContent(*this);
    if (hadSection && !hasSection) delegate->controllerDidChangeSection(*this, 0, NSFetchedResultsChangeType::Delete);
    if (!hadSection && hasSection) delegate->controllerDidChangeSection(*this, 0, NSFetchedResultsChangeType::Insert);
    for (const auto& [object, index] : gone)
        delegate->controllerDidChangeObject(*this, object, NSIndexPath{0, index}, NSFetchedResultsChangeType::Delete,
                                            std::nullopt);
    for (size_t i = 0; i < objects_.size(); ++i) {
        const auto& object = objects_[i];
        auto before = oldIndex.find(object.get());
        if (before == oldIndex.end()) {
            delegate->controllerDidChangeObject(*this, object, std::nullopt, NSFetchedResultsChangeType::Insert,
                                                NSIndexPath{0, int(i)});
        } else if (touched.count(object.get())) {
            const bool moved = before->second != int(i);
            delegate->controllerDidChangeObject(*this, object, NSIndexPath{0, before->second},
                                                moved ? NSFetchedResultsChangeType::Move : NSFetchedResultsChangeType::Update,
                                                NSIndexPath{0, int(i)});
        }
    }
    delegate->controllerDidChangeContent(*this);
}

} // namespace quorvel
