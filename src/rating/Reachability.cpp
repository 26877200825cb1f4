#include "rating/Reachability.h"

#include "platform/core/NotificationCenter.h"

#include <arpa/inet.h>

namespace quorvel {

Reachability::Reachability(std::unique_ptr<NetworkReachability> reachabilityRef)
    : reachabilityRef_(std::move(reachabilityRef)) {}

Reachability::~Reachability() { stopNotifer(); }

std::unique_ptr<Reachability> Reachability::reachabilityWithHostName(const QString& hostName) {
    auto ref = NetworkReachability::createWithName(hostName);
    if (!ref) return nullptr;
    return std::unique_ptr<Reachability>(new Reachability(std::move(ref)));
}

std::unique_ptr<Reachability> Reachability::reachabilityWithAddress(const sockaddr_in& hostAddress) {
    auto ref = NetworkReachability::createWithAddress(reinterpret_cast<const sockaddr*>(&hostAddress),
                                                      sizeof hostAddress);
    if (!ref) return nullptr;
    return std::unique_ptr<Reachability>(new Reachability(std::move(ref)));
}

std::unique_ptr<Reachability> Reachability::reachabilityForInternetConnection() {
    sockaddr_in zeroAddress{};
    zeroAddress.sin_family = AF_INET;
    return reachabilityWithAddress(zeroAddress);
}

std::unique_ptr<Reachability> Reachability::reachabilityForLocalWiFi() {
    sockaddr_in localWifiAddress{};
    localWifiAddress.sin_family = AF_INET;
    localWifiAddress.sin_addr.s_addr = htonl(0xA9FE0000u); // 169.254.0.0
    auto r = reachabilityWithAddress(localWifiAddress);
    if (r) r->localWiFiRef_ = true;
    return r;
}

bool Reachability::startNotifer() {
    reachabilityRef_->setCallback([this](SCNetworkReachabilityFlags) {
        NotificationCenter::defaultCenter().postNotificationName(kReachabilityChangedNotification, this);
    });
    return reachabilityRef_->scheduleWithCurrentThread();
}

void Reachability::stopNotifer() {
    if (reachabilityRef_) reachabilityRef_->unscheduleFromCurrentThread();
}

NetworkStatus Reachability::localWiFiStatusForFlags(SCNetworkReachabilityFlags flags) const {
    if ((flags & kSCNetworkReachabilityFlagsReachable) && (flags & kSCNetworkReachabilityFlagsIsDirect))
        return ReachableViaWiFi;
    return NotReachable;
}

NetworkStatus Reachability::networkStatusForFlags(SCNetworkReachabilityFlags flags) const {
    if (!(flags & kSCNetworkReachabilityFlagsReachable)) return NotReachable;
    if (flags & kSCNetworkReachabilityFlagsIsWWAN) return ReachableViaWWAN;
    if (!(flags & kSCNetworkReachabilityFlagsConnectionRequired)) return ReachableViaWiFi;
    // A connection made on demand or on traffic needs no user to step in.
    if ((flags & (kSCNetworkReachabilityFlagsConnectionOnTraffic | kSCNetworkReachabilityFlagsConnectionOnDemand)) &&
        !(flags & kSCNetworkReachabilityFlagsInterventionRequired))
        return ReachableViaWiFi;
    return NotReachable;
}

NetworkStatus Reachability::currentReachabilityStatus() {
    SCNetworkReachabilityFlags flags = 0;
    if (!reachabilityRef_->getFlags(&flags)) return NotReachable;
    return localWiFiRef_ ? localWiFiStatusForFlags(flags) : networkStatusForFlags(flags);
}

bool Reachability::connectionRequired() {
    SCNetworkReachabilityFlags flags = 0;
    if (!reachabilityRef_->getFlags(&flags)) return false;
    return flags & kSCNetworkReachabilityFlagsConnectionRequired;
}

} // namespace quorvel
