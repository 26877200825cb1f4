#pragma once
// A named exception with a reason, as the system raises them to callers
// (for example the library importer's argument errors).
#include <QString>
#include <stdexcept>

namespace quorvel {

extern const QString NSInvalidArgumentException;

class NSException : public std::runtime_error {
public:
    NSException(QString name, QString reason);
    const QString& name() const { return name_; }
    const QString& reason() const { return reason_; }
    QString description() const { return reason_; }

private:
    QString name_;
    QString reason_;
};

QString describe(const NSException& e);

} // namespace quorvel
