#include "platform/core/LocalizedStrings.h"

#include "platform/core/Paths.h"

#include <QCoreApplication>
#include <QFile>
#include <QHash>
#include <QTextStream>
#include <mutex>

namespace quorvel {

namespace {
std::mutex tableMutex;
QHash<QString, QString> table;
bool loaded = false;

void loadTable() {
    QFile file(Paths::resourcePath(QStringLiteral("strings.txt")));
    if (!file.open(QIODevice::ReadOnly | QIODevice::Text)) return;
    QTextStream in(&file);
    in.setEncoding(QStringConverter::Utf8);
    while (!in.atEnd()) {
        const QString line = in.readLine();
        if (line.isEmpty() || line.startsWith(QLatin1Char('#'))) continue;
        const qsizetype tab = line.indexOf(QLatin1Char('\t'));
        if (tab <= 0) continue;
        QString text = line.mid(tab + 1);
        text.replace(QStringLiteral("\\n"), QStringLiteral("\n"));
        table.insert(line.left(tab), text);
    }
}
} // namespace

QString NSLocalizedString(const QString& key) {
    std::lock_guard lock(tableMutex);
    if (!loaded) {
        loadTable();
        loaded = true;
    }
    const QString text = table.value(key);
    if (text.isEmpty()) return key;
    // The installed catalogue's text for the table's (English) one, where it has one
    // (translations/*.ts, context "Strings").
    return QCoreApplication::translate("Strings", text.toUtf8().constData());
}

void resetLocalizedStrings() {
    std::lock_guard lock(tableMutex);
    table.clear();
    loaded = false;
}

} // namespace quorvel
