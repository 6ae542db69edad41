#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

// The installation's own certificate authority and the phone page's server certificate:
// ECDSA P-256 keys, signed with SHA-256, in PEM. The authority signs only the server's
// certificate; the phone trusts the authority once, and a new server certificate (new
// addresses, or its end near) needs no new trust.

struct KeyAndCertificate {
    std::string keyPem;  // the private key: kept on this computer, for its user alone
    std::string certificatePem;
};

// The authority's validity: long, since a phone trusts it by hand.
inline constexpr int kAuthorityDays = 3650;
// The server certificate's: the most an iPhone accepts is 825 days.
inline constexpr int kServerDays = 825;
// A server certificate is made anew this many days before its end.
inline constexpr int kRenewalDays = 30;

// Seconds since 1970 (UTC), the clock that certificates are dated by.
std::int64_t SecondsNow();

// A new authority named "Zentory <name>", valid from a day before `now` for kAuthorityDays.
// Nothing, with `problem` set, when it cannot be made.
std::optional<KeyAndCertificate> MakeAuthority(const std::string& name, std::int64_t now,
                                               std::string& problem);

// A server certificate for these IPv4 addresses (network byte order; loopback among them)
// as IP subject alternative names, for serverAuth, signed by the authority, valid from a
// day before `now` for kServerDays in all.
std::optional<KeyAndCertificate> MakeServerCertificate(const KeyAndCertificate& authority,
                                                       const std::vector<std::uint32_t>& addresses,
                                                       std::int64_t now, std::string& problem);

// Whether the server certificate was signed by the authority, names exactly these addresses
// and stays valid for kRenewalDays more from `now`; a certificate that does not is made anew.
bool ServerCertificateFits(const KeyAndCertificate& server, const std::string& authorityPem,
                           const std::vector<std::uint32_t>& addresses, std::int64_t now);

// The SHA-256 of the certificate's DER as upper-case hex pairs joined by ':'; `pairs` of
// them from the start when more than 0 ("3A:7F:..." for the connect window). "" for a text
// that is no certificate.
std::string CertificateFingerprint(const std::string& certificatePem, int pairs = 0);
