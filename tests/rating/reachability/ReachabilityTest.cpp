// Reachability: the flag mapping, and the status the kernel gives in network
// namespaces that the test builds (bare, default route through a veth pair,
// no carrier, a cellular modem's name), with change notification.
#include "rating/Reachability.h"
#include "TestSupport.h"
#include "platform/core/NotificationCenter.h"

#include <QCoreApplication>
#include <QThread>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sched.h>
#include <thread>
#include <unistd.h>

using namespace quorvel;
using namespace quorvel::test;

namespace {

constexpr SCNetworkReachabilityFlags R = kSCNetworkReachabilityFlagsReachable;
constexpr SCNetworkReachabilityFlags CR = kSCNetworkReachabilityFlagsConnectionRequired;
constexpr SCNetworkReachabilityFlags T = kSCNetworkReachabilityFlagsTransientConnection;
constexpr SCNetworkReachabilityFlags OT = kSCNetworkReachabilityFlagsConnectionOnTraffic;
constexpr SCNetworkReachabilityFlags OD = kSCNetworkReachabilityFlagsConnectionOnDemand;
constexpr SCNetworkReachabilityFlags IR = kSCNetworkReachabilityFlagsInterventionRequired;
constexpr SCNetworkReachabilityFlags W = kSCNetworkReachabilityFlagsIsWWAN;
constexpr SCNetworkReachabilityFlags D = kSCNetworkReachabilityFlagsIsDirect;

TEST(ReachabilityFlags, NetworkStatusForEachRow) {
    auto r = Reachability::reachabilityForInternetConnection();
    ASSERT_TRUE(r);
    struct Row { SCNetworkReachabilityFlags flags; NetworkStatus status; };
    const Row rows[] = {
        {0, NotReachable},          {CR, NotReachable},          {W, NotReachable},  // reachable bit clear
        {R | W, ReachableViaWWAN},  {R | W | CR, ReachableViaWWAN},                  // WWAN wins
        {R, ReachableViaWiFi},      {R | T, ReachableViaWiFi},   {R | D, ReachableViaWiFi},
        {R | CR, NotReachable},                                                      // needs a connection
        {R | CR | OT, ReachableViaWiFi}, {R | CR | OD, ReachableViaWiFi},            // made by itself
        {R | CR | OT | IR, NotReachable}, {R | CR | OD | IR, NotReachable},          // user must step in
        {R | CR | IR, NotReachable},
    };
    for (const Row& row : rows)
        EXPECT_EQ(r->networkStatusForFlags(row.flags), row.status) << "flags 0x" << std::hex << row.flags;
}

TEST(ReachabilityFlags, LocalWiFiStatusNeedsReachableAndDirect) {
    auto r = Reachability::reachabilityForLocalWiFi();
    ASSERT_TRUE(r);
    EXPECT_TRUE(r->isLocalWiFi());
    EXPECT_EQ(r->localWiFiStatusForFlags(R | D), ReachableViaWiFi);
    EXPECT_EQ(r->localWiFiStatusForFlags(R | D | W | CR), ReachableViaWiFi);
    EXPECT_EQ(r->localWiFiStatusForFlags(R), NotReachable);
    EXPECT_EQ(r->localWiFiStatusForFlags(D), NotReachable);
    EXPECT_EQ(r->localWiFiStatusForFlags(0), NotReachable);
}

TEST(ReachabilityFlags, OnlyIPv4SocketAddressesAreAccepted) {
    sockaddr_in6 six{};
    six.sin6_family = AF_INET6;
    EXPECT_FALSE(NetworkReachability::createWithAddress(reinterpret_cast<sockaddr*>(&six), sizeof six));
    sockaddr_in four{};
    four.sin_family = AF_INET;
    EXPECT_TRUE(NetworkReachability::createWithAddress(reinterpret_cast<sockaddr*>(&four), sizeof four));
    EXPECT_FALSE(Reachability::reachabilityWithHostName(QString()));
}

TEST(ReachabilityFlags, CellularInterfacesByName) {
    EXPECT_TRUE(NetworkReachability::isCellularInterface("wwan0", 1));
    EXPECT_TRUE(NetworkReachability::isCellularInterface("wwp0s20u4i6", 1));
    EXPECT_FALSE(NetworkReachability::isCellularInterface("lo", 772));
    EXPECT_FALSE(NetworkReachability::isCellularInterface("../eth0", 1));
}

// ---- On this machine, in network namespaces ----

ToolResult ip(const QStringList& args) { return runTool(QStringLiteral("ip"), args, 20000); }

// Two namespaces joined by a veth pair: `inner` is where the checks run,
// `outer` holds the gateway. Both are deleted however the test ends.
class NamespacePair {
public:
    NamespacePair() {
        const QString tag = QString::number(::getpid());
        inner = QStringLiteral("qvin") + tag;
        outer = QStringLiteral("qvout") + tag;
        if (!haveTool(QStringLiteral("ip"))) return;
        innerMade_ = ip({"netns", "add", inner}).exitCode == 0;
        made_ = innerMade_ && ip({"netns", "add", outer}).exitCode == 0;
    }
    ~NamespacePair() {
        if (innerMade_) ip({"netns", "del", inner});
        if (made_) ip({"netns", "del", outer});
    }
    bool isMade() const { return made_; }

