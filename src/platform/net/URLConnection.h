#pragma once
// A connection object for a web address, as the connectivity test of the
// rating prompt makes it: the request is described and a non-blocking socket
// for it is created, which tells that the machine can open connections at all.
// Nothing is sent; destroying the object releases the socket. One thread uses
// one object.
#include <QUrl>

namespace quorvel {

struct URLRequest {
    enum CachePolicy { UseProtocolCachePolicy = 0, ReloadIgnoringLocalCacheData = 1 };
    QUrl url;
    CachePolicy cachePolicy = UseProtocolCachePolicy;
    double timeoutInterval = 60.0; // seconds
};

class URLConnection {
public:
    explicit URLConnection(URLRequest request);
    ~URLConnection();
    URLConnection(const URLConnection&) = delete;
    URLConnection& operator=(const URLConnection&) = delete;

    // True when the request names an http(s) host and a socket exists for it.
    bool isValid() const { return socket_ >= 0; }
    const URLRequest& request() const { return request_; }
    // Releases the socket; a cancelled connection is no longer valid.
    void cancel();

private:
    URLRequest request_;
    int socket_ = -1;
};

} // namespace quorvel
