#include "platform/net/NetworkReachability.h"

#include "platform/net/NetlinkSocket.h"

#include <QFile>
#include <QFileInfo>
#include <QSocketNotifier>
#include <algorithm>
#include <arpa/inet.h>
#include <cerrno>
#include <cstring>
#include <net/if_arp.h>
#include <linux/netlink.h>
#include <linux/rtnetlink.h>
#include <net/if.h>
#include <netdb.h>

#ifndef ARPHRD_RAWIP
#define ARPHRD_RAWIP 519
#endif

namespace quorvel {

namespace {

// One way out of the machine for a target: the interface and whether the
// route goes through a gateway.
struct RouteChoice {
    int interfaceIndex = 0;
    bool viaGateway = false;
    uint32_t metric = 0;
};

struct LinkState {
    bool found = false;
    unsigned flags = 0;
    unsigned short type = 0;
    QString name;
    bool hasAddress = false;
};

const rtattr* findAttribute(const nlmsghdr* m, size_t bodySize, unsigned short type) {
    int length = int(m->nlmsg_len) - int(NLMSG_LENGTH(bodySize));
    for (auto* a = reinterpret_cast<const rtattr*>(static_cast<const char*>(NLMSG_DATA(m)) + NLMSG_ALIGN(bodySize));
         RTA_OK(a, length); a = RTA_NEXT(a, length))
        if (a->rta_type == type) return a;
    return nullptr;
}

uint32_t attributeU32(const rtattr* a) {
    uint32_t v = 0;
    if (a && RTA_PAYLOAD(a) >= sizeof v) std::memcpy(&v, RTA_DATA(a), sizeof v);
    return v;
}

// The interfaces a route message leaves through: its output interface, or
// each next hop of a multipath route.
std::vector<RouteChoice> choicesOfRoute(const nlmsghdr* m) {
    std::vector<RouteChoice> out;
    const uint32_t metric = attributeU32(findAttribute(m, sizeof(rtmsg), RTA_PRIORITY));
    const bool gateway = findAttribute(m, sizeof(rtmsg), RTA_GATEWAY) != nullptr;
    if (const rtattr* oif = findAttribute(m, sizeof(rtmsg), RTA_OIF))
        out.push_back({int(attributeU32(oif)), gateway, metric});
    if (const rtattr* multipath = findAttribute(m, sizeof(rtmsg), RTA_MULTIPATH)) {
        int length = int(RTA_PAYLOAD(multipath));
        for (auto* hop = static_cast<const rtnexthop*>(RTA_DATA(multipath)); RTNH_OK(hop, length);
             length -= NLMSG_ALIGN(hop->rtnh_len), hop = RTNH_NEXT(hop)) {
            bool hopGateway = false;
            int attrLength = int(hop->rtnh_len) - int(sizeof(rtnexthop));
            for (auto* a = reinterpret_cast<const rtattr*>(RTNH_DATA(hop)); RTA_OK(a, attrLength);
                 a = RTA_NEXT(a, attrLength))
                if (a->rta_type == RTA_GATEWAY) hopGateway = true;
            out.push_back({hop->rtnh_ifindex, hopGateway, metric});
        }
    }
    return out;
}

int readLink(NetlinkSocket& socket, int index, LinkState* link) {
    ifinfomsg body{};
    body.ifi_family = AF_UNSPEC;
    body.ifi_index = index;
    int error = socket.request(makeNetlinkRequest(RTM_GETLINK, NLM_F_REQUEST, &body, sizeof body),
                               [&](const nlmsghdr* m) {
        if (m->nlmsg_type != RTM_NEWLINK) return;
        const auto* info = static_cast<const ifinfomsg*>(NLMSG_DATA(m));
        link->found = true;
        link->flags = info->ifi_flags;
        link->type = info->ifi_type;
        if (const rtattr* name = findAttribute(m, sizeof(ifinfomsg), IFLA_IFNAME))
            link->name = QString::fromUtf8(static_cast<const char*>(RTA_DATA(name)),
                                           int(strnlen(static_cast<const char*>(RTA_DATA(name)), RTA_PAYLOAD(name))));
    });
    if (error == ENODEV) return 0; // the interface went away: not a way out
    if (error) return error;
    ifaddrmsg addressBody{};
    addressBody.ifa_family = AF_INET;
    return socket.request(makeNetlinkRequest(RTM_GETADDR, NLM_F_REQUEST | NLM_F_DUMP, &addressBody, sizeof addressBody),
                          [&](const nlmsghdr* m) {
        if (m->nlmsg_type != RTM_NEWADDR) return;
        const auto* info = static_cast<const ifaddrmsg*>(NLMSG_DATA(m));
        if (int(info->ifa_index) == index && info->ifa_family == AF_INET) link->hasAddress = true;
    });
}

bool isLinkLocal(in_addr_t address) { return (ntohl(address) & 0xFFFF0000u) == 0xA9FE0000u; }

// The flags of one way out, from the state of its interface.
int flagsOfChoice(NetlinkSocket& socket, const RouteChoice& choice, SCNetworkReachabilityFlags* flags) {
    *flags = 0;
    LinkState link;
    if (int error = readLink(socket, choice.interfaceIndex, &link)) return error;
    if (!link.found || !(link.flags & IFF_UP) || !link.hasAddress) return 0;
    *flags = kSCNetworkReachabilityFlagsReachable;
    // A route whose link has no carrier exists but cannot carry traffic until
    // the link comes up.
    if (!(link.flags & IFF_RUNNING)) *flags |= kSCNetworkReachabilityFlagsConnectionRequired;
    if (link.flags & IFF_POINTOPOINT) *flags |= kSCNetworkReachabilityFlagsTransientConnection;
    if (NetworkReachability::isCellularInterface(link.name, link.type)) *flags |= kSCNetworkReachabilityFlagsIsWWAN;
    return 0;
}

bool usable(SCNetworkReachabilityFlags f) {
    return (f & kSCNetworkReachabilityFlagsReachable) && !(f & kSCNetworkReachabilityFlagsConnectionRequired);
}

// The best of several ways out: the first usable one in metric order, else
// the first that is reachable at all.
int flagsOfChoices(NetlinkSocket& socket, std::vector<RouteChoice> choices, SCNetworkReachabilityFlags* flags) {
    std::stable_sort(choices.begin(), choices.end(),
                     [](const RouteChoice& a, const RouteChoice& b) { return a.metric < b.metric; });
    *flags = 0;
    for (const RouteChoice& choice : choices) {
        SCNetworkReachabilityFlags f = 0;
        if (int error = flagsOfChoice(socket, choice, &f)) return error;
        if (usable(f)) {
            *flags = f;
            return 0;
        }
        if (!*flags) *flags = f;
    }
    return 0;
}

int defaultRouteFlags(NetlinkSocket& socket, SCNetworkReachabilityFlags* flags) {
    rtmsg body{};
    body.rtm_family = AF_INET;
    std::vector<RouteChoice> choices;
    int error = socket.request(makeNetlinkRequest(RTM_GETROUTE, NLM_F_REQUEST | NLM_F_DUMP, &body, sizeof body),
                               [&](const nlmsghdr* m) {
        if (m->nlmsg_type != RTM_NEWROUTE) return;
        const auto* route = static_cast<const rtmsg*>(NLMSG_DATA(m));
        const uint32_t table = findAttribute(m, sizeof(rtmsg), RTA_TABLE)
                                   ? attributeU32(findAttribute(m, sizeof(rtmsg), RTA_TABLE)) : route->rtm_table;
        if (route->rtm_dst_len != 0 || route->rtm_type != RTN_UNICAST || table == RT_TABLE_LOCAL) return;
        for (const RouteChoice& c : choicesOfRoute(m)) choices.push_back(c);
    });
    if (error) return error;
    return flagsOfChoices(socket, std::move(choices), flags);
}

int addressFlags(NetlinkSocket& socket, in_addr_t address, SCNetworkReachabilityFlags* flags) {
    rtmsg body{};
    body.rtm_family = AF_INET;
    body.rtm_dst_len = 32;
    std::vector<char> request = makeNetlinkRequest(RTM_GETROUTE, NLM_F_REQUEST, &body, sizeof body);
    addNetlinkAttribute(request, RTA_DST, &address, sizeof address);
    unsigned char type = RTN_UNSPEC;
    std::vector<RouteChoice> choices;
    int error = socket.request(std::move(request), [&](const nlmsghdr* m) {
        if (m->nlmsg_type != RTM_NEWROUTE) return;
        type = static_cast<const rtmsg*>(NLMSG_DATA(m))->rtm_type;
        choices = choicesOfRoute(m);
    });
    *flags = 0;
    // No route covers the target: readable, and not reachable.
    if (error == ENETUNREACH || error == EHOSTUNREACH || error == EACCES || error == EPERM || error == EINVAL)
        return 0;
    if (error) return error;
    if (type == RTN_LOCAL) {
        *flags = kSCNetworkReachabilityFlagsReachable | kSCNetworkReachabilityFlagsIsLocalAddress |
                 kSCNetworkReachabilityFlagsIsDirect;
        return 0;
    }
    if (type != RTN_UNICAST) return 0;
    if (int e = flagsOfChoices(socket, std::move(choices), flags)) return e;
    // Link-local targets are only ever reached on the attached network.
    if ((*flags & kSCNetworkReachabilityFlagsReachable) && isLinkLocal(address))
        *flags |= kSCNetworkReachabilityFlagsIsDirect;
    return 0;
}

} // namespace

namespace {
// The notifier whose signal this thread is handling now, if any.
thread_local QSocketNotifier* dispatchingNotifier = nullptr;
} // namespace

struct NetworkReachability::Schedule {
    NetlinkSocket events{RTMGRP_LINK | RTMGRP_IPV4_IFADDR | RTMGRP_IPV4_ROUTE};
    QSocketNotifier* notifier = nullptr;

