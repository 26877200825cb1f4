#include "platform/net/NetlinkSocket.h"

#include <cerrno>
#include <cstring>
#include <linux/netlink.h>
#include <linux/rtnetlink.h>
#include <sys/socket.h>
#include <sys/time.h>
#include <unistd.h>

namespace quorvel {

NetlinkSocket::NetlinkSocket(uint32_t groups) {
    fd_ = ::socket(AF_NETLINK, SOCK_RAW | SOCK_CLOEXEC, NETLINK_ROUTE);
    if (fd_ < 0) return;
    sockaddr_nl local{};
    local.nl_family = AF_NETLINK;
    local.nl_groups = groups;
    if (::bind(fd_, reinterpret_cast<sockaddr*>(&local), sizeof local) != 0) {
        ::close(fd_);
        fd_ = -1;
        return;
    }
    socklen_t length = sizeof local;
    if (::getsockname(fd_, reinterpret_cast<sockaddr*>(&local), &length) == 0) portId_ = local.nl_pid;
    // The kernel answers requests at once; the timeout only guards against a
    // reply that never comes.
    timeval timeout{2, 0};
    ::setsockopt(fd_, SOL_SOCKET, SO_RCVTIMEO, &timeout, sizeof timeout);
}

NetlinkSocket::~NetlinkSocket() {
    if (fd_ >= 0) ::close(fd_);
}

std::vector<char> makeNetlinkRequest(uint16_t type, uint16_t flags, const void* body, size_t bodySize) {
    std::vector<char> request(NLMSG_SPACE(bodySize), 0);
    auto* header = reinterpret_cast<nlmsghdr*>(request.data());
    header->nlmsg_len = uint32_t(NLMSG_LENGTH(bodySize));
    header->nlmsg_type = type;
    header->nlmsg_flags = flags;
    std::memcpy(NLMSG_DATA(header), body, bodySize);
    return request;
}

void addNetlinkAttribute(std::vector<char>& request, uint16_t type, const void* data, size_t size) {
    const size_t offset = NLMSG_ALIGN(request.size());
    request.resize(offset + RTA_SPACE(size), 0);
    auto* attribute = reinterpret_cast<rtattr*>(request.data() + offset);
    attribute->rta_type = type;
    attribute->rta_len = uint16_t(RTA_LENGTH(size));
    std::memcpy(RTA_DATA(attribute), data, size);
    reinterpret_cast<nlmsghdr*>(request.data())->nlmsg_len = uint32_t(request.size());
}

int NetlinkSocket::request(std::vector<char> request, const MessageHandler& each) {
    if (fd_ < 0) return EBADF;
    auto* header = reinterpret_cast<nlmsghdr*>(request.data());
    header->nlmsg_seq = ++sequence_;
    header->nlmsg_pid = 0;
    sockaddr_nl kernel{};
    kernel.nl_family = AF_NETLINK;
    if (::sendto(fd_, request.data(), request.size(), 0, reinterpret_cast<sockaddr*>(&kernel), sizeof kernel) < 0)
        return errno;

    std::vector<char> buffer(32768);
    for (;;) {
        const ssize_t n = ::recv(fd_, buffer.data(), buffer.size(), 0);
        if (n < 0) {
            if (errno == EINTR) continue;
            return errno;
        }
        int remaining = int(n);
        for (auto* m = reinterpret_cast<nlmsghdr*>(buffer.data()); NLMSG_OK(m, remaining);
             m = NLMSG_NEXT(m, remaining)) {
            // Skip leftovers of an earlier request that timed out.
            if (m->nlmsg_seq != sequence_ || (portId_ && m->nlmsg_pid != portId_)) continue;
            if (m->nlmsg_type == NLMSG_DONE) return 0;
            if (m->nlmsg_type == NLMSG_ERROR) {
                const auto* error = static_cast<const nlmsgerr*>(NLMSG_DATA(m));
                return -error->error;
            }
            each(m);
            if (!(m->nlmsg_flags & NLM_F_MULTI)) return 0;
        }
    }
}

int NetlinkSocket::drain() {
    if (fd_ < 0) return 0;
    int count = 0;
    char buffer[8192];
    for (;;) {
        const ssize_t n = ::recv(fd_, buffer, sizeof buffer, MSG_DONTWAIT);
        if (n < 0) {
            if (errno == EINTR) continue;
            if (errno == ENOBUFS) { // messages were lost: something changed
                ++count;
                continue;
            }
            return count;
        }
        if (n == 0) return count;
        int remaining = int(n);
        for (auto* m = reinterpret_cast<nlmsghdr*>(buffer); NLMSG_OK(m, remaining); m = NLMSG_NEXT(m, remaining))
            ++count;
    }
}

} // namespace quorvel
