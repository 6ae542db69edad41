#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "tls/certificates.h"
#include "tls/tls_transport.h"

// The authority and the page's server certificate kept in a folder, made on first use:
//   ca.pem          the authority's certificate, which phones are given to trust
//   ca-key.pem      its private key, readable by its owner alone (on Windows, sealed with
//                   DPAPI for the user)
//   server.pem      the server's certificate
//   server-key.pem  its key, readable by its owner alone
// The server's certificate is made anew when the addresses change or its end nears; a new
// authority only when its files are gone.
struct PageCertificates {
    KeyAndCertificate authority;
    KeyAndCertificate server;
    bool authorityMade = false;  // this call made it: phones have yet to trust it
    bool serverMade = false;
};

std::optional<PageCertificates> KeepCertificatesIn(const std::string& folder,
                                                   const std::vector<std::uint32_t>& addresses,
                                                   std::int64_t now, std::string& problem);

// The certificates kept in `folder`, as KeepCertificatesIn keeps them, loaded into the
// server's `identity`: the authority's certificate, for phones to download; nothing, with
// `problem` set, when they cannot be had.
std::optional<std::string> LoadPageIdentity(const std::string& folder,
                                            const std::vector<std::uint32_t>& addresses,
                                            std::int64_t now, TlsServerIdentity& identity,
                                            std::string& problem);
