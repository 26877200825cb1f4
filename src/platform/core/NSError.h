#pragma once
// An error value: domain, code, description and a details dictionary, as the
// system logs and reports them.
#include <QString>
#include <QVariantMap>

namespace quorvel {

// The user-info key of an error's readable description.
inline const QString NSLocalizedDescriptionKey = QStringLiteral("NSLocalizedDescription");

struct NSError {
    QString domain;
    long long code = 0;
    QString localizedDescription;
    QVariantMap userInfo;

    QString description() const;
};

QString describe(const NSError& e);
QString describe(const QVariantMap& map);

} // namespace quorvel