    // A veth pair named `name` inside and "qvgw" outside, addressed and up,
    // with the outer end at 10.213.0.1.
    bool link(const QString& name) {
        return ip({"-n", inner, "link", "add", name, "type", "veth", "peer", "name", "qvgw", "netns", outer})
                       .exitCode == 0 &&
               ip({"-n", inner, "addr", "add", "10.213.0.2/24", "dev", name}).exitCode == 0 &&
               ip({"-n", outer, "addr", "add", "10.213.0.1/24", "dev", "qvgw"}).exitCode == 0 &&
               ip({"-n", outer, "link", "set", "qvgw", "up"}).exitCode == 0 &&
               ip({"-n", inner, "link", "set", name, "up"}).exitCode == 0;
    }
    bool defaultRoute() {
        return ip({"-n", inner, "route", "add", "default", "via", "10.213.0.1"}).exitCode == 0;
    }

    // Runs `check` on a thread that has entered the inner namespace.
    template <class F> void inside(F check) {
        std::thread thread([&] {
            const int fd = ::open(("/var/run/netns/" + inner).toUtf8().constData(), O_RDONLY | O_CLOEXEC);
            const bool entered = fd >= 0 && ::setns(fd, CLONE_NEWNET) == 0;
            if (fd >= 0) ::close(fd);
            ASSERT_TRUE(entered);
            check();
        });
        thread.join();
    }

