#pragma once
#include <QString>

namespace quorvel {

// The application's string table: resources/strings.txt, one "key<TAB>text"
// per line ("#" starts a comment; "\n" in a text is a line break). A key
// without a text shows the key itself.
QString NSLocalizedString(const QString& key);

// Reloads the table on the next lookup (tests that switch resource folders).
void resetLocalizedStrings();

} // namespace quorvel
