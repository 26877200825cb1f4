#include "platform/store/NSAttributeDescription.h"

#include <QDateTime>
#include <QHash>

namespace quorvel {

QVariant NSAttributeDescription::coerce(const QVariant& value) const {
    if (!value.isValid() || value.isNull()) return QVariant();
    // A null QString or QByteArray means no value; an empty one is a value.
    if (value.typeId() == QMetaType::QString && value.toString().isNull()) return QVariant();
    if (value.typeId() == QMetaType::QByteArray && value.toByteArray().isNull()) return QVariant();
    switch (type) {
    case NSAttributeType::Integer16:
    case NSAttributeType::Integer32: return QVariant(qint32(value.toLongLong()));
    case NSAttributeType::Integer64: return QVariant(qint64(value.toLongLong()));
    case NSAttributeType::Float: return QVariant(value.toFloat());
    case NSAttributeType::Double: return QVariant(value.toDouble());
    case NSAttributeType::Boolean: return QVariant(value.toBool());
    case NSAttributeType::String: return QVariant(value.toString());
    case NSAttributeType::Date: return QVariant(value.toDateTime());
    case NSAttributeType::Binary: return QVariant(value.toByteArray());
    }
    return QVariant();
}

QString NSAttributeDescription::sqlType() const {
    switch (type) {
    case NSAttributeType::Integer16:
    case NSAttributeType::Integer32:
    case NSAttributeType::Integer64:
    case NSAttributeType::Boolean: return QStringLiteral("INTEGER");
    case NSAttributeType::Float:
    case NSAttributeType::Double:
    case NSAttributeType::Date: return QStringLiteral("REAL");
    case NSAttributeType::String: return QStringLiteral("TEXT");
    case NSAttributeType::Binary: return QStringLiteral("BLOB");
    }
    return QStringLiteral("BLOB");
}

int NSAttributeDescription::compareValues(const QVariant& a, const QVariant& b) const {
    const bool aNone = !a.isValid(), bNone = !b.isValid();
    if (aNone || bNone) return aNone == bNone ? 0 : (aNone ? -1 : 1);
    auto order = [](auto x, auto y) { return x < y ? -1 : (y < x ? 1 : 0); };
    switch (type) {
    case NSAttributeType::Integer16:
    case NSAttributeType::Integer32:
    case NSAttributeType::Integer64:
    case NSAttributeType::Boolean: return order(a.toLongLong(), b.toLongLong());
    case NSAttributeType::Float:
    case NSAttributeType::Double: return order(a.toDouble(), b.toDouble());
    case NSAttributeType::String: return a.toString().compare(b.toString());
    case NSAttributeType::Date: return order(a.toDateTime().toMSecsSinceEpoch(), b.toDateTime().toMSecsSinceEpoch());
    case NSAttributeType::Binary: return order(a.toByteArray(), b.toByteArray());
    }
    return 0;
}

bool NSAttributeDescription::typeFromName(const QString& name, NSAttributeType* type) {
    static const QHash<QString, NSAttributeType> names = {
        {QStringLiteral("int16"), NSAttributeType::Integer16},  {QStringLiteral("int32"), NSAttributeType::Integer32},
        {QStringLiteral("int64"), NSAttributeType::Integer64},  {QStringLiteral("float"), NSAttributeType::Float},
        {QStringLiteral("double"), NSAttributeType::Double},    {QStringLiteral("bool"), NSAttributeType::Boolean},
        {QStringLiteral("string"), NSAttributeType::String},    {QStringLiteral("date"), NSAttributeType::Date},
        {QStringLiteral("binary"), NSAttributeType::Binary},
    };
    auto it = names.find(name);
    if (it == names.end()) return false;
    *type = *it;
    return true;
}

} // namespace quorvel