    QString inner, outer;

private:
    bool innerMade_ = false;
    bool made_ = false;
};

// Moves the calling thread into a namespace until the guard ends.
class EnterNamespace {
public:
    explicit EnterNamespace(const QString& name) {
        saved_ = ::open("/proc/thread-self/ns/net", O_RDONLY | O_CLOEXEC);
        const int fd = ::open(("/var/run/netns/" + name).toUtf8().constData(), O_RDONLY | O_CLOEXEC);
        entered_ = saved_ >= 0 && fd >= 0 && ::setns(fd, CLONE_NEWNET) == 0;
        if (fd >= 0) ::close(fd);
    }
    ~EnterNamespace() {
        if (entered_) ::setns(saved_, CLONE_NEWNET);
        if (saved_ >= 0) ::close(saved_);
    }
    bool entered() const { return entered_; }

private:
    int saved_ = -1;
    bool entered_ = false;
};

#define REQUIRE_NAMESPACES(pair) \
    if (!(pair).isMade()) GTEST_SKIP() << "network namespaces cannot be made here"

NetworkStatus internetStatus() { return Reachability::reachabilityForInternetConnection()->currentReachabilityStatus(); }

TEST(ReachabilityOnThisMachine, DefaultRouteDecidesInternetStatus) {
    NamespacePair ns;
    REQUIRE_NAMESPACES(ns);
    // A bare namespace: only a loopback that is down, no route at all.
    ns.inside([] {
        EXPECT_EQ(internetStatus(), NotReachable);
        SCNetworkReachabilityFlags flags = 1234;
        EXPECT_TRUE(NetworkReachability::flagsForAddress(htonl(0x08080808), &flags));
        EXPECT_EQ(flags, 0u);
    });
    ASSERT_TRUE(ns.link("qveth"));
    // An address on an up link, but nothing covers the internet yet.
    ns.inside([] {
        EXPECT_EQ(internetStatus(), NotReachable);
        SCNetworkReachabilityFlags flags = 0;
        EXPECT_TRUE(NetworkReachability::flagsForAddress(htonl(0x0AD50001), &flags)); // the gateway, on-link
        EXPECT_EQ(flags & R, R);
    });
    ASSERT_TRUE(ns.defaultRoute());
    ns.inside([] {
        EXPECT_EQ(internetStatus(), ReachableViaWiFi);
        EXPECT_FALSE(Reachability::reachabilityForInternetConnection()->connectionRequired());
        sockaddr_in far{};
        far.sin_family = AF_INET;
        far.sin_addr.s_addr = htonl(0x5DB8D822); // 93.184.216.34, through the gateway
        EXPECT_EQ(Reachability::reachabilityWithAddress(far)->currentReachabilityStatus(), ReachableViaWiFi);
        EXPECT_EQ(Reachability::reachabilityWithHostName("10.213.0.1")->currentReachabilityStatus(),
                  ReachableViaWiFi);
        // Link-local targets only count as direct: local Wi-Fi mode sees them.
        EXPECT_EQ(Reachability::reachabilityForLocalWiFi()->currentReachabilityStatus(), ReachableViaWiFi);
    });
    // The gateway's end goes down: the route stays, the link has no carrier.
    ASSERT_EQ(ip({"-n", ns.outer, "link", "set", "qvgw", "down"}).exitCode, 0);
    ns.inside([] {
        auto r = Reachability::reachabilityForInternetConnection();
        EXPECT_EQ(r->currentReachabilityStatus(), NotReachable);
        EXPECT_TRUE(r->connectionRequired());
    });
}

TEST(ReachabilityOnThisMachine, RouteThroughACellularModemIsWWAN) {
    NamespacePair ns;
    REQUIRE_NAMESPACES(ns);
    ASSERT_TRUE(ns.link("wwan0"));
    ASSERT_TRUE(ns.defaultRoute());
    ns.inside([] {
        EXPECT_EQ(internetStatus(), ReachableViaWWAN);
        SCNetworkReachabilityFlags flags = 0;
        EXPECT_TRUE(NetworkReachability::flagsForAddress(0, &flags));
        EXPECT_EQ(flags, R | W);
    });
}

TEST(ReachabilityOnThisMachine, KernelChangesArePostedOnTheSchedulingThread) {
    NamespacePair ns;
    REQUIRE_NAMESPACES(ns);
    ASSERT_TRUE(ns.link("qveth"));
    EnterNamespace here(ns.inner);
    ASSERT_TRUE(here.entered());

    auto r = Reachability::reachabilityForInternetConnection();
    ASSERT_EQ(r->currentReachabilityStatus(), NotReachable);
    int posted = 0;
    bool onThisThread = true;
    Reachability* watched = r.get();
    // The observer stops the notifier from inside its own notification.
    const auto token = NotificationCenter::defaultCenter().addObserver(
        kReachabilityChangedNotification, watched, [&](const QString&, NotificationCenter::Sender) {
            ++posted;
            onThisThread = onThisThread && QThread::currentThread() == QCoreApplication::instance()->thread();
            watched->stopNotifer();
        });
    ASSERT_TRUE(r->startNotifer());
    ASSERT_TRUE(ns.defaultRoute());
    EXPECT_TRUE(waitUntil([&] { return posted > 0; }, 10000));
    EXPECT_TRUE(onThisThread);
    EXPECT_EQ(r->currentReachabilityStatus(), ReachableViaWiFi);

    // Stopped: the kernel's next change reaches nobody.
    ASSERT_EQ(ip({"-n", ns.inner, "route", "del", "default"}).exitCode, 0);
    waitUntil([] { return false; }, 300);
    EXPECT_EQ(posted, 1);
    EXPECT_EQ(r->currentReachabilityStatus(), NotReachable);

    // Started again, it reports the route coming back.
    ASSERT_TRUE(r->startNotifer());
    ASSERT_TRUE(ns.defaultRoute());
    EXPECT_TRUE(waitUntil([&] { return posted == 2; }, 10000));
    NotificationCenter::defaultCenter().removeObserver(token);
}

} // namespace
