#include "reception/phone_scan_service.h"

#include <algorithm>

#include "codes/check_digits.h"
#include "util/debug_trace.h"
#include "util/json.h"
#include "util/secret_token.h"

namespace {

WebAnswer Plain(int status, const char* body) {
    WebAnswer answer;
    answer.status = status;
    answer.body = body;
    return answer;
}

}  // namespace

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
    Bucket& bucket = found->second;
    double seconds = std::chrono::duration<double>(now - bucket.updated).count();
    bucket.tokens = std::min(kBurst, bucket.tokens + std::max(0.0, seconds) * kPerSecond);
    bucket.updated = now;
    if (bucket.tokens < 1) return false;
    bucket.tokens -= 1;
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

bool PhoneScanService::Admit(std::uint32_t sender, WebAnswer& refusal) {
    bool firstRefusal = false;
    if (!gate.Admit(sender, firstRefusal)) {
        DebugTrace("Refused request from %s: not an allowed sender\n", FormatIPv4(sender).c_str());
        if (firstRefusal) sink.Refuse(sender);
        refusal = Plain(403, "sender");
        return false;
    }
    if (!limiter.Allow(sender, RateLimiter::Clock::now())) {
        refusal = Plain(429, "too many requests");
        return false;
    }
    return true;
}

WebAnswer PhoneScanService::Handle(const WebRequest& request) {
    if (request.method == "POST" && request.path == "/scan") return Scan(request);
    if (request.method == "GET" || request.method == "HEAD") {
        for (const WebAsset& asset : assets) {
            if (request.path == asset.path) {
                WebAnswer answer;
                answer.contentType = asset.contentType;
                answer.asset = &asset;
                return answer;
            }
        }
    }
    return Plain(404, "not found");
}

WebAnswer PhoneScanService::Scan(const WebRequest& request) {
    std::string expected = Token();
    if (!SecretsEqual(request.token, expected)) return Plain(403, "token");
    int kindByte = request.kind == "3" ? 3 : request.kind == "1" ? 1 : 0;
    if (kindByte == 0) return Plain(400, "kind");
    // A line end after the digits is the only slack: anything else is no scan.
    std::string_view code = request.body;
    while (!code.empty() && (code.back() == '\n' || code.back() == '\r'))
        code.remove_suffix(1);
    if (!IsFullCode(code)) return Plain(400, "code");

    CodeRecord record;
    {
        std::lock_guard lock(mutex);
        FillScanRecord(state, code, kindByte, request.sender, LocalNow(), record);
        phones[request.sender] = record.receivedAt;
    }
    gate.NoteAccepted(request.sender, record.receivedAt);
    DebugTrace("Scan from the page of %s\n", FormatIPv4(request.sender).c_str());
    if (injector) injector->TypeCode(record.code, record.kind);

    WebAnswer answer;
    answer.contentType = "application/json";
    answer.body = JsonObjectWriter()
                      .Add("code", record.code)
                      .Add("typeable", record.typeable)
                      .Add("value", record.value)
                      .Add("due", record.dueDate)
                      .Add("valid", record.checkDigitsValid)
                      .Finish();
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

std::string PhonePageAddress(const std::string& hostAddress, std::int32_t port,
                             const std::string& token) {
    return "http://" + hostAddress + ":" + std::to_string(port) + "/?t=" + token;
}
