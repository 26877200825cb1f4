#pragma once
// An error value: domain, code, description and a details dictionary, as the
// system logs and reports them.
#include <QString>
#include <QVariantMap>

namespace quorvel {

// The details key of an error's description (store and sound errors alike).
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
