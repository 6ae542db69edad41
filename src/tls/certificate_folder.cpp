#include "tls/certificate_folder.h"

#include <cstdio>

#include "util/folders.h"

#ifdef _WIN32
#include <windows.h>
#include <dpapi.h>
#else
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace {

// A certificate or a key is a few hundred bytes: more is no file of ours.
constexpr std::size_t kMostFileBytes = 64 * 1024;

// Without iostreams, which would weigh more than the rest of the program's C++ library.
std::string ReadText(const std::string& path) {
    std::string text;
    std::FILE* file = std::fopen(path.c_str(), "rb");
    if (!file) return text;
    char buffer[4096];
    std::size_t got;
    while ((got = std::fread(buffer, 1, sizeof buffer, file)) > 0 && text.size() < kMostFileBytes)
        text.append(buffer, got);
    std::fclose(file);
    return text;
}

#ifdef _WIN32
// A key on Windows is sealed with DPAPI for the user who runs Zentory: another user of the
// PC, or the file copied elsewhere, gets nothing of it.
std::string Sealed(const std::string& text, bool seal) {
    DATA_BLOB in = {static_cast<DWORD>(text.size()),
                    reinterpret_cast<BYTE*>(const_cast<char*>(text.data()))};
    DATA_BLOB out = {};
    BOOL done = seal ? CryptProtectData(&in, L"Zentory", nullptr, nullptr, nullptr,
                                        CRYPTPROTECT_UI_FORBIDDEN, &out)
                     : CryptUnprotectData(&in, nullptr, nullptr, nullptr, nullptr,
                                          CRYPTPROTECT_UI_FORBIDDEN, &out);
    if (!done) return {};
    std::string result(reinterpret_cast<const char*>(out.pbData), out.cbData);
    SecureZeroMemory(out.pbData, out.cbData);
    LocalFree(out.pbData);
    return result;
}
#endif

// A private key as it was kept; "" when it is missing or cannot be opened.
std::string ReadKey(const std::string& path) {
#ifdef _WIN32
    std::string sealed = ReadText(path);
    return sealed.empty() ? sealed : Sealed(sealed, false);
#else
    return ReadText(path);
#endif
}

// Written whole under a temporary name, then put in place: a crash leaves the old file or
// the new one, never half of one. A key is made readable by its owner alone from the start.
bool WriteText(const std::string& path, const std::string& plain, bool secret) {
    std::string temporary = path + ".part";
#ifdef _WIN32
    std::string text = secret ? Sealed(plain, true) : plain;
    if (text.empty()) return false;
#else
    const std::string& text = plain;
#endif
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

// A key and its certificate, read as kept: the key unsealed.
KeyAndCertificate ReadPair(const std::string& keyPath, const std::string& certificatePath) {
    return {ReadKey(keyPath), ReadText(certificatePath)};
}

// The key first: a certificate without its key would be one that signs nothing.
bool WritePair(const std::string& keyPath, const std::string& certificatePath,
               const KeyAndCertificate& pair) {
    return WriteText(keyPath, pair.keyPem, true) &&
           WriteText(certificatePath, pair.certificatePem, false);
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
    kept.authority = ReadPair(caKeyPath, caPath);
    if (kept.authority.keyPem.empty() || kept.authority.certificatePem.empty() ||
        CertificateFingerprint(kept.authority.certificatePem).empty()) {
        auto made = MakeAuthority("", now, problem);
        if (!made) return std::nullopt;
        if (!WritePair(caKeyPath, caPath, *made)) {
            problem = "a autoridade não pôde ser gravada em " + folder;
            return std::nullopt;
        }
        kept.authority = *made;
        kept.authorityMade = true;
    }
    kept.server = ReadPair(serverKeyPath, serverPath);
    if (kept.authorityMade || kept.server.keyPem.empty() ||
        !ServerCertificateFits(kept.server, kept.authority.certificatePem, addresses, now)) {
        auto made = MakeServerCertificate(kept.authority, addresses, now, problem);
        if (!made) return std::nullopt;
        if (!WritePair(serverKeyPath, serverPath, *made)) {
            problem = "o certificado do servidor não pôde ser gravado em " + folder;
            return std::nullopt;
        }
        kept.server = *made;
        kept.serverMade = true;
    }
    return kept;
}

std::optional<std::string> LoadPageIdentity(const std::string& folder,
                                            const std::vector<std::uint32_t>& addresses,
                                            std::int64_t now, TlsServerIdentity& identity,
                                            std::string& problem) {
    auto kept = KeepCertificatesIn(folder, addresses, now, problem);
    if (!kept || !identity.Load(kept->server, kept->authority.certificatePem, problem))
        return std::nullopt;
    return kept->authority.certificatePem;
}
