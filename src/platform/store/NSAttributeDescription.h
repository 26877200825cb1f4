#pragma once
// One attribute of an entity: its name, its kind of value and whether it may
// be empty. Values travel as QVariant; an invalid QVariant is "no value".
#include <QString>
#include <QVariant>

namespace quorvel {

enum class NSAttributeType {
    Integer16,  // int
    Integer32,  // int (qint32)
    Integer64,  // qint64
    Float,      // float
    Double,     // double
    Boolean,    // bool
    String,     // QString
    Date,       // QDateTime (stored as seconds since 1970, millisecond precision)
    Binary      // QByteArray (loaded on first access)
};

struct NSAttributeDescription {
    QString name;
    NSAttributeType type = NSAttributeType::String;
    bool optional = true;

    // The value converted to this attribute's kind; no value stays no value.
    QVariant coerce(const QVariant& value) const;
    // SQL column type for this attribute.
    QString sqlType() const;
    // Orders two values of this attribute: no value first, then by value
    // (numbers by number, text by code units, dates by time, data by bytes).
    int compareValues(const QVariant& a, const QVariant& b) const;
    static bool typeFromName(const QString& name, NSAttributeType* type);
};

} // namespace quorvel