    ~Schedule() {
        if (!notifier) return;
        // A callback may unschedule from inside the notifier's own signal:
        // then the notifier is disabled now and deleted once the signal is done.
        notifier->setEnabled(false);
        if (notifier == dispatchingNotifier)
            notifier->deleteLater();
        else
            delete notifier;
    }
};

std::unique_ptr<NetworkReachability> NetworkReachability::createWithAddress(const sockaddr* address, size_t length) {
    if (!address || length != sizeof(sockaddr_in) || address->sa_family != AF_INET) return nullptr;
    sockaddr_in in;
    std::memcpy(&in, address, sizeof in);
    std::unique_ptr<NetworkReachability> r(new NetworkReachability);
    r->addresses_.push_back(in.sin_addr.s_addr);
    r->resolved_ = true;
    return r;
}

std::unique_ptr<NetworkReachability> NetworkReachability::createWithName(const QString& hostName) {
    if (hostName.isEmpty()) return nullptr;
    std::unique_ptr<NetworkReachability> r(new NetworkReachability);
    r->hostName_ = hostName;
    in_addr numeric{};
    if (inet_pton(AF_INET, hostName.toUtf8().constData(), &numeric) == 1) {
        r->addresses_.push_back(numeric.s_addr);
        r->resolved_ = true;
    }
    return r;
}

NetworkReachability::~NetworkReachability() { unscheduleFromCurrentThread(); }

bool NetworkReachability::resolve() {
    if (resolved_) return true;
    addrinfo hints{};
    hints.ai_family = AF_INET;
    hints.ai_socktype = SOCK_STREAM;
    addrinfo* list = nullptr;
    if (getaddrinfo(hostName_.toUtf8().constData(), nullptr, &hints, &list) != 0) return false;
    std::vector<in_addr_t> found;
    for (addrinfo* a = list; a; a = a->ai_next)
        if (a->ai_family == AF_INET) found.push_back(reinterpret_cast<const sockaddr_in*>(a->ai_addr)->sin_addr.s_addr);
    freeaddrinfo(list);
    if (found.empty()) return false;
    addresses_ = std::move(found);
    resolved_ = true;
    return true;
}

bool NetworkReachability::flagsForAddress(in_addr_t address, SCNetworkReachabilityFlags* flags) {
    *flags = 0;
    NetlinkSocket socket;
    if (!socket.isValid()) return false;
    const int error = address == INADDR_ANY ? defaultRouteFlags(socket, flags) : addressFlags(socket, address, flags);
    return error == 0;
}

bool NetworkReachability::getFlags(SCNetworkReachabilityFlags* flags) {
    *flags = 0;
    // A name that does not resolve has no way out: readable, not reachable.
    if (!resolve()) return true;
    for (in_addr_t address : addresses_) {
        SCNetworkReachabilityFlags f = 0;
        if (!flagsForAddress(address, &f)) return false;
        if (usable(f)) {
            *flags = f;
            return true;
        }
        if (!*flags) *flags = f;
    }
    return true;
}

bool NetworkReachability::isCellularInterface(const QString& name, unsigned short linkType) {
    // wwan0 (kernel names) and wwp0s20u4i6 (predictable names) are modems;
    // so is any interface whose driver declares a WWAN device, or one that
    // carries raw IP as the modem drivers do.
    if (name.startsWith(QLatin1String("ww"))) return true;
    if (linkType == ARPHRD_RAWIP) return true;
    if (name.isEmpty() || name.contains(QLatin1Char('/'))) return false;
    QFile uevent(QStringLiteral("/sys/class/net/") + name + QStringLiteral("/uevent"));
    if (uevent.open(QIODevice::ReadOnly))
        for (const QByteArray& line : uevent.readAll().split('\n'))
            if (line.trimmed() == "DEVTYPE=wwan") return true;
    return false;
}

void NetworkReachability::setCallback(Callback callback) { callback_ = std::move(callback); }

bool NetworkReachability::isScheduled() const { return schedule_ != nullptr; }

bool NetworkReachability::scheduleWithCurrentThread() {
    if (schedule_) return true;
    auto schedule = std::make_unique<Schedule>();
    if (!schedule->events.isValid()) return false;
    haveLastFlags_ = getFlags(&lastFlags_);
    schedule->notifier = new QSocketNotifier(schedule->events.fd(), QSocketNotifier::Read);
    QObject::connect(schedule->notifier, &QSocketNotifier::activated, [this] { kernelChanged(); });
    schedule_ = std::move(schedule);
    return true;
}

void NetworkReachability::unscheduleFromCurrentThread() { schedule_.reset(); }

void NetworkReachability::kernelChanged() {
    if (!schedule_ || schedule_->events.drain() == 0) return;
    SCNetworkReachabilityFlags flags = 0;
    if (!getFlags(&flags)) return;
    if (haveLastFlags_ && flags == lastFlags_) return;
    lastFlags_ = flags;
    haveLastFlags_ = true;
    // The callback may unschedule or destroy this object: touch nothing after it.
    if (callback_) {
        Callback callback = callback_;
        dispatchingNotifier = schedule_->notifier;
        callback(flags);
        dispatchingNotifier = nullptr;
    }
}

} // namespace quorvel
