#include "platform/store/NSManagedObjectModel.h"

#include "platform/store/CoreDataErrors.h"

#include <QDir>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

namespace quorvel {

namespace {
std::shared_ptr<NSManagedObjectModel> fail(NSError* error, const QString& reason) {
    if (error) {
        error->domain = NSCocoaErrorDomain;
        error->code = NSCoreDataError;
        error->localizedDescription = QStringLiteral("The object model could not be loaded.");
        error->userInfo = {{NSReasonErrorKey, reason}};
    }
    return nullptr;
}
} // namespace

void NSManagedObjectModel::addEntity(NSEntityDescription entity) {
    entities_.push_back(std::make_shared<const NSEntityDescription>(std::move(entity)));
}

void NSManagedObjectModel::addUpgradeStep(int toVersion, QStringList statements) {
    upgrades_[toVersion] = std::move(statements);
}

std::shared_ptr<const NSEntityDescription> NSManagedObjectModel::entityNamed(const QString& name) const {
    for (const auto& entity : entities_)
        if (entity->name() == name) return entity;
    return nullptr;
}

std::shared_ptr<NSManagedObjectModel> NSManagedObjectModel::modelFromJson(const QByteArray& json, NSError* error) {
    QJsonParseError parseError;
    QJsonDocument doc = QJsonDocument::fromJson(json, &parseError);
    if (!doc.isObject()) return fail(error, parseError.errorString());
    QJsonObject root = doc.object();
    auto model = std::make_shared<NSManagedObjectModel>(root.value(QStringLiteral("version")).toInt(1));
    for (const QJsonValue& e : root.value(QStringLiteral("entities")).toArray()) {
        QJsonObject entity = e.toObject();
        QString name = entity.value(QStringLiteral("name")).toString();
        if (name.isEmpty()) return fail(error, QStringLiteral("an entity has no name"));
        std::vector<NSAttributeDescription> attributes;
        for (const QJsonValue& a : entity.value(QStringLiteral("attributes")).toArray()) {
            QJsonObject attribute = a.toObject();
            NSAttributeDescription description;
            description.name = attribute.value(QStringLiteral("name")).toString();
            description.optional = attribute.value(QStringLiteral("optional")).toBool(true);
            QString type = attribute.value(QStringLiteral("type")).toString();
            if (description.name.isEmpty() || !NSAttributeDescription::typeFromName(type, &description.type))
                return fail(error, QStringLiteral("attribute '%1' of '%2' has an unknown type '%3'")
                                       .arg(description.name, name, type));
            attributes.push_back(description);
        }
        NSEntityDescription description(name, std::move(attributes), entity.value(QStringLiteral("class")).toString());
        // An index is a list of attributes, or {"attributes": [...], "unique": true}.
        for (const QJsonValue& i : entity.value(QStringLiteral("indexes")).toArray()) {
            const QJsonArray names = i.isObject() ? i.toObject().value(QStringLiteral("attributes")).toArray() : i.toArray();
            QStringList columns;
            for (const QJsonValue& c : names) columns << c.toString();
            description.addIndex(columns, i.toObject().value(QStringLiteral("unique")).toBool(false));
        }
        description.setSingleRow(entity.value(QStringLiteral("singleRow")).toBool(false));
        model->addEntity(std::move(description));
    }
    for (const QJsonValue& u : root.value(QStringLiteral("upgrades")).toArray()) {
        QJsonObject upgrade = u.toObject();
        QStringList statements;
        for (const QJsonValue& s : upgrade.value(QStringLiteral("sql")).toArray()) statements << s.toString();
        model->addUpgradeStep(upgrade.value(QStringLiteral("to")).toInt(), statements);
    }
    return model;
}

std::shared_ptr<NSManagedObjectModel> NSManagedObjectModel::mergedModelFromDirectory(const QString& directory,
                                                                                   NSError* error) {
    QDir dir(directory);
    const QStringList files = dir.entryList({QStringLiteral("*.json")}, QDir::Files, QDir::Name);
    if (files.isEmpty()) return fail(error, QStringLiteral("no model description in %1").arg(directory));
    std::shared_ptr<NSManagedObjectModel> merged;
    for (const QString& file : files) {
        QFile f(dir.filePath(file));
        if (!f.open(QIODevice::ReadOnly)) return fail(error, QStringLiteral("cannot read %1").arg(f.fileName()));
        auto part = modelFromJson(f.readAll(), error);
        if (!part) return nullptr;
        if (!merged) {
            merged = part;
            continue;
        }
        merged->version_ = std::max(merged->version_, part->version_);
        for (const auto& entity : part->entities_) {
            if (merged->entityNamed(entity->name()))
                return fail(error, QStringLiteral("entity '%1' is described twice").arg(entity->name()));
            merged->entities_.push_back(entity);
        }
        merged->upgrades_.insert(part->upgrades_.begin(), part->upgrades_.end());
    }
    return merged;
}

} // namespace quorvel
