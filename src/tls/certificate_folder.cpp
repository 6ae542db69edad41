#include "tls/certificate_folder.h"

#include <cstdio>
#include <fstream>
#include <sstream>

#include "util/folders.h"

#ifndef _WIN32
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace {

std::string ReadText(const std::string& path) {
    std::ifstream file(path, std::ios::binary);
    std::ostringstream text;
    text << file.rdbuf();
    return text.str();
}

// Written whole under a temporary name, then put in place: a crash leaves the old file or
// the new one, never half of one. A key is made readable by its owner alone from the start.
bool WriteText(const std::string& path, const std::string& text, bool secret) {
    std::string temporary = path + ".part";
#ifndef _WIN32
    int descriptor = open(temporary.c_str(), O_WRONLY | O_CREAT | O_TRUNC, secret ? 0600 : 0644);
    if (descriptor < 0) return false;
    if (secret) fchmod(descriptor, 0600);
    bool written =
        write(descriptor, text.data(), text.size()) == static_cast<ssize_t>(text.size()) &&
        fsync(descriptor) == 0;
    written = close(descriptor) == 0 && written;
#else
    (void)secret;
    std::FILE* file = std::fopen(temporary.c_str(), "wb");
    if (!file) return false;
    bool written = std::fwrite(text.data(), 1, text.size(), file) == text.size();
    written = std::fclose(file) == 0 && written;
#endif
    if (!written) {
        std::remove(temporary.c_str());
        return false;
    }
#ifdef _WIN32
    std::remove(path.c_str());
#endif
    return std::rename(temporary.c_str(), path.c_str()) == 0;
}

}  // namespace

std::optional<PageCertificates> KeepCertificatesIn(const std::string& folder,
                                                   const std::vector<std::uint32_t>& addresses,
                                                   std::int64_t now, std::string& problem) {
    if (!MakeFolders(folder)) {
        problem = "a pasta " + folder + " não pôde ser criada";
        return std::nullopt;
    }
    PageCertificates kept;
    std::string caPath = JoinPath(folder, "ca.pem"), caKeyPath = JoinPath(folder, "ca-key.pem");
    std::string serverPath = JoinPath(folder, "server.pem");
    std::string serverKeyPath = JoinPath(folder, "server-key.pem");
    kept.authority = {ReadText(caKeyPath), ReadText(caPath)};
    if (kept.authority.keyPem.empty() || kept.authority.certificatePem.empty() ||
        CertificateFingerprint(kept.authority.certificatePem).empty()) {
        auto made = MakeAuthority("", now, problem);
        if (!made) return std::nullopt;
        // The key first: a certificate without its key would be an authority that signs nothing.
        if (!WriteText(caKeyPath, made->keyPem, true) ||
            !WriteText(caPath, made->certificatePem, false)) {
            problem = "a autoridade não pôde ser gravada em " + folder;
            return std::nullopt;
        }
        kept.authority = *made;
        kept.authorityMade = true;
    }
    kept.server = {ReadText(serverKeyPath), ReadText(serverPath)};
    if (kept.authorityMade || kept.server.keyPem.empty() ||
        !ServerCertificateFits(kept.server, kept.authority.certificatePem, addresses, now)) {
        auto made = MakeServerCertificate(kept.authority, addresses, now, problem);
        if (!made) return std::nullopt;
        if (!WriteText(serverKeyPath, made->keyPem, true) ||
            !WriteText(serverPath, made->certificatePem, false)) {
            problem = "o certificado do servidor não pôde ser gravado em " + folder;
            return std::nullopt;
        }
        kept.server = *made;
        kept.serverMade = true;
    }
    return kept;
}
