#include "ui/phone_page.h"

#include "reception/host_addresses.h"
#include "tls/certificate_folder.h"
#include "ui/history_journal.h"
#include "ui/main_window_services.h"
#include "util/folders.h"
#include "util/debug_trace.h"
#include "util/secret_token.h"

namespace {

// A new token, stored with its mark (a refused write is traced: the token still holds for
// this run); empty when the system gave no randomness.
std::string StoreNewToken(SettingsStore& store) {
    std::string token = NewSecretToken();
    if (token.empty()) return token;
    // The mark after the token: should it not follow, the advice to pair again shows once
    // too often, but never stays away from a token that crossed the network.
    if (!store.WriteRegString(kSettingsKey, kPhoneTokenValue, token) ||
        !store.WriteRegDword(kSettingsKey, kPhoneTokenPrivateValue, 1))
        DebugTrace("[E] PhoneToken not stored (%d)\n", store.LastWriteError());
    return token;
}

// The stored token, or a new one stored in its place.
std::string PairingToken(SettingsStore& store) {
    std::string token = store.ReadRegString(kSettingsKey, kPhoneTokenValue).value_or("");
    return IsWellFormedToken(token) ? token : StoreNewToken(store);
}

// The page's secure address: the authority and the server's certificate kept under the
// user's profile, for this PC's addresses now. Without them the page is plain HTTP alone.
void StartPageTls(Program& program) {
    std::string folder = program.journalFolder.empty() ? JournalFolder() : program.journalFolder;
    std::string problem = "no folder for the certificates";
    auto identity = std::make_unique<TlsServerIdentity>();
    auto authority = folder.empty()
                         ? std::nullopt
                         : LoadPageIdentity(JoinPath(folder, "certs"), HostIPv4Addresses(),
                                            SecondsNow(), *identity, problem);
    if (!authority) {
        DebugTrace("[E] the page's TLS: %s\n", problem.c_str());
        program.pageIdentity.reset();
        return;
    }
    program.pageIdentity = std::move(identity);
    program.phoneScans->SetAuthority(*authority);
    program.webServer->UseTls(program.pageIdentity.get());
}

}  // namespace

void StartPhonePage(Program& program) {
    StopPhonePage(program);
    std::int32_t port = program.store->ReadRegDword(kSettingsKey, kWebPortValue);
    if (port == -1) port = kDefaultWebPort;
    if (port == 0) {
        program.webProblem = "desligada (\"WebPort\" é 0)";
        return;
    }
    if (port < 1 || port > 65535) {
        program.webProblem = "desligada: \"WebPort\" " + std::to_string(port) + " não é uma porta";
        return;
    }
    std::string token = PairingToken(*program.store);
    if (token.empty()) {
        program.webProblem = "desligada: o sistema não deu um número aleatório para o pareamento";
        return;
    }
    program.phoneScans = std::make_unique<PhoneScanService>(
        MainSinkOf(program), program.injector.get(), program.senderGate, PhonePageFiles());
    program.phoneScans->SetToken(token);
    program.phoneScans->SetPreferPix(program.settings.preferPix != 0);
    program.webServer = std::make_unique<WebServer>(*program.phoneScans);
    StartPageTls(program);
    std::string error;
    if (!program.webServer->Start(port, error)) {
        DebugTrace("[E] phone page: %s\n", error.c_str());
        program.webProblem = "desligada: " + error;
        program.webServer.reset();
        program.phoneScans.reset();
        return;
    }
    program.webPort = port;
    program.webProblem.clear();
}

void StopPhonePage(Program& program) {
    if (program.webServer) program.webServer->Stop();
    program.webServer.reset();
    program.pageIdentity.reset();  // after the server that uses it
    program.phoneScans.reset();
    program.webPort = 0;
}

bool PairedBeforeThisVersion(SettingsStore& store) {
    return store.RegValueExists(kSettingsKey, kPhoneTokenValue) &&
           store.ReadRegDword(kSettingsKey, kPhoneTokenPrivateValue) != 1;
}

bool NewPhonePairing(Program& program) {
    std::string token = StoreNewToken(*program.store);
    if (token.empty()) return false;
    if (program.phoneScans) program.phoneScans->SetToken(token);
    return true;
}
