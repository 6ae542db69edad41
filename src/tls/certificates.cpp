#include "tls/certificates.h"

#include <mbedtls/ecp.h>
#include <mbedtls/oid.h>

#include <algorithm>
#include <array>
#include <cctype>
#include <chrono>
#include <cstring>
#include <cstdio>
#include <set>

#include "tls/digests.h"
#include "tls/mbedtls_objects.h"
#include "util/civil_date.h"

namespace {

struct Writer {
    Writer() { mbedtls_x509write_crt_init(&crt); }
    ~Writer() { mbedtls_x509write_crt_free(&crt); }
    Writer(const Writer&) = delete;
    Writer& operator=(const Writer&) = delete;
    mbedtls_x509write_cert crt;
};

bool NewKey(Key& key, Random& random) {
    return mbedtls_pk_setup(&key.pk, mbedtls_pk_info_from_type(MBEDTLS_PK_ECKEY)) == 0 &&
           mbedtls_ecp_gen_key(MBEDTLS_ECP_DP_SECP256R1, mbedtls_pk_ec(key.pk), Random::Fill,
                               &random) == 0;
}

std::string KeyPem(Key& key) {
    std::array<unsigned char, 1024> pem{};
    if (mbedtls_pk_write_key_pem(&key.pk, pem.data(), pem.size()) != 0) return {};
    return reinterpret_cast<const char*>(pem.data());
}

// "YYYYMMDDhhmmss", as certificates are dated; in that form the text's order is the time's.
std::string TimeText(int year, int month, int day, int hour, int minute, int second) {
    char text[32];
    std::snprintf(text, sizeof text, "%04d%02d%02d%02d%02d%02d", year, month, day, hour, minute,
                  second);
    return text;
}

// Seconds since 1970 as a certificate's time, in UTC.
std::string CertificateTime(std::int64_t seconds) {
    std::int64_t days = seconds / 86400 - (seconds % 86400 < 0 ? 1 : 0);
    std::int64_t inDay = seconds - days * 86400;
    CivilDate date = CivilFromDays(days);
    return TimeText(date.year, date.month, date.day, static_cast<int>(inDay / 3600),
                    static_cast<int>(inDay / 60 % 60), static_cast<int>(inDay % 60));
}

// Dates, a random serial number, SHA-256, the key identifiers; then signed into PEM.
std::string Sign(Writer& writer, Key& subject, Key& issuer, const std::string& subjectName,
                 const std::string& issuerName, std::int64_t now, int days, Random& random) {
    mbedtls_x509write_cert* crt = &writer.crt;
    std::array<unsigned char, 16> serial{};
    Random::Fill(&random, serial.data(), serial.size());
    serial[0] &= 0x7F;                // a positive number
    serial[0] |= 0x40;                // of the full length
    std::int64_t from = now - 86400;  // a phone whose clock is a little behind still accepts it
    mbedtls_x509write_crt_set_version(crt, MBEDTLS_X509_CRT_VERSION_3);
    mbedtls_x509write_crt_set_md_alg(crt, MBEDTLS_MD_SHA256);
    mbedtls_x509write_crt_set_subject_key(crt, &subject.pk);
    mbedtls_x509write_crt_set_issuer_key(crt, &issuer.pk);
    if (mbedtls_x509write_crt_set_serial_raw(crt, serial.data(), serial.size()) != 0 ||
        mbedtls_x509write_crt_set_subject_name(crt, subjectName.c_str()) != 0 ||
        mbedtls_x509write_crt_set_issuer_name(crt, issuerName.c_str()) != 0 ||
        mbedtls_x509write_crt_set_validity(
            crt, CertificateTime(from).c_str(),
            CertificateTime(from + static_cast<std::int64_t>(days) * 86400 - 1).c_str()) != 0 ||
        mbedtls_x509write_crt_set_subject_key_identifier(crt) != 0 ||
        mbedtls_x509write_crt_set_authority_key_identifier(crt) != 0)
        return {};
    std::array<unsigned char, 4096> pem{};
    if (mbedtls_x509write_crt_pem(crt, pem.data(), pem.size(), Random::Fill, &random) != 0)
        return {};
    return reinterpret_cast<const char*>(pem.data());
}

std::string SubjectName(const mbedtls_x509_crt& crt) {
    char name[256] = {};
    mbedtls_x509_dn_gets(name, sizeof name, &crt.subject);
    return name;
}

}  // namespace

std::int64_t SecondsNow() {
    return std::chrono::duration_cast<std::chrono::seconds>(
               std::chrono::system_clock::now().time_since_epoch())
        .count();
}

std::optional<KeyAndCertificate> MakeAuthority(const std::string& name, std::int64_t now,
                                               std::string& problem) {
    Random random("zentory certificates");
    Key key;
    Writer writer;
    if (!random.Ready() || !NewKey(key, random)) {
        problem = "a chave da autoridade não pôde ser feita";
        return std::nullopt;
    }
    // A name of letters, digits and blanks only: a DN's own marks (",", "=", "+") stay out.
    std::string plain;
    for (char c : name)
        if (std::isalnum(static_cast<unsigned char>(c)) || c == ' ' || c == '-') plain += c;
    std::string subject = "CN=Zentory" + (plain.empty() ? "" : " " + plain) + ",O=Zentory";
    mbedtls_x509write_crt_set_basic_constraints(&writer.crt, 1, 0);
    mbedtls_x509write_crt_set_key_usage(&writer.crt,
                                        MBEDTLS_X509_KU_KEY_CERT_SIGN | MBEDTLS_X509_KU_CRL_SIGN);
    std::string certificate = Sign(writer, key, key, subject, subject, now, kAuthorityDays, random);
    KeyAndCertificate made{KeyPem(key), certificate};
    if (made.keyPem.empty() || made.certificatePem.empty()) {
        problem = "o certificado da autoridade não pôde ser feito";
        return std::nullopt;
    }
    return made;
}

