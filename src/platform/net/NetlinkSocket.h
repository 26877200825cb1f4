#pragma once
// One rtnetlink socket, owned. Used two ways: requests answered by the kernel
// (route lookups, link and address dumps), and, when bound to multicast
// groups, a stream of change messages read without blocking.
// Not thread-safe: one thread uses one socket.
#include <cstdint>
#include <functional>
#include <vector>

struct nlmsghdr;

namespace quorvel {

class NetlinkSocket {
public:
    using MessageHandler = std::function<void(const nlmsghdr* message)>;

    // groups: RTMGRP_* bits to listen to, 0 for requests only.
    explicit NetlinkSocket(uint32_t groups = 0);
    ~NetlinkSocket();
    NetlinkSocket(const NetlinkSocket&) = delete;
    NetlinkSocket& operator=(const NetlinkSocket&) = delete;

    bool isValid() const { return fd_ >= 0; }
    int fd() const { return fd_; }

    // Sends `request` (a complete message; its sequence number is filled in)
    // and hands every reply message to `each` until the kernel is done.
    // Returns 0 on success, else the errno the kernel or the socket reported.
    int request(std::vector<char> request, const MessageHandler& each);

    // Reads every queued message without blocking. Returns the number of
    // messages read; an overrun (lost messages) counts as one.
    int drain();

private:
    int fd_ = -1;
    uint32_t sequence_ = 0;
    uint32_t portId_ = 0;
};

// Builds a request: a header of `type` and `flags` followed by the family
// message `body`; attributes are appended with addAttribute.
std::vector<char> makeNetlinkRequest(uint16_t type, uint16_t flags, const void* body, size_t bodySize);
void addNetlinkAttribute(std::vector<char>& request, uint16_t type, const void* data, size_t size);

} // namespace quorvel
