// The visual-debugger connection: a real TCP connection attempt with a time-out, and nothing sent.

#include <arpa/inet.h>
#include <fcntl.h>
#include <netdb.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <mutex>
#include <string>

#include "pvd/PxPvd.h"
#include "pvd/PxPvdTransport.h"

namespace physx {
namespace {

class SocketTransport final : public PxPvdTransport {
public:
    SocketTransport(const char* host, int port, unsigned int timeoutMs)
        : mHost(host ? host : "")
        , mPort(port)
        , mTimeoutMs(timeoutMs)
    {
    }
    ~SocketTransport() override { disconnect(); }

    bool connect() override
    {
        if (mSocket >= 0)
            return true;
        const int fd = OpenConnected();
        if (fd < 0)
            return false;
        mSocket = fd;
        return true;
    }
    void disconnect() override
    {
        if (mSocket >= 0)
            ::close(mSocket);
        mSocket = -1;
    }
    bool isConnected() override { return mSocket >= 0; }
    // Nothing is streamed: the debugger protocol is not implemented. Data is counted and dropped.
    bool write(const PxU8*, PxU32 inLength) override
    {
        if (mSocket < 0)
            return false;
        mWritten += inLength;
        return true;
    }
    PxPvdTransport& lock() override
    {
        mMutex.lock();
        return *this;
    }
    void unlock() override { mMutex.unlock(); }
    void flush() override {}
    PxU64 getWrittenDataSize() override { return mWritten; }
    void release() override { delete this; }

private:
    // Non-blocking connect, then wait at most the time-out for it to complete.
    int OpenConnected() const
    {
        addrinfo hints {};
        hints.ai_family = AF_UNSPEC;
        hints.ai_socktype = SOCK_STREAM;
        addrinfo* found = nullptr;
        const std::string port = std::to_string(mPort);
        if (mPort <= 0 || mPort > 65535 || ::getaddrinfo(mHost.c_str(), port.c_str(), &hints, &found) != 0)
            return -1;
        int connected = -1;
        for (addrinfo* a = found; a != nullptr && connected < 0; a = a->ai_next)
            connected = TryAddress(*a);
        ::freeaddrinfo(found);
        return connected;
    }

    int TryAddress(const addrinfo& address) const
    {
        const int fd = ::socket(
            address.ai_family, address.ai_socktype | SOCK_NONBLOCK | SOCK_CLOEXEC, address.ai_protocol);
        if (fd < 0)
            return -1;
        if (::connect(fd, address.ai_addr, address.ai_addrlen) == 0)
            return fd;
        if (errno == EINPROGRESS) {
            pollfd p { fd, POLLOUT, 0 };
            int error = 0;
            socklen_t length = sizeof(error);
            if (::poll(&p, 1, static_cast<int>(mTimeoutMs)) == 1
                && ::getsockopt(fd, SOL_SOCKET, SO_ERROR, &error, &length) == 0 && error == 0)
                return fd;
        }
        ::close(fd);
        return -1;
    }

    std::string mHost;
    int mPort;
    unsigned int mTimeoutMs;
    int mSocket = -1;
    PxU64 mWritten = 0;
    std::mutex mMutex;
};

class PvdImpl final : public PxPvd {
public:
    bool connect(PxPvdTransport& transport, PxPvdInstrumentationFlags flags) override
    {
        mTransport = &transport;
        mFlags = flags;
        return transport.connect();
    }
    void disconnect() override
    {
        if (mTransport != nullptr)
            mTransport->disconnect();
    }
    bool isConnected(bool) override { return mTransport != nullptr && mTransport->isConnected(); }
    PxPvdTransport* getTransport() override { return mTransport; }
    PxPvdInstrumentationFlags getInstrumentationFlags() override { return mFlags; }
    void release() override
    {
        disconnect();
        delete this;
    }

private:
    PxPvdTransport* mTransport = nullptr;
    PxPvdInstrumentationFlags mFlags;
};

} // namespace

PxPvdTransport* PxDefaultPvdSocketTransportCreate(const char* host, int port, unsigned int timeoutInMilliseconds)
{
    return new SocketTransport(host, port, timeoutInMilliseconds);
}

PxPvd* PxCreatePvd(PxFoundation&)
{
    return new PvdImpl();
}

} // namespace physx
