// The installation's authority and the page's server certificate.

#include "tls/certificates.h"

#include <gtest/gtest.h>

#include <cstring>

namespace {

std::uint32_t Address(unsigned a, unsigned b, unsigned c, unsigned d) {
    const unsigned char bytes[4] = {static_cast<unsigned char>(a), static_cast<unsigned char>(b),
                                    static_cast<unsigned char>(c), static_cast<unsigned char>(d)};
    std::uint32_t address;
    std::memcpy(&address, bytes, 4);
    return address;
}

}  // namespace

TEST(Certificates, TheServerCertificateFitsItsAddressesUntilItNearsItsEnd) {
    std::string problem;
    std::int64_t now = SecondsNow();
    auto authority = MakeAuthority("PC-DA-ANA, \"escritório\"", now, problem);
    ASSERT_TRUE(authority) << problem;
    std::vector<std::uint32_t> addresses = {Address(127, 0, 0, 1), Address(192, 168, 0, 10)};
    auto server = MakeServerCertificate(*authority, addresses, now, problem);
    ASSERT_TRUE(server) << problem;
    EXPECT_TRUE(ServerCertificateFits(*server, authority->certificatePem, addresses, now));
    EXPECT_FALSE(ServerCertificateFits(*server, authority->certificatePem,
                                       {Address(127, 0, 0, 1), Address(192, 168, 0, 11)}, now));
    std::int64_t nearItsEnd = now + (kServerDays - kRenewalDays) * 86400LL;
    EXPECT_FALSE(ServerCertificateFits(*server, authority->certificatePem, addresses, nearItsEnd));
    // Another authority did not sign it.
    auto stranger = MakeAuthority("outro", now, problem);
    ASSERT_TRUE(stranger);
    EXPECT_FALSE(ServerCertificateFits(*server, stranger->certificatePem, addresses, now));

    std::string fingerprint = CertificateFingerprint(authority->certificatePem, 6);
    EXPECT_EQ(fingerprint.size(), 17u);
    EXPECT_EQ(CertificateFingerprint(authority->certificatePem).rfind(fingerprint, 0), 0u);
    EXPECT_EQ(CertificateFingerprint("-----BEGIN CERTIFICATE-----\nAAAA\n"), "");
}
