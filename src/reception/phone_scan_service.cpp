#include "reception/phone_scan_service.h"

#include <algorithm>

#include "codes/check_digits.h"
#include "codes/pix_code.h"
#include "tls/trust_downloads.h"
#include "util/ascii_text.h"
#include "util/debug_trace.h"
#include "util/json.h"
#include "util/secret_token.h"

namespace {

// A coding's weight: 1 unless a "q" parameter says otherwise; "0", "0.0" and the like are
// 0, and so is anything without a non-zero digit.
bool WeightAboveZero(std::string_view parameters) {
    while (!parameters.empty()) {
        std::size_t end = parameters.find(';');
        std::string_view parameter = TrimSpaces(parameters.substr(0, end));
        parameters = end == std::string_view::npos ? "" : parameters.substr(end + 1);
        std::size_t equals = parameter.find('=');
        if (equals == std::string_view::npos ||
            !EqualsIgnoringCase(TrimSpaces(parameter.substr(0, equals)), "q"))
            continue;
        std::string_view value = TrimSpaces(parameter.substr(equals + 1));
        return value.find_first_of("123456789") != std::string_view::npos;
    }
    return true;
}

}  // namespace

WebAnswer PlainAnswer(int status, const char* body) {
    WebAnswer answer;
    answer.status = status;
    answer.body = body;
    return answer;
}

bool AcceptsGzip(std::string_view acceptEncoding) {
    int gzip = -1;  // unknown, no, yes
    int any = -1;
    while (!acceptEncoding.empty()) {
        std::size_t end = acceptEncoding.find(',');
        std::string_view element = acceptEncoding.substr(0, end);
        acceptEncoding = end == std::string_view::npos ? "" : acceptEncoding.substr(end + 1);
        std::size_t semicolon = element.find(';');
        std::string_view coding = TrimSpaces(element.substr(0, semicolon));
        std::string_view parameters =
            semicolon == std::string_view::npos ? "" : element.substr(semicolon + 1);
        if (EqualsIgnoringCase(coding, "gzip") || EqualsIgnoringCase(coding, "x-gzip"))
            gzip = WeightAboveZero(parameters);
        else if (coding == "*")
            any = WeightAboveZero(parameters);
    }
    return gzip >= 0 ? gzip == 1 : any == 1;
}

bool MatchesETag(std::string_view ifNoneMatch, std::string_view etag) {
    if (TrimSpaces(ifNoneMatch) == "*") return true;
    std::size_t at = 0;
    for (;;) {
        at = ifNoneMatch.find_first_not_of(" \t,", at);
        if (at == std::string_view::npos) return false;
        if (ifNoneMatch.substr(at, 2) == "W/") at += 2;
        if (at >= ifNoneMatch.size() || ifNoneMatch[at] != '"') return false;
        std::size_t close = ifNoneMatch.find('"', at + 1);
        if (close == std::string_view::npos) return false;
        if (ifNoneMatch.substr(at, close + 1 - at) == etag) return true;
        at = close + 1;
    }
}

bool RateLimiter::Allow(std::uint32_t address, Clock::time_point now) {
    std::lock_guard lock(mutex);
    auto found = buckets.find(address);
    if (found == buckets.end()) {
        if (buckets.size() >= kAddresses) {
            // Forged addresses must not grow the table: the longest idle one goes.
            auto idlest = std::min_element(buckets.begin(), buckets.end(), [](auto& a, auto& b) {
                return a.second.updated < b.second.updated;
            });
            buckets.erase(idlest);
        }
        found = buckets.emplace(address, Bucket{kBurst, now}).first;
    }
    // A refusal of the address takes nothing from the others' share.
    return found->second.Take(kBurst, kPerSecond, now) &&
           all.Take(kBurstInAll, kPerSecondInAll, now);
}

bool RateLimiter::Bucket::Take(double burst, double perSecond, Clock::time_point now) {
    double seconds = std::chrono::duration<double>(now - updated).count();
    tokens = std::min(burst, tokens + std::max(0.0, seconds) * perSecond);
    updated = now;
    if (tokens < 1) return false;
    tokens -= 1;
    return true;
}

PhoneScanService::PhoneScanService(ReceiverSink& receiverSink, KeyboardInjector* keyboardInjector,
                                   SenderGate& senderGate, std::vector<WebAsset> pageAssets)
    : sink(receiverSink),
      injector(keyboardInjector),
      gate(senderGate),
      assets(std::move(pageAssets)) {}

void PhoneScanService::SetToken(std::string newToken) {
    std::lock_guard lock(mutex);
    token = std::move(newToken);
}

std::string PhoneScanService::Token() const {
    std::lock_guard lock(mutex);
    return token;
}

bool PhoneScanService::AdmitSender(std::uint32_t sender, WebAnswer& refusal) {
    bool firstRefusal = false;
    if (gate.Admit(sender, firstRefusal)) return true;
    DebugTrace("Refused request from %s: not an allowed sender\n", FormatIPv4(sender).c_str());
    if (firstRefusal) sink.Refuse(sender);
    refusal = PlainAnswer(403, "sender");
    return false;
}

