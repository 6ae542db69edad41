#pragma once

#include <cstdint>
#include <vector>

// This computer's IPv4 addresses, loopback among them, each once (network byte order): the
// names of the page's server certificate.
std::vector<std::uint32_t> HostIPv4Addresses();
