#pragma once
// Error domains, codes and details keys that the object store reports, with
// the platform's numbering so that logs read as the system expects.
#include "platform/core/NSError.h"

#include <QString>

namespace quorvel {

inline const QString NSCocoaErrorDomain = QStringLiteral("NSCocoaErrorDomain");
inline const QString NSSQLiteStoreType = QStringLiteral("SQLite");

// Keys of an error's details dictionary.
inline const QString NSDetailedErrorsKey = QStringLiteral("NSDetailedErrors");
inline const QString NSSQLiteErrorDomainKey = QStringLiteral("NSSQLiteErrorDomain");
inline const QString NSFilePathErrorKey = QStringLiteral("NSFilePath");
inline const QString NSValidationKeyErrorKey = QStringLiteral("NSValidationErrorKey");
inline const QString NSValidationObjectErrorKey = QStringLiteral("NSValidationErrorObject");
inline const QString NSReasonErrorKey = QStringLiteral("reason");

enum CoreDataErrorCode : long long {
    NSValidationMultipleErrorsError = 1560,
    NSValidationMissingMandatoryPropertyError = 1570,
    NSPersistentStoreInvalidTypeError = 134000,
    NSPersistentStoreIncompatibleSchemaError = 134020,
    NSPersistentStoreSaveError = 134030,
    NSPersistentStoreIncompatibleVersionHashError = 134100,
    NSPersistentStoreOpenError = 134080,
    NSCoreDataError = 134060,
    NSFileReadCorruptFileError = 259,
};

} // namespace quorvel
