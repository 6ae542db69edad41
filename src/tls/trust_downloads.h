#pragma once

#include <string>

// What a phone downloads to trust this PC: the authority's certificate alone, never a key.
//   /zentory-ca.crt        the certificate in PEM (application/x-x509-ca-cert), which
//                          Android and most systems install as a certificate authority
//   /zentory.mobileconfig  an iPhone's configuration profile holding it
//                          (application/x-apple-aspen-config)

inline constexpr const char* kAuthorityDownloadPath = "/zentory-ca.crt";
inline constexpr const char* kProfileDownloadPath = "/zentory.mobileconfig";

// The certificate's DER in base64 without line ends: the PEM's body. "" for no certificate.
std::string CertificateBase64(const std::string& certificatePem);

// The profile's XML for the authority; its identifiers come from the certificate's
// fingerprint, so that installing it again replaces it. "" for no certificate.
std::string AuthorityProfile(const std::string& certificatePem);
