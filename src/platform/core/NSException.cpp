#include "platform/core/NSException.h"

namespace quorvel {

const QString NSInvalidArgumentException = QStringLiteral("NSInvalidArgumentException");

NSException::NSException(QString name, QString reason)
    : std::runtime_error((name + QStringLiteral(": ") + reason).toStdString()), name_(std::move(name)),
      reason_(std::move(reason)) {}

QString describe(const NSException& e) { return e.reason(); }

} // namespace quorvel
