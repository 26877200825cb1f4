#pragma once
// A fetch condition parsed from a format with "%@" arguments:
//   comparisons   key = %@   (also ==, !=, <, <=, >, >=)
//   joined by     AND / && and OR / ||, grouped with parentheses.
// An argument with no value (an invalid QVariant or a null QString) compares
// as "no value": "artist = %@" with no artist matches objects without one.
// Immutable after parsing; safe to share between threads.
#include <QString>
#include <QStringList>
#include <QVariant>
#include <QVariantList>
#include <memory>

namespace quorvel {

class NSEntityDescription;
class NSManagedObject;

class NSPredicate {
public:
    // Throws NSException (NSInvalidArgumentException) when the format cannot be parsed.
    static std::shared_ptr<NSPredicate> predicateWithFormat(const QString& format, const QVariantList& arguments);
    template <class... A> static std::shared_ptr<NSPredicate> predicateWithFormat(const QString& format,
                                                                                  const A&... args) {
        return predicateWithFormat(format, QVariantList{QVariant::fromValue(args)...});
    }

    bool evaluateWithObject(const NSManagedObject& object) const;
    // The condition as an SQL expression over the entity's columns with "?"
    // placeholders, and the values to bind in order. False (with a reason)
    // when a key is not an attribute of the entity.
    bool sqlWhere(const NSEntityDescription& entity, QString* sql, QVariantList* bindings, QString* reason) const;
    QString predicateFormat() const { return format_; }

    struct Node;

private:
    NSPredicate(QString format, std::shared_ptr<const Node> root);
    QString format_;
    std::shared_ptr<const Node> root_;
};

QString describe(const NSPredicate& predicate);

} // namespace quorvel
