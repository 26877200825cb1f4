#pragma once
// The object model: the entities of a store and the schema version, with the
// upgrade steps that bring an older store file to this version.
// A model is built once and then shared read-only (thread-safe to read).
#include "platform/core/NSError.h"
#include "platform/store/NSEntityDescription.h"

#include <QByteArray>
#include <QStringList>
#include <map>
#include <memory>
#include <vector>

namespace quorvel {

class NSManagedObjectModel {
public:
    explicit NSManagedObjectModel(int versionNumber = 1) : version_(versionNumber) {}

    int versionNumber() const { return version_; }
    void addEntity(NSEntityDescription entity);
    // SQL statements that turn a store of version `toVersion - 1` into `toVersion`.
    void addUpgradeStep(int toVersion, QStringList statements);

    std::shared_ptr<const NSEntityDescription> entityNamed(const QString& name) const;
    const std::vector<std::shared_ptr<const NSEntityDescription>>& entities() const { return entities_; }
    const std::map<int, QStringList>& upgradeSteps() const { return upgrades_; }

    // A model from its JSON description:
    //   {"version": 1, "entities": [{"name": "E", "class": "E",
    //     "attributes": [{"name": "a", "type": "string", "optional": true}],
    //     "indexes": [["a"], {"attributes": ["b"], "unique": true}], "singleRow": false}],
    //    "upgrades": [{"to": 2, "sql": ["..."]}]}
    static std::shared_ptr<NSManagedObjectModel> modelFromJson(const QByteArray& json, NSError* error);
    // Every *.json description in `directory` merged into one model.
    static std::shared_ptr<NSManagedObjectModel> mergedModelFromDirectory(const QString& directory,
                                                                         NSError* error);

private:
    int version_;
    std::vector<std::shared_ptr<const NSEntityDescription>> entities_;
    std::map<int, QStringList> upgrades_;
};

} // namespace quorvel
