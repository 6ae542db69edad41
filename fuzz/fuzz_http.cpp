// Any bytes as what one connection sends to the phone page's server, through the server's
// parsing, the sender filter, the rate limit, the routes and the page's headers (encodings,
// entity tags, ranges): nothing may crash or read outside the request and the embedded
// files, and only a paired request with 44 digits may store a code.

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "reception/phone_scan_service.h"
#include "reception/web_server.h"

namespace {

const char kToken[] = "0123456789abcdef0123456789abcdef";

class CheckingSink : public ReceiverSink {
public:
    void ShowStatus(const std::string&) override {}
    void Deliver(CodeRecord record) override {
        if (record.code.size() != 44) std::abort();
        for (char c : record.code)
            if (c < '0' || c > '9') std::abort();
    }
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static CheckingSink sink;
    static SenderGate gate;
    static PhoneScanService* service = [] {
        auto* scans = new PhoneScanService(sink, nullptr, gate, PhonePageFiles());
        scans->SetToken(kToken);
        return scans;
    }();
    // A new sender each time, so that the rate limit does not answer every request.
    static unsigned counter = 0;
    ++counter;
    std::string sender =
        "192.168." + std::to_string((counter >> 8) & 0xFF) + "." + std::to_string(counter & 0xFF);
    ServeRawRequest(*service, std::string(reinterpret_cast<const char*>(data), size), sender);
    return 0;
}
