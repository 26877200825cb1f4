#pragma once
// One object (row) of an entity in an object context. Values are read and
// written by attribute name; subclasses (registered by class name) expose
// them as typed properties. Binary values are loaded from the store on first
// access. An object belongs to one context and, like it, to one thread.
#include "platform/store/NSEntityDescription.h"

#include <QString>
#include <QVariant>
#include <functional>
#include <memory>
#include <optional>
#include <vector>

namespace quorvel {

class NSManagedObjectContext;

class NSManagedObject : public std::enable_shared_from_this<NSManagedObject> {
public:
    using Factory = std::function<std::shared_ptr<NSManagedObject>()>;
    // Objects of entities whose class name is `className` are made by `factory`.
    static void registerClass(const QString& className, Factory factory);

    NSManagedObject() = default;
    virtual ~NSManagedObject() = default;
    NSManagedObject(const NSManagedObject&) = delete;
    NSManagedObject& operator=(const NSManagedObject&) = delete;

    const NSEntityDescription& entity() const { return *entity_; }
    // The owning context; nullptr once the object was deleted and saved, or its context is gone.
    NSManagedObjectContext* managedObjectContext() const { return context_; }

    // Throws NSException (NSInvalidArgumentException) for a key that is not an attribute.
    QVariant valueForKey(const QString& key) const;
    void setValue(const QVariant& value, const QString& key);

    bool isInserted() const { return inserted_; }
    bool isDeleted() const { return deleted_; }
    bool isUpdated() const { return updated_; }
    bool hasChanges() const { return inserted_ || deleted_ || updated_; }
    // The row's key in the store; 0 until the object's insert is saved.
    long long rowID() const { return rowID_; }

    QString description() const;

protected:
    // Typed access for subclasses: no value is std::nullopt.
    template <class T> std::optional<T> optionalValueForKey(const QString& key) const {
        QVariant value = valueForKey(key);
        if (!value.isValid()) return std::nullopt;
        return value.value<T>();
    }
    template <class T> void setOptionalValue(const std::optional<T>& value, const QString& key) {
        setValue(value ? QVariant::fromValue(*value) : QVariant(), key);
    }
    QVariant valueAt(int index) const;
    void setValueAt(int index, const QVariant& value);

private:
    friend class NSManagedObjectContext;
    // The registered factory of the entity's class (empty for plain objects).
    static Factory factoryFor(const NSEntityDescription& entity);
    static std::shared_ptr<NSManagedObject> make(const std::shared_ptr<const NSEntityDescription>& entity,
                                                 const Factory& factory);

    std::shared_ptr<const NSEntityDescription> entity_;
    NSManagedObjectContext* context_ = nullptr;
    mutable std::vector<QVariant> values_;
    mutable std::vector<char> loaded_; // binary values are fetched on first access
    std::vector<char> dirty_;
    long long rowID_ = 0;
    bool inserted_ = false;
    bool deleted_ = false;
    bool updated_ = false;
    bool reportedInsert_ = false;
};

QString describe(const NSManagedObject& object);

} // namespace quorvel
