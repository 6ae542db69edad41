#include "tls/trust_downloads.h"

#include "tls/certificates.h"

std::string CertificateBase64(const std::string& certificatePem) {
    static constexpr char kBegin[] = "-----BEGIN CERTIFICATE-----";
    static constexpr char kEnd[] = "-----END CERTIFICATE-----";
    std::size_t begin = certificatePem.find(kBegin);
    std::size_t end = certificatePem.find(kEnd);
    if (begin == std::string::npos || end == std::string::npos || end < begin) return {};
    std::string base64;
    for (std::size_t i = begin + sizeof kBegin - 1; i < end; ++i) {
        char c = certificatePem[i];
        if (c != '\r' && c != '\n') base64 += c;
    }
    return base64;
}

std::string AuthorityProfile(const std::string& certificatePem) {
    std::string fingerprint = CertificateFingerprint(certificatePem);
    std::string base64 = CertificateBase64(certificatePem);
    if (fingerprint.empty() || base64.empty()) return {};
    std::string hex;
    for (char c : fingerprint)
        if (c != ':') hex += c;
    // A UUID's shape from the fingerprint's first 32 hex digits.
    std::string uuid = hex.substr(0, 8) + "-" + hex.substr(8, 4) + "-" + hex.substr(12, 4) + "-" +
                       hex.substr(16, 4) + "-" + hex.substr(20, 12);
    std::string payloadUuid = hex.substr(32, 8) + "-" + hex.substr(40, 4) + "-" +
                              hex.substr(44, 4) + "-" + hex.substr(48, 4) + "-" +
                              hex.substr(52, 12);
    return "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
           "<!DOCTYPE plist PUBLIC \"-//Apple//DTD PLIST 1.0//EN\" "
           "\"http://www.apple.com/DTDs/PropertyList-1.0.dtd\">\n"
           "<plist version=\"1.0\">\n<dict>\n"
           "  <key>PayloadContent</key>\n  <array>\n    <dict>\n"
           "      <key>PayloadCertificateFileName</key><string>zentory-ca.crt</string>\n"
           "      <key>PayloadContent</key><data>" +
           base64 +
           "</data>\n"
           "      <key>PayloadDisplayName</key><string>Zentory</string>\n"
           "      <key>PayloadIdentifier</key><string>local.zentory.ca." +
           hex.substr(0, 16) +
           "</string>\n"
           "      <key>PayloadType</key><string>com.apple.security.root</string>\n"
           "      <key>PayloadUUID</key><string>" +
           payloadUuid +
           "</string>\n"
           "      <key>PayloadVersion</key><integer>1</integer>\n"
           "    </dict>\n  </array>\n"
           "  <key>PayloadDisplayName</key><string>Zentory neste PC</string>\n"
           "  <key>PayloadDescription</key><string>Deixa o celular confiar na página do "
           "Zentory deste computador, para ler boletos com a câmera ao vivo.</string>\n"
           "  <key>PayloadIdentifier</key><string>local.zentory.profile." +
           hex.substr(0, 16) +
           "</string>\n"
           "  <key>PayloadType</key><string>Configuration</string>\n"
           "  <key>PayloadUUID</key><string>" +
           uuid +
           "</string>\n"
           "  <key>PayloadVersion</key><integer>1</integer>\n"
           "</dict>\n</plist>\n";
}
