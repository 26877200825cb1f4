#include "platform/store/NSManagedObject.h"

#include "platform/core/NSException.h"
#include "platform/store/NSManagedObjectContext.h"

#include <QDateTime>
#include <QHash>
#include <QStringList>
#include <mutex>

namespace quorvel {

namespace {
std::mutex registryMutex;
QHash<QString, NSManagedObject::Factory>& registry() {
    static QHash<QString, NSManagedObject::Factory> factories;
    return factories;
}
} // namespace

void NSManagedObject::registerClass(const QString& className, Factory factory) {
    std::lock_guard lock(registryMutex);
    registry().insert(className, std::move(factory));
}

NSManagedObject::Factory NSManagedObject::factoryFor(const NSEntityDescription& entity) {
    std::lock_guard lock(registryMutex);
    return registry().value(entity.managedObjectClassName());
}

std::shared_ptr<NSManagedObject> NSManagedObject::make(const std::shared_ptr<const NSEntityDescription>& entity,
                                                       const Factory& factory) {
    std::shared_ptr<NSManagedObject> object = factory ? factory() : std::make_shared<NSManagedObject>();
    const size_t count = entity->attributes().size();
    object->entity_ = entity;
    object->values_.assign(count, QVariant());
    object->loaded_.assign(count, 1);
    object->dirty_.assign(count, 0);
    return object;
}

QVariant NSManagedObject::valueForKey(const QString& key) const {
    const int index = entity_->indexOfAttribute(key);
    if (index < 0)
        throw NSException(NSInvalidArgumentException,
                          QStringLiteral("[<%1> valueForKey:]: this class is not key value coding-compliant for the key %2.")
                              .arg(entity_->name(), key));
    return valueAt(index);
}

void NSManagedObject::setValue(const QVariant& value, const QString& key) {
    const int index = entity_->indexOfAttribute(key);
    if (index < 0)
        throw NSException(NSInvalidArgumentException,
                          QStringLiteral("[<%1> setValue:forUndefinedKey:]: this class is not key value coding-compliant for the key %2.")
                              .arg(entity_->name(), key));
    setValueAt(index, value);
}

QVariant NSManagedObject::valueAt(int index) const {
    if (!loaded_[size_t(index)]) {
        if (context_) values_[size_t(index)] = context_->loadValue(*this, index);
        loaded_[size_t(index)] = 1;
    }
    return values_[size_t(index)];
}

void NSManagedObject::setValueAt(int index, const QVariant& value) {
    values_[size_t(index)] = entity_->attributes()[size_t(index)].coerce(value);
    loaded_[size_t(index)] = 1;
    dirty_[size_t(index)] = 1;
    if (context_) context_->objectDidChange(*this);
}

QString NSManagedObject::description() const {
    QStringList parts;
    for (size_t i = 0; i < values_.size(); ++i) {
        const NSAttributeDescription& attribute = entity_->attributes()[i];
        QString text;
        if (!loaded_[i]) text = QStringLiteral("<not loaded>");
        else if (!values_[i].isValid()) text = QStringLiteral("nil");
        else if (attribute.type == NSAttributeType::Binary)
            text = QStringLiteral("<%1 bytes>").arg(values_[i].toByteArray().size());
        else if (attribute.type == NSAttributeType::Date)
            text = values_[i].toDateTime().toString(Qt::ISODateWithMs);
        else text = values_[i].toString();
        parts << QStringLiteral("%1 = %2").arg(attribute.name, text);
    }
    return QStringLiteral("<%1: %2> (id: %3%4; data: {%5})")
        .arg(entity_->name())
        .arg(quintptr(this), 0, 16)
        .arg(rowID_ ? QString::number(rowID_) : QStringLiteral("temporary"))
        .arg(deleted_ ? QStringLiteral("; deleted") : QString())
        .arg(parts.join(QStringLiteral("; ")));
}

QString describe(const NSManagedObject& object) { return object.description(); }

} // namespace quorvel
