#include "platform/net/URLConnection.h"

#include <sys/socket.h>
#include <unistd.h>

namespace quorvel {

URLConnection::URLConnection(URLRequest request) : request_(std::move(request)) {
    const QString scheme = request_.url.scheme();
    if (!request_.url.isValid() || request_.url.host().isEmpty() ||
        (scheme != QLatin1String("http") && scheme != QLatin1String("https")))
        return;
    socket_ = ::socket(AF_INET, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
}

URLConnection::~URLConnection() { cancel(); }

void URLConnection::cancel() {
    if (socket_ >= 0) ::close(socket_);
    socket_ = -1;
}

} // namespace quorvel