std::optional<KeyAndCertificate> MakeServerCertificate(const KeyAndCertificate& authority,
                                                       const std::vector<std::uint32_t>& addresses,
                                                       std::int64_t now, std::string& problem) {
    Random random("zentory certificates");
    Key issuerKey, key;
    Certificate issuer;
    Writer writer;
    if (!random.Ready() || !issuerKey.Read(authority.keyPem, random) ||
        !issuer.Read(authority.certificatePem)) {
        problem = "a autoridade guardada não pôde ser lida";
        return std::nullopt;
    }
    if (!NewKey(key, random)) {
        problem = "a chave do servidor não pôde ser feita";
        return std::nullopt;
    }
    // Each address once, as 4 bytes in network order.
    std::set<std::uint32_t> distinct(addresses.begin(), addresses.end());
    std::vector<std::array<unsigned char, 4>> bytes;
    for (std::uint32_t address : distinct) {
        std::array<unsigned char, 4> octets{};
        std::memcpy(octets.data(), &address, 4);
        bytes.push_back(octets);
    }
    std::vector<mbedtls_x509_san_list> names(bytes.size());
    for (std::size_t i = 0; i < bytes.size(); ++i) {
        names[i].node.type = MBEDTLS_X509_SAN_IP_ADDRESS;
        names[i].node.san.unstructured_name.p = bytes[i].data();
        names[i].node.san.unstructured_name.len = 4;
        names[i].next = i + 1 < bytes.size() ? &names[i + 1] : nullptr;
    }
    // serverAuth alone, as a sequence of one OID.
    mbedtls_asn1_sequence serverAuth = {};
    serverAuth.buf.tag = MBEDTLS_ASN1_OID;
    serverAuth.buf.p = reinterpret_cast<unsigned char*>(const_cast<char*>(MBEDTLS_OID_SERVER_AUTH));
    serverAuth.buf.len = MBEDTLS_OID_SIZE(MBEDTLS_OID_SERVER_AUTH);
    if ((!names.empty() &&
         mbedtls_x509write_crt_set_subject_alternative_name(&writer.crt, names.data()) != 0) ||
        mbedtls_x509write_crt_set_basic_constraints(&writer.crt, 0, -1) != 0 ||
        mbedtls_x509write_crt_set_key_usage(&writer.crt, MBEDTLS_X509_KU_DIGITAL_SIGNATURE) != 0 ||
        mbedtls_x509write_crt_set_ext_key_usage(&writer.crt, &serverAuth) != 0) {
        problem = "o certificado do servidor não pôde ser feito";
        return std::nullopt;
    }
    std::string certificate = Sign(writer, key, issuerKey, "CN=Zentory,O=Zentory",
                                   SubjectName(issuer.crt), now, kServerDays, random);
    KeyAndCertificate made{KeyPem(key), certificate};
    if (made.keyPem.empty() || made.certificatePem.empty()) {
        problem = "o certificado do servidor não pôde ser feito";
        return std::nullopt;
    }
    return made;
}

bool ServerCertificateFits(const KeyAndCertificate& server, const std::string& authorityPem,
                           const std::vector<std::uint32_t>& addresses, std::int64_t now) {
    Certificate certificate, authority;
    if (!certificate.Read(server.certificatePem) || !authority.Read(authorityPem)) return false;
    uint32_t flags = 0;
    if (mbedtls_x509_crt_verify(&certificate.crt, &authority.crt, nullptr, nullptr, &flags, nullptr,
                                nullptr) != 0)
        return false;
    const mbedtls_x509_time& end = certificate.crt.valid_to;
    if (TimeText(end.year, end.mon, end.day, end.hour, end.min, end.sec) <
        CertificateTime(now + static_cast<std::int64_t>(kRenewalDays) * 86400))
        return false;
    std::set<std::uint32_t> wanted(addresses.begin(), addresses.end()), named;
    for (const mbedtls_x509_sequence* san = &certificate.crt.subject_alt_names; san && san->buf.p;
         san = san->next) {
        mbedtls_x509_subject_alternative_name name = {};
        if (mbedtls_x509_parse_subject_alt_name(&san->buf, &name) != 0) continue;
        if (name.type == MBEDTLS_X509_SAN_IP_ADDRESS && name.san.unstructured_name.len == 4) {
            std::uint32_t address = 0;
            std::memcpy(&address, name.san.unstructured_name.p, 4);
            named.insert(address);
        }
        mbedtls_x509_free_subject_alt_name(&name);
    }
    return named == wanted;
}

std::string CertificateFingerprint(const std::string& certificatePem, int pairs) {
    Certificate certificate;
    if (!certificate.Read(certificatePem)) return {};
    Sha256Digest digest = Sha256(std::string_view(
        reinterpret_cast<const char*>(certificate.crt.raw.p), certificate.crt.raw.len));
    std::string hex = DigestHex(digest), text;
    int count = pairs > 0 ? std::min(pairs, 32) : 32;
    for (int i = 0; i < count; ++i) {
        if (i > 0) text += ':';
        text += static_cast<char>(std::toupper(static_cast<unsigned char>(hex[2 * i])));
        text += static_cast<char>(std::toupper(static_cast<unsigned char>(hex[2 * i + 1])));
    }
    return text;
}
