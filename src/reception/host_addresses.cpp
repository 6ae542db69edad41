#include "reception/host_addresses.h"

#include <set>

#include "reception/socket_native.h"

#ifndef _WIN32
#include <ifaddrs.h>
#endif

std::vector<std::uint32_t> HostIPv4Addresses() {
    std::set<std::uint32_t> found = {htonl(INADDR_LOOPBACK)};
#ifdef _WIN32
    // The host's own name resolves to the addresses of its adapters that are up.
    char name[256] = {};
    addrinfo hints = {};
    hints.ai_family = AF_INET;
    addrinfo* list = nullptr;
    if (gethostname(name, sizeof name) == 0 && getaddrinfo(name, nullptr, &hints, &list) == 0) {
        for (addrinfo* entry = list; entry; entry = entry->ai_next)
            found.insert(reinterpret_cast<sockaddr_in*>(entry->ai_addr)->sin_addr.s_addr);
        freeaddrinfo(list);
    }
#else
    ifaddrs* list = nullptr;
    if (getifaddrs(&list) == 0) {
        for (ifaddrs* entry = list; entry; entry = entry->ifa_next) {
            if (entry->ifa_addr && entry->ifa_addr->sa_family == AF_INET)
                found.insert(reinterpret_cast<sockaddr_in*>(entry->ifa_addr)->sin_addr.s_addr);
        }
        freeifaddrs(list);
    }
#endif
    return {found.begin(), found.end()};
}
