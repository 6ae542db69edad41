#pragma once

#include <atomic>
#include <chrono>
#include <cstddef>
#include <cstdint>
#include <map>
#include <mutex>
#include <string>
#include <string_view>
#include <vector>

#include "reception/receiver.h"
#include "reception/scan_nonces.h"
#include "reception/sender_filter.h"

// One file of the phone's page, embedded in the program gzip-compressed: the program has
// no decompressor, so only clients that take gzip get it.
struct WebAsset {
    const char* path;  // "/", "/app.0123456789ab.js", "/zxing_reader.0123456789ab.wasm", ...
    const char* contentType;
    const unsigned char* data;  // the gzip bytes
    std::size_t size;
    const char* etag;  // quoted, from the hash of `data`
    bool immutable;    // named by its content: cached for good, never revalidated
};

// The phone page's files as the program embeds them: the page, its script, the reader's
// worker, the barcode reader and its WebAssembly.
std::vector<WebAsset> PhonePageFiles();

// What the HTTP server hands over of a request, and what it sends back.
struct WebRequest {
    std::string method;  // "GET", "HEAD", "POST"
    std::string path;    // without the query
    std::string kind;    // the query's "k": "1" for a slip, "3" for an NF-e key, "P" for Pix
    std::string nonce;   // the query's "n": a nonce that POST /nonce gave
    std::string proof;   // the query's "p": ScanProof of the token, the nonce, the kind, the code
    std::string body;
    std::string acceptEncoding;  // the header's values, joined by commas
    std::string ifNoneMatch;     // likewise
    std::uint32_t sender = 0;    // network byte order
};

struct WebAnswer {
    int status = 200;
    std::string contentType = "text/plain; charset=utf-8";
    std::string body;
    // Set for a file's 200 (its bytes are sent instead of `body`) and 304 (no body).
    const WebAsset* asset = nullptr;
    const char* cacheControl = "no-store";
};

// A short text answer: a refusal, or a route's "not found".
WebAnswer PlainAnswer(int status, const char* body);

// Whether an Accept-Encoding value takes gzip: named with a q above 0, or not named and
// "*" is.
bool AcceptsGzip(std::string_view acceptEncoding);
// Whether an If-None-Match value names `etag` (weakly compared) or is "*".
bool MatchesETag(std::string_view ifNoneMatch, std::string_view etag);

// How often one address, and all of them together, may ask: a burst, then a steady rate.
// A phone sends a scan every few seconds; a first page load takes up to five requests.
class RateLimiter {
public:
    using Clock = std::chrono::steady_clock;
    static constexpr double kBurst = 20;
    static constexpr double kPerSecond = 5;
    static constexpr double kBurstInAll = 400;
    static constexpr double kPerSecondInAll = 200;
    static constexpr std::size_t kAddresses = 1024;  // remembered at most

    bool Allow(std::uint32_t address, Clock::time_point now);

private:
    struct Bucket {
        double tokens;
        Clock::time_point updated;
        // Fills the bucket for the time since its last use; false when it is empty.
        bool Take(double burst, double perSecond, Clock::time_point now);
    };
    std::mutex mutex;
    std::map<std::uint32_t, Bucket> buckets;
    Bucket all{kBurstInAll, {}};
};

// "http://192.168.0.10:6667/#t=TOKEN": what the phone opens. A browser sends nothing of
// what follows "#", not even in its Referer. `secure`: the same page over TLS on the same
// port, "https://...", for a phone that trusts this PC's authority.
std::string PhonePageAddress(const std::string& hostAddress, std::int32_t port,
                             const std::string& token, bool secure = false);

// The phone page's side of reception: the page's files, and scans that the page posts.
// The pairing secret never travels: for each scan the page asks for a nonce (POST /nonce)
// and posts the code with the HMAC-SHA256 of the nonce, the kind and the code, keyed with
// the secret (POST /scan?k=KIND&n=NONCE&p=PROOF). A nonce serves one scan, so a scan
// captured on the network and sent again is refused. An accepted scan takes the
// datagram's path from the sender filter on: interpretation, typing, the sink. Safe to
// call from several server threads at once.
class PhoneScanService {
public:
    PhoneScanService(ReceiverSink& sink, KeyboardInjector* injector, SenderGate& gate,
                     std::vector<WebAsset> assets);

    // Whether the page sends the Pix code rather than the barcode of a slip that carries
    // both ("PreferPix").
    void SetPreferPix(bool prefer) { preferPix.store(prefer, std::memory_order_relaxed); }

    // The pairing token that scans must carry; a new one unpairs every phone at once.
    void SetToken(std::string token);
    // The installation's authority, which the page offers phones to download and trust
    // (its certificate alone). Set before the server starts; none: no downloads.
    void SetAuthority(std::string certificatePem);
    const std::string& Authority() const { return authorityPem; }
    std::string Token() const;

    // The sender filter, as a connection comes: a refused sender gets its answer here,
    // and is counted and told of as for a datagram.
    bool AdmitSender(std::uint32_t sender, WebAnswer& refusal);
    // The sender filter (which may have changed since the connection came) and the rate
    // limit, before a request's body is read; a refused request gets its answer here.
    bool Admit(std::uint32_t sender, WebAnswer& refusal);
    // The answer to an admitted request.
    WebAnswer Handle(const WebRequest& request);

    // The phones that sent scans through the page, with the time of their last scan.
    struct Phone {
        std::uint32_t address;
        std::string lastScanAt;
    };
    std::vector<Phone> Phones() const;

private:
    WebAnswer Nonce(const WebRequest& request);
    WebAnswer Scan(const WebRequest& request);

    ReceiverSink& sink;
    KeyboardInjector* injector;
    SenderGate& gate;
    const std::vector<WebAsset> assets;
    std::string authorityPem;
    // The authority's certificate and an iPhone's profile of it, made once.
    struct TrustDownload {
        const char* path;
        const char* contentType;
        std::string body;
    };
    std::vector<TrustDownload> trustDownloads;
    RateLimiter limiter;
    ScanNonces nonces;
    std::atomic<bool> preferPix{false};

    mutable std::mutex mutex;  // the token, the scan state, the phones
    std::string token;
    ReceiverState state;
    std::map<std::uint32_t, std::string> phones;
};

// The longest body a scan may have: a Pix code of kMaxPixBytes and room for a line end.
inline constexpr std::size_t kScanBodyLimit = 1024;
