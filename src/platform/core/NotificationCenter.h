#pragma once
// Named notifications between objects. Observers are called synchronously on
// the posting thread, in registration order; an observer that wants the main
// thread hands the work over itself (see MainThread.h).
#include <QString>
#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <mutex>

namespace quorvel {

class NotificationCenter {
public:
    using Sender = const void*;
    using Handler = std::function<void(const QString& name, Sender sender)>;
    using Token = uint64_t;

    static NotificationCenter& defaultCenter();

    // sender == nullptr observes the name from any sender.
    Token addObserver(const QString& name, Sender sender, Handler handler);
    void removeObserver(Token token);
    // Removes every registration of `name` (and `sender`, when given) made under `owner`.
    void removeObserver(const void* owner, const QString& name, Sender sender = nullptr);
    Token addObserver(const void* owner, const QString& name, Sender sender, Handler handler);
    void postNotificationName(const QString& name, Sender sender);

    NotificationCenter() = default;
    NotificationCenter(const NotificationCenter&) = delete;
    NotificationCenter& operator=(const NotificationCenter&) = delete;

private:
    struct Entry {
        const void* owner;
        QString name;
        Sender sender;
        std::shared_ptr<Handler> handler;
    };
    std::mutex mutex_;
    std::map<Token, Entry> entries_;
    Token next_ = 1;
};

} // namespace quorvel
