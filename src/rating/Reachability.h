#pragma once
// Whether the network is reachable, as a three-valued status over the
// platform's reachability flags. Every object is used by one thread; the
// change notification is delivered on the thread that called startNotifer,
// which must run a Qt event loop.
#include "platform/net/NetworkReachability.h"

#include <QString>
#include <memory>

namespace quorvel {

enum NetworkStatus { NotReachable = 0, ReachableViaWiFi = 1, ReachableViaWWAN = 2 };

inline const QString kReachabilityChangedNotification = QStringLiteral("kNetworkReachabilityChangedNotification");

class Reachability {
public:
    static std::unique_ptr<Reachability> reachabilityWithHostName(const QString& hostName);
    static std::unique_ptr<Reachability> reachabilityWithAddress(const sockaddr_in& hostAddress);
    // The zero address: any route out of the machine.
    static std::unique_ptr<Reachability> reachabilityForInternetConnection();
    // The link-local network 169.254.0.0, in local Wi-Fi mode.
    static std::unique_ptr<Reachability> reachabilityForLocalWiFi();

    ~Reachability();
    Reachability(const Reachability&) = delete;
    Reachability& operator=(const Reachability&) = delete;

    // Posts kReachabilityChangedNotification with this object as sender when
    // the flags change. False when the kernel's changes cannot be watched.
    bool startNotifer();
    void stopNotifer();

    NetworkStatus currentReachabilityStatus();
    bool connectionRequired();
    NetworkStatus networkStatusForFlags(SCNetworkReachabilityFlags flags) const;
    NetworkStatus localWiFiStatusForFlags(SCNetworkReachabilityFlags flags) const;
    bool isLocalWiFi() const { return localWiFiRef_; }

private:
    explicit Reachability(std::unique_ptr<NetworkReachability> reachabilityRef);

    std::unique_ptr<NetworkReachability> reachabilityRef_;
    bool localWiFiRef_ = false;
};

} // namespace quorvel