bool PhoneScanService::Admit(std::uint32_t sender, WebAnswer& refusal) {
    if (!AdmitSender(sender, refusal)) return false;
    if (!limiter.Allow(sender, RateLimiter::Clock::now())) {
        refusal = PlainAnswer(429, "too many requests");
        return false;
    }
    return true;
}

WebAnswer PhoneScanService::Handle(const WebRequest& request) {
    if (request.method == "POST" && request.path == "/nonce") return Nonce(request);
    if (request.method == "POST" && request.path == "/scan") return Scan(request);
    if (request.method == "GET" || request.method == "HEAD") {
        for (const TrustDownload& download : trustDownloads) {
            if (request.path != download.path) continue;
            WebAnswer answer = PlainAnswer(200, "");
            answer.contentType = download.contentType;
            answer.body = download.body;
            return answer;
        }
        for (const WebAsset& asset : assets) {
            if (request.path != asset.path) continue;
            if (!AcceptsGzip(request.acceptEncoding))
                return PlainAnswer(406,
                                   "This page is sent gzip-compressed only: ask with "
                                   "Accept-Encoding: gzip.");
            WebAnswer answer;
            answer.contentType = asset.contentType;
            answer.asset = &asset;
            // The page's own files change with the program: kept, but asked again each
            // time, which costs a 304 when they have not changed.
            answer.cacheControl =
                asset.immutable ? "public, max-age=31536000, immutable" : "no-cache";
            if (MatchesETag(request.ifNoneMatch, asset.etag)) answer.status = 304;
            return answer;
        }
    }
    return PlainAnswer(404, "not found");
}

WebAnswer PhoneScanService::Nonce(const WebRequest& request) {
    std::string nonce = nonces.Issue(request.sender, ScanNonces::Clock::now());
    if (nonce.empty()) return PlainAnswer(503, "no nonce");
    WebAnswer answer;
    answer.contentType = "application/json";
    // What the page sends of a slip that also carries a Pix QR code goes with the nonce:
    // a change in the configuration counts from the next scan.
    answer.body = JsonObjectWriter()
                      .Add("nonce", nonce)
                      .Add("preferPix", preferPix.load(std::memory_order_relaxed))
                      .Finish();
    return answer;
}

WebAnswer PhoneScanService::Scan(const WebRequest& request) {
    // The nonce goes first, whatever follows: a captured scan cannot be tried twice.
    if (!nonces.Take(request.nonce, request.sender, ScanNonces::Clock::now()))
        return PlainAnswer(403, "nonce");
    // A line end after the digits is the only slack: anything else is no scan.
    std::string_view code = request.body;
    while (!code.empty() && (code.back() == '\n' || code.back() == '\r'))
        code.remove_suffix(1);
    std::string expected = Token();
    if (expected.empty() ||
        !SecretsEqual(request.proof, ScanProof(expected, request.nonce, request.kind, code)))
        return PlainAnswer(403, "token");
    int kindByte = request.kind == "3"   ? 3
                   : request.kind == "1" ? 1
                   : request.kind == "P" ? kPixKindByte
                                         : 0;
    if (kindByte == 0) return PlainAnswer(400, "kind");
    // The page checks a Pix code's CRC before it sends it; what arrives is checked again.
    bool pix = kindByte == kPixKindByte;
    PixCode read = pix ? ReadPixCode(code) : PixCode{};
    if (pix ? !read.valid : !IsFullCode(code)) return PlainAnswer(400, "code");

    CodeRecord record;
    {
        std::lock_guard lock(mutex);
        FillScanRecord(state, code, kindByte, request.sender, LocalNow(), record);
        phones[request.sender] = record.receivedAt;
    }
    gate.NoteAccepted(request.sender, record.receivedAt);
    DebugTrace("Scan from the page of %s\n", FormatIPv4(request.sender).c_str());
    if (injector && injector->TypeOnArrival(record.code, record.kind))
        record.typedAt = record.receivedAt;

    WebAnswer answer;
    answer.contentType = "application/json";
    JsonObjectWriter json;
    if (pix) {
        json.AddUtf8("code", record.code)
            .Add("kind", "P")
            .AddUtf8("name", read.name)
            .AddUtf8("city", read.city);
    } else {
        json.Add("code", record.code).Add("typeable", record.typeable).Add("due", record.dueDate);
    }
    answer.body = json.Add("value", record.value).Add("valid", record.checkDigitsValid).Finish();
    sink.Deliver(std::move(record));
    return answer;
}

std::vector<PhoneScanService::Phone> PhoneScanService::Phones() const {
    std::lock_guard lock(mutex);
    std::vector<Phone> list;
    for (const auto& [address, at] : phones)
        list.push_back({address, at});
    return list;
}

void PhoneScanService::SetAuthority(std::string certificatePem) {
    trustDownloads.clear();
    if (!certificatePem.empty()) {
        trustDownloads.push_back(
            {kAuthorityDownloadPath, "application/x-x509-ca-cert", certificatePem});
        trustDownloads.push_back({kProfileDownloadPath, "application/x-apple-aspen-config",
                                  AuthorityProfile(certificatePem)});
    }
    authorityPem = std::move(certificatePem);
}

std::string PhonePageAddress(const std::string& hostAddress, std::int32_t port,
                             const std::string& token, bool secure) {
    return (secure ? "https://" : "http://") + hostAddress + ":" + std::to_string(port) +
           "/#t=" + token;
}
