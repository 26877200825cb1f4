#include "platform/core/NotificationCenter.h"

#include <vector>

namespace quorvel {

NotificationCenter& NotificationCenter::defaultCenter() {
    static NotificationCenter center;
    return center;
}

NotificationCenter::Token NotificationCenter::addObserver(const QString& name, Sender sender, Handler handler) {
    return addObserver(nullptr, name, sender, std::move(handler));
}

NotificationCenter::Token NotificationCenter::addObserver(const void* owner, const QString& name, Sender sender,
                                                          Handler handler) {
    std::lock_guard lock(mutex_);
    const Token token = next_++;
    entries_.emplace(token, Entry{owner, name, sender, std::make_shared<Handler>(std::move(handler))});
    return token;
}

void NotificationCenter::removeObserver(Token token) {
    std::lock_guard lock(mutex_);
    entries_.erase(token);
}

void NotificationCenter::removeObserver(const void* owner, const QString& name, Sender sender) {
    std::lock_guard lock(mutex_);
    for (auto it = entries_.begin(); it != entries_.end();) {
        const Entry& e = it->second;
        if (e.owner == owner && e.name == name && (sender == nullptr || e.sender == sender))
            it = entries_.erase(it);
        else
            ++it;
    }
}

void NotificationCenter::postNotificationName(const QString& name, Sender sender) {
    // Copy the matching handlers so that a handler may add or remove observers.
    std::vector<std::shared_ptr<Handler>> matching;
    {
        std::lock_guard lock(mutex_);
        for (const auto& [token, e] : entries_)
            if (e.name == name && (e.sender == nullptr || e.sender == sender)) matching.push_back(e.handler);
    }
    for (const auto& handler : matching) (*handler)(name, sender);
}

} // namespace quorvel
