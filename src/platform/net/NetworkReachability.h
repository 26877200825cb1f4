#pragma once
// The platform's network reachability service on Linux. The flags for a
// target are computed from the kernel's state: an interface that is up, has
// an IPv4 address and carries a route covering the target. The zero address
// stands for "the internet" and asks for a default route.
//
// Threads: getFlags may be called from any thread (it opens its own netlink
// socket per call). scheduleWithCurrentThread, unscheduleFromCurrentThread
// and the destructor of a scheduled object belong to the thread that
// scheduled it, which must run a Qt event loop; the callback runs there.
#include <QString>
#include <cstdint>
#include <functional>
#include <memory>
#include <netinet/in.h>
#include <vector>

namespace quorvel {

using SCNetworkReachabilityFlags = uint32_t;
enum : SCNetworkReachabilityFlags {
    kSCNetworkReachabilityFlagsTransientConnection = 1,
    kSCNetworkReachabilityFlagsReachable = 2,
    kSCNetworkReachabilityFlagsConnectionRequired = 4,
    kSCNetworkReachabilityFlagsConnectionOnTraffic = 8,
    kSCNetworkReachabilityFlagsInterventionRequired = 0x10,
    kSCNetworkReachabilityFlagsConnectionOnDemand = 0x20,
    kSCNetworkReachabilityFlagsIsLocalAddress = 0x10000,
    kSCNetworkReachabilityFlagsIsDirect = 0x20000,
    kSCNetworkReachabilityFlagsIsWWAN = 0x40000,
};

class NetlinkSocket;

class NetworkReachability {
public:
    using Callback = std::function<void(SCNetworkReachabilityFlags flags)>;

    // An IPv4 socket address (family AF_INET, length 16); nullptr otherwise.
    static std::unique_ptr<NetworkReachability> createWithAddress(const sockaddr* address, size_t length);
    // A host name or dotted address. Names are resolved on the first flags
    // read, which then waits for the resolver: not for the main thread.
    static std::unique_ptr<NetworkReachability> createWithName(const QString& hostName);

    ~NetworkReachability();
    NetworkReachability(const NetworkReachability&) = delete;
    NetworkReachability& operator=(const NetworkReachability&) = delete;

    // False when the kernel's state could not be read.
    bool getFlags(SCNetworkReachabilityFlags* flags);

    // The callback runs on the scheduling thread whenever the kernel reports a
    // change of links, addresses or routes that changes the flags.
    void setCallback(Callback callback);
    bool scheduleWithCurrentThread();
    void unscheduleFromCurrentThread();
    bool isScheduled() const;

    // The flags of one IPv4 address (network byte order) in the current state.
    static bool flagsForAddress(in_addr_t address, SCNetworkReachabilityFlags* flags);
    // Whether the interface is a cellular modem (wwan*, or one the kernel
    // declares a WWAN device).
    static bool isCellularInterface(const QString& name, unsigned short linkType);

private:
    NetworkReachability() = default;
    bool resolve();
    void kernelChanged();

    QString hostName_;
    bool resolved_ = false;
    std::vector<in_addr_t> addresses_;
    Callback callback_;
    SCNetworkReachabilityFlags lastFlags_ = 0;
    bool haveLastFlags_ = false;

    struct Schedule;
    std::unique_ptr<Schedule> schedule_;
};

} // namespace quorvel
