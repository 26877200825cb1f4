#pragma once
// One entity of the object model: a name, the class its objects are made of,
// and its attributes in declared order. Immutable once in a model.
#include "platform/store/NSAttributeDescription.h"

#include <QHash>
#include <QString>
#include <QStringList>
#include <memory>
#include <vector>

namespace quorvel {

class NSManagedObject;
class NSManagedObjectContext;

class NSEntityDescription {
public:
    NSEntityDescription(QString name, std::vector<NSAttributeDescription> attributes, QString className = {});

    const QString& name() const { return name_; }
    // The registered object class (see NSManagedObject::registerClass); empty for plain objects.
    const QString& managedObjectClassName() const { return className_; }
    const std::vector<NSAttributeDescription>& attributes() const { return attributes_; }
    // Attribute lists the store keeps an index on; a unique one refuses a
    // second row with the same values (set before the entity joins a model).
    struct Index {
        QStringList attributes;
        bool unique = false;
    };
    void addIndex(const QStringList& attributeNames, bool unique = false) {
        indexes_.push_back({attributeNames, unique});
    }
    const std::vector<Index>& indexes() const { return indexes_; }
    // The store refuses a second row of a single-row entity.
    void setSingleRow(bool single) { singleRow_ = single; }
    bool isSingleRow() const { return singleRow_; }
    // Position of the attribute `key`, or -1.
    int indexOfAttribute(const QString& key) const;

    // The entity of that name in the context's model. Throws NSException
    // (NSInvalidArgumentException) without a context or with an unknown name.
    static std::shared_ptr<const NSEntityDescription> entityForName(const QString& name,
                                                                    NSManagedObjectContext* context);
    // A new object of that entity, inserted (pending) into the context. Throws like entityForName.
    static std::shared_ptr<NSManagedObject> insertNewObjectForEntityForName(const QString& name,
                                                                           NSManagedObjectContext* context);

private:
    QString name_;
    QString className_;
    std::vector<NSAttributeDescription> attributes_;
    QHash<QString, int> index_;
    std::vector<Index> indexes_;
    bool singleRow_ = false;
};

} // namespace quorvel
