/* Preloaded into the demo program: a socket bound to "any address" is bound to
 * the loopback address instead, so the VNC screen is only reachable from here.
 * Qt listens on a dual-stack IPv6 socket; there the IPv4-mapped loopback
 * address keeps IPv4 clients on 127.0.0.1 working. */
#define _GNU_SOURCE
#include <dlfcn.h>
#include <errno.h>
#include <netinet/in.h>
#include <string.h>
#include <sys/socket.h>

typedef int (*bind_fn)(int, const struct sockaddr*, socklen_t);

int bind(int fd, const struct sockaddr* addr, socklen_t len)
{
    static bind_fn real_bind;
    if (!real_bind)
        real_bind = (bind_fn)dlsym(RTLD_NEXT, "bind");
    if (!real_bind) {
        errno = ENOSYS;
        return -1;
    }
    if (addr && addr->sa_family == AF_INET && len >= (socklen_t)sizeof(struct sockaddr_in)) {
        struct sockaddr_in a;
        memcpy(&a, addr, sizeof a);
        if (a.sin_addr.s_addr == htonl(INADDR_ANY)) {
            a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
            return real_bind(fd, (const struct sockaddr*)&a, sizeof a);
        }
    } else if (addr && addr->sa_family == AF_INET6 && len >= (socklen_t)sizeof(struct sockaddr_in6)) {
        struct sockaddr_in6 a;
        memcpy(&a, addr, sizeof a);
        if (memcmp(&a.sin6_addr, &in6addr_any, sizeof a.sin6_addr) == 0) {
            static const unsigned char mapped_loopback[16] = {0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0xff, 0xff, 127, 0, 0, 1};
            memcpy(&a.sin6_addr, mapped_loopback, sizeof mapped_loopback);
            return real_bind(fd, (const struct sockaddr*)&a, sizeof a);
        }
    }
    return real_bind(fd, addr, len);
}
