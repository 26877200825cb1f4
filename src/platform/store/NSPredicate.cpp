#include "platform/store/NSPredicate.h"

#include "platform/core/NSException.h"
#include "platform/store/NSEntityDescription.h"
#include "platform/store/NSManagedObject.h"

namespace quorvel {

struct NSPredicate::Node {
    enum class Kind { Compare, And, Or } kind = Kind::Compare;
    QString key;
    QString op; // "=", "!=", "<", "<=", ">", ">="
    QVariant value;
    std::shared_ptr<const Node> left, right;
};

namespace {

using Node = NSPredicate::Node;

// A small recursive-descent parser over the format's tokens.
class Parser {
public:
    Parser(const QString& format, const QVariantList& args) : text_(format), args_(args) {}

    std::shared_ptr<const Node> parse() {
        auto node = parseOr();
        skipSpace();
        if (pos_ != text_.size()) fail(QStringLiteral("unexpected text at %1").arg(pos_));
        if (nextArg_ != args_.size()) fail(QStringLiteral("more arguments than %@ placeholders"));
        return node;
    }

private:
    [[noreturn]] void fail(const QString& why) const {
        throw NSException(NSInvalidArgumentException,
                          QStringLiteral("Unable to parse the format string \"%1\": %2").arg(text_, why));
    }
    void skipSpace() {
        while (pos_ < text_.size() && text_[pos_].isSpace()) ++pos_;
    }
    bool accept(const QString& token, bool word = false) {
        skipSpace();
        if (text_.mid(pos_, token.size()).compare(token, word ? Qt::CaseInsensitive : Qt::CaseSensitive) != 0)
            return false;
        const int end = pos_ + int(token.size());
        if (word && end < text_.size() && (text_[end].isLetterOrNumber() || text_[end] == QLatin1Char('_')))
            return false;
        pos_ = end;
        return true;
    }
    std::shared_ptr<const Node> join(Node::Kind kind, std::shared_ptr<const Node> l, std::shared_ptr<const Node> r) {
        auto node = std::make_shared<Node>();
        node->kind = kind;
        node->left = std::move(l);
        node->right = std::move(r);
        return node;
    }
    std::shared_ptr<const Node> parseOr() {
        auto node = parseAnd();
        while (accept(QStringLiteral("OR"), true) || accept(QStringLiteral("||"))) node = join(Node::Kind::Or, node, parseAnd());
        return node;
    }
    std::shared_ptr<const Node> parseAnd() {
        auto node = parsePrimary();
        while (accept(QStringLiteral("AND"), true) || accept(QStringLiteral("&&")))
            node = join(Node::Kind::And, node, parsePrimary());
        return node;
    }
    std::shared_ptr<const Node> parsePrimary() {
        if (accept(QStringLiteral("("))) {
            auto node = parseOr();
            if (!accept(QStringLiteral(")"))) fail(QStringLiteral("missing )"));
            return node;
        }
        auto node = std::make_shared<Node>();
        skipSpace();
        const int start = pos_;
        while (pos_ < text_.size() && (text_[pos_].isLetterOrNumber() || text_[pos_] == QLatin1Char('_'))) ++pos_;
        node->key = text_.mid(start, pos_ - start);
        if (node->key.isEmpty()) fail(QStringLiteral("expected a key at %1").arg(start));
        static const char* ops[] = {"==", "!=", "<>", "<=", ">=", "=", "<", ">"};
        for (const char* op : ops) {
            if (accept(QString::fromLatin1(op))) {
                node->op = QString::fromLatin1(op);
                break;
            }
        }
        if (node->op == QLatin1String("==")) node->op = QStringLiteral("=");
        if (node->op == QLatin1String("<>")) node->op = QStringLiteral("!=");
        if (node->op.isEmpty()) fail(QStringLiteral("expected a comparison after %1").arg(node->key));
        if (!accept(QStringLiteral("%@"))) fail(QStringLiteral("expected %@ after %1").arg(node->key));
        if (nextArg_ >= args_.size()) fail(QStringLiteral("fewer arguments than %@ placeholders"));
        node->value = args_[nextArg_++];
        return node;
    }

    QString text_;
    QVariantList args_;
    int pos_ = 0;
    qsizetype nextArg_ = 0;
};

bool evaluate(const Node& node, const NSManagedObject& object) {
    switch (node.kind) {
    case Node::Kind::And: return evaluate(*node.left, object) && evaluate(*node.right, object);
    case Node::Kind::Or: return evaluate(*node.left, object) || evaluate(*node.right, object);
    case Node::Kind::Compare: break;
    }
    const NSEntityDescription& entity = object.entity();
    const int index = entity.indexOfAttribute(node.key);
    if (index < 0) return false;
    const NSAttributeDescription& attribute = entity.attributes()[size_t(index)];
    const QVariant mine = object.valueForKey(node.key);
    const QVariant theirs = attribute.coerce(node.value);
    const int order = attribute.compareValues(mine, theirs);
    if (node.op == QLatin1String("=")) return order == 0;
    if (node.op == QLatin1String("!=")) return order != 0;
    // Ordering comparisons never hold when either side has no value, as in SQL.
    if (!mine.isValid() || !theirs.isValid()) return false;
    if (node.op == QLatin1String("<")) return order < 0;
    if (node.op == QLatin1String("<=")) return order <= 0;
    if (node.op == QLatin1String(">")) return order > 0;
    return order >= 0;
}

bool toSql(const Node& node, const NSEntityDescription& entity, QString* sql, QVariantList* bindings, QString* reason) {
    if (node.kind != Node::Kind::Compare) {
        QString left, right;
        if (!toSql(*node.left, entity, &left, bindings, reason) || !toSql(*node.right, entity, &right, bindings, reason))
            return false;
        *sql = QStringLiteral("(%1 %2 %3)").arg(left, node.kind == Node::Kind::And ? QStringLiteral("AND") : QStringLiteral("OR"), right);
        return true;
    }
    const int index = entity.indexOfAttribute(node.key);
    if (index < 0) {
        *reason = QStringLiteral("keypath %1 not found in entity %2").arg(node.key, entity.name());
        return false;
    }
    const QVariant value = entity.attributes()[size_t(index)].coerce(node.value);
    const QString column = QLatin1Char('"') + node.key + QLatin1Char('"');
    // IS / IS NOT compare "no value" as a value, matching the in-memory evaluation.
    if (node.op == QLatin1String("=")) *sql = column + QStringLiteral(" IS ?");
    else if (node.op == QLatin1String("!=")) *sql = column + QStringLiteral(" IS NOT ?");
    else *sql = column + QLatin1Char(' ') + node.op + QStringLiteral(" ?");
    bindings->append(value);
    return true;
}

} // namespace

NSPredicate::NSPredicate(QString format, std::shared_ptr<const Node> root)
    : format_(std::move(format)), root_(std::move(root)) {}

std::shared_ptr<NSPredicate> NSPredicate::predicateWithFormat(const QString& format, const QVariantList& arguments) {
    auto root = Parser(format, arguments).parse();
    return std::shared_ptr<NSPredicate>(new NSPredicate(format, std::move(root)));
}

bool NSPredicate::evaluateWithObject(const NSManagedObject& object) const { return evaluate(*root_, object); }

bool NSPredicate::sqlWhere(const NSEntityDescription& entity, QString* sql, QVariantList* bindings,
                           QString* reason) const {
    return toSql(*root_, entity, sql, bindings, reason);
}

QString describe(const NSPredicate& predicate) { return predicate.predicateFormat(); }

} // namespace quorvel
