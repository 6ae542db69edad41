// The phone page's side of reception: the pairing token, the limits and the scan path.

#include "reception/phone_scan_service.h"

#include <gtest/gtest.h>

#include <set>

#include "settings/memory_settings_store.h"
#include "test_doubles.h"
#include "util/secret_token.h"
#include "tls/digests.h"

namespace {

const char kToken[] = "0123456789abcdef0123456789abcdef";
const char kBank[] = "00191455700000110009956850418332600000624818";

std::uint32_t Address(const char* dotted) {
    std::uint32_t address = 0;
    ParseIPv4(dotted, address);
    return address;
}

class RefusalCountingSink : public CollectingSink {
public:
    void Refuse(std::uint32_t) override { ++refusals; }
    int refusals = 0;
};

class PhoneScanTest : public ::testing::Test {
protected:
    void SetUp() override { service.SetToken(kToken); }

    // A scan as the page posts it: a nonce asked for first, then the proof over it.
    WebRequest Signed(std::string body, std::string token = kToken, std::string kind = "1",
                      const char* sender = "192.168.0.20") {
        WebRequest ask;
        ask.method = "POST";
        ask.path = "/nonce";
        ask.sender = Address(sender);
        std::string nonceJson = service.Handle(ask).body;  // {"nonce":"..."}
        WebRequest request;
        request.method = "POST";
        request.path = "/scan";
        request.nonce = nonceJson.substr(10, 32);
        request.kind = std::move(kind);
        std::string_view code = body;
        while (!code.empty() && (code.back() == '\n' || code.back() == '\r'))
            code.remove_suffix(1);
        request.proof = ScanProof(token, request.nonce, request.kind, code);
        request.body = std::move(body);
        request.sender = Address(sender);
        return request;
    }
    WebAnswer Post(std::string body, std::string token = kToken, std::string kind = "1",
                   const char* sender = "192.168.0.20") {
        return service.Handle(Signed(std::move(body), std::move(token), std::move(kind), sender));
    }

    WebAnswer Get(const char* path, std::string acceptEncoding = "gzip, deflate",
                  std::string ifNoneMatch = "", const char* method = "GET") {
        WebRequest request;
        request.method = method;
        request.path = path;
        request.acceptEncoding = std::move(acceptEncoding);
        request.ifNoneMatch = std::move(ifNoneMatch);
        return service.Handle(request);
    }

    Settings settings;
    MemorySettingsStore store;
    RecordingTyper typer;
    KeyboardInjector injector{settings, store, typer};
    RefusalCountingSink sink;
    SenderGate gate;
    const unsigned char page[4] = {'<', 'p', '>', 0};
    PhoneScanService service{sink,
                             &injector,
                             gate,
                             {{"/", "text/html", page, 3, "\"0a1b\"", false},
                              {"/r.12ab.wasm", "application/wasm", page, 3, "\"2c3d\"", true}}};
};

}  // namespace

TEST(SecretToken, FreshHexAndComparedWhole) {
    std::set<std::string> seen;
    for (int i = 0; i < 50; ++i) {
        std::string token = NewSecretToken();
        ASSERT_TRUE(IsWellFormedToken(token)) << token;
        seen.insert(token);
    }
    EXPECT_EQ(seen.size(), 50u);
    EXPECT_TRUE(SecretsEqual(kToken, kToken));
    EXPECT_FALSE(SecretsEqual("", kToken));
    EXPECT_FALSE(SecretsEqual(std::string(kToken) + "0", kToken));
    EXPECT_FALSE(SecretsEqual(std::string(kToken, 31), kToken));
    EXPECT_FALSE(SecretsEqual("1123456789abcdef0123456789abcdef", kToken));
    EXPECT_FALSE(SecretsEqual("", ""));  // no token set: nothing is paired
    for (const char* malformed :
         {"", "0123456789abcdef0123456789abcde", "0123456789abcdef0123456789abcdeg",
          " 123456789abcdef0123456789abcdef"})
        EXPECT_FALSE(IsWellFormedToken(malformed)) << malformed;
}

TEST(RateLimiter, ABurstThenTheSteadyRatePerAddressAndInAll) {
    RateLimiter limiter;
    auto start = RateLimiter::Clock::now();
    int allowed = 0;
    for (int i = 0; i < 100; ++i)
        allowed += limiter.Allow(1, start);
    EXPECT_EQ(allowed, static_cast<int>(RateLimiter::kBurst));
    EXPECT_TRUE(limiter.Allow(2, start));  // another phone is not held back
    EXPECT_FALSE(limiter.Allow(1, start + std::chrono::milliseconds(100)));
    EXPECT_TRUE(limiter.Allow(1, start + std::chrono::milliseconds(250)));
    // Forged addresses: the table stays bounded and each new address still gets a burst,
    // within the steady rate of all of them together.
    auto later = start + std::chrono::seconds(10);
    for (std::uint32_t address = 100; address < 100 + 3 * RateLimiter::kAddresses; ++address)
        ASSERT_TRUE(limiter.Allow(address, later += std::chrono::milliseconds(5)));
    // At one moment, all of them together ask at most the burst of all.
    allowed = 0;
    for (std::uint32_t address = 10000; address < 11000; ++address)
        allowed += limiter.Allow(address, later + std::chrono::seconds(10));
    EXPECT_EQ(allowed, static_cast<int>(RateLimiter::kBurstInAll));
}

TEST_F(PhoneScanTest, AScanTakesTheDatagramsPath) {
    WebAnswer answer = Post(std::string(kBank) + "\r\n");
    EXPECT_EQ(answer.status, 200);
    EXPECT_EQ(answer.contentType, "application/json");
    EXPECT_NE(answer.body.find("\"value\":\"R$ 110,00\""), std::string::npos) << answer.body;
    auto records = sink.WaitFor(1);
    ASSERT_EQ(records.size(), 1u);
    EXPECT_EQ(records[0].code, kBank);
    EXPECT_EQ(records[0].kindLetter, "B");
    EXPECT_EQ(records[0].senderAddress, Address("192.168.0.20"));
    EXPECT_EQ(typer.Texts(),
              (std::vector<std::string>{"00199956875041833260200006248181145570000011000"}));
    EXPECT_EQ(gate.Seen().lastSender, Address("192.168.0.20"));
    ASSERT_EQ(service.Phones().size(), 1u);
    EXPECT_EQ(service.Phones()[0].address, Address("192.168.0.20"));

    // Kind 3: an NF-e key from a Code 128 barcode.
    EXPECT_EQ(Post("35200714200166000187550010000000046550000046", kToken, "3").status, 200);
    EXPECT_EQ(sink.WaitFor(2).at(1).kindLetter, "N");
}

// Kind P: a Pix code whose CRC holds, typed as it is, told back with its receiver; the
// nonce's answer carries the preference for a slip's Pix.
TEST_F(PhoneScanTest, APixScanIsCheckedAgainAndTheNonceTellsThePreference) {
    const std::string pix =
        "00020126580014br.gov.bcb.pix0136123e4567-e12b-12d1-a456-4266554400005204000053039865802"
        "BR5913Fulano de Tal6008BRASILIA62070503***63041D3D";
    WebAnswer answer = Post(pix, kToken, "P");
    EXPECT_EQ(answer.status, 200);
    EXPECT_NE(answer.body.find("\"kind\":\"P\",\"name\":\"Fulano de Tal\",\"city\":\"BRASILIA\""),
              std::string::npos)
        << answer.body;
    EXPECT_EQ(sink.WaitFor(1).at(0).kindLetter, "P");
    EXPECT_EQ(typer.Texts(), std::vector<std::string>{pix});
    std::string changed = pix;
    changed[changed.find("Fulano")] = 'P';
    EXPECT_EQ(Post(changed, kToken, "P").body, "code");  // the CRC no longer holds
    EXPECT_EQ(Post(kBank, kToken, "P").body, "code");
    EXPECT_EQ(Post(pix, kToken, "1").body, "code");
    EXPECT_EQ(typer.Texts().size(), 1u);

    WebRequest ask;
    ask.method = "POST";
    ask.path = "/nonce";
    EXPECT_NE(service.Handle(ask).body.find("\"preferPix\":false"), std::string::npos);
    service.SetPreferPix(true);
    EXPECT_NE(service.Handle(ask).body.find("\"preferPix\":true"), std::string::npos);
}

TEST_F(PhoneScanTest, NothingButAPairedWellFormedScanIsStored) {
    EXPECT_EQ(Post(kBank, "ffffffffffffffffffffffffffffffff").body, "token");
    EXPECT_EQ(Post(kBank, "").status, 403);
    EXPECT_EQ(Post(kBank, kToken, "2").status, 400);
    EXPECT_EQ(Post(kBank, kToken, "").status, 400);
    for (std::string body :
         {std::string(kBank).substr(1), std::string(kBank) + "0", std::string(kBank, 43) + "x",
          std::string(kBank) + " ", std::string(kBank) + "\n" + kBank, std::string(44, '\0'),
          std::string(), std::string(100000, '1')}) {
        EXPECT_EQ(Post(body).status, 400) << body.size();
    }
    // A new pairing: the old token no longer counts.
    service.SetToken("fedcba9876543210fedcba9876543210");
    EXPECT_EQ(Post(kBank).status, 403);
    EXPECT_TRUE(sink.WaitFor(0).empty());
    EXPECT_TRUE(typer.Texts().empty());
    EXPECT_TRUE(service.Phones().empty());
}

TEST(Sha256, KnownDigestsAndHmacs) {
    EXPECT_EQ(DigestHex(Sha256("abc")),
              "ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad");
    EXPECT_EQ(DigestHex(Sha256("abcdbcdecdefdefgefghfghighijhijkijkljklmklmnlmnomnopnopq")),
              "248d6a61d20638b8e5c026930c3e6039a33ce45964ff2167f6ecedd419db06c1");
    EXPECT_EQ(DigestHex(Sha256(std::string(1000000, 'a'))),
              "cdc76e5c9914fb9281a1c7e284d73e67f1809a48a497200e046d39ccc7112cd0");
    EXPECT_EQ(DigestHex(HmacSha256("Jefe", "what do ya want for nothing?")),
              "5bdcc146bf60754e6a042426089575c75a003f089d2739839dec58b964ec3843");
    EXPECT_EQ(DigestHex(HmacSha256(std::string(131, '\xaa'),
                                   "Test Using Larger Than Block-Size Key - Hash Key First")),
              "60e431591ee0b67f0d8a26aacbf5b77f8e0bc6213728c5140546040f0ee37f54");
}

// A scan captured on the network proves nothing a second time, nor for another code or
// from another address; the nonces stay a small table whoever asks for them.
TEST_F(PhoneScanTest, AProofServesOneScanFromItsAddressOnly) {
    WebRequest scan = Signed(kBank);
    EXPECT_EQ(service.Handle(scan).status, 200);
    EXPECT_EQ(service.Handle(scan).body, "nonce");
    WebRequest changed = Signed(kBank);
    changed.body = "00193373700000001000500940144816060680935031";
    EXPECT_EQ(service.Handle(changed).body, "token");
    EXPECT_EQ(service.Handle(changed).body, "nonce");
    WebRequest elsewhere = Signed(kBank);
    elsewhere.sender = Address("192.168.0.99");
    EXPECT_EQ(service.Handle(elsewhere).body, "nonce");
    WebRequest noProof = Signed(kBank);
    noProof.proof.clear();
    EXPECT_EQ(service.Handle(noProof).status, 403);
    EXPECT_EQ(sink.WaitFor(1).size(), 1u);
    EXPECT_EQ(typer.Texts().size(), 1u);

    ScanNonces nonces;
    auto start = ScanNonces::Clock::now();
    std::string first = nonces.Issue(1, start);
    for (int i = 0; i < 10; ++i)
        nonces.Issue(1, start);
    EXPECT_EQ(nonces.Count(), ScanNonces::kPerAddress);
    EXPECT_FALSE(nonces.Take(first, 1, start));  // the oldest of the address went
    for (std::uint32_t address = 100; address < 1100; ++address)
        nonces.Issue(address, start);
    EXPECT_EQ(nonces.Count(), ScanNonces::kTotal);
    std::string late = nonces.Issue(2, start);
    EXPECT_FALSE(nonces.Take(late, 2, start + ScanNonces::kLifetime));
    EXPECT_EQ(nonces.Count(), 0u);
}

TEST_F(PhoneScanTest, RoutesTheFilterAndTheLimitBeforeAnything) {
    WebRequest get;
    get.method = "GET";
    get.path = "/";
    get.acceptEncoding = "gzip";
    WebAnswer answer = service.Handle(get);
    EXPECT_EQ(answer.status, 200);
    ASSERT_NE(answer.asset, nullptr);
    EXPECT_EQ(answer.asset->size, 3u);
    for (auto [method, path] :
         {std::pair{"GET", "/app.js.map"}, std::pair{"GET", "/scan"}, std::pair{"POST", "/"},
          std::pair{"PUT", "/scan"}, std::pair{"GET", "/../etc/passwd"}}) {
        get.method = method;
        get.path = path;
        EXPECT_EQ(service.Handle(get).status, 404) << method << " " << path;
    }

    WebAnswer refusal;
    EXPECT_FALSE(service.Admit(Address("203.0.113.2"), refusal));
    EXPECT_EQ(refusal.status, 403);
    EXPECT_EQ(refusal.body, "sender");
    EXPECT_FALSE(service.Admit(Address("203.0.113.2"), refusal));
    EXPECT_EQ(sink.refusals, 1);  // one balloon per address
    int admitted = 0;
    for (int i = 0; i < 100; ++i)
        admitted += service.Admit(Address("192.168.0.30"), refusal);
    EXPECT_LT(admitted, 100);
    EXPECT_EQ(refusal.status, 429);
}

TEST_F(PhoneScanTest, FilesGoGzipToWhoTakesItAndThePageIsRevalidated) {
    WebAnswer first = Get("/");
    EXPECT_EQ(first.status, 200);
    EXPECT_STREQ(first.cacheControl, "no-cache");
    EXPECT_STREQ(Get("/r.12ab.wasm").cacheControl, "public, max-age=31536000, immutable");
    EXPECT_EQ(Get("/", "gzip", "", "HEAD").asset, first.asset);

    // A repeat visit: the tag it was given, alone, in a list, weak, or any.
    for (const char* tags : {"\"0a1b\"", "\"ffff\", \"0a1b\"", "W/\"0a1b\"", " * "}) {
        WebAnswer again = Get("/", "gzip", tags);
        EXPECT_EQ(again.status, 304) << tags;
        EXPECT_EQ(again.asset, first.asset) << tags;  // for its ETag, with no body
    }
    for (const char* tags : {"\"2c3d\"", "\"0a1b", "0a1b", "\"0a1\""})
        EXPECT_EQ(Get("/", "gzip", tags).status, 200) << tags;

    for (const char* takes : {"gzip, deflate", "deflate, GZIP;q=0.5", "*", "br;q=1, x-gzip",
                              "gzip; Q=1", "identity, *;q=0.1"})
        EXPECT_EQ(Get("/", takes).status, 200) << takes;
    for (const char* refuses : {"", "deflate, br", "gzip;q=0", "gzip; q=0.000, deflate", "*;q=0",
                                "gzip;q=0, *", "identity", "gzipped"}) {
        WebAnswer refused = Get("/", refuses);
        EXPECT_EQ(refused.status, 406) << refuses;
        EXPECT_EQ(refused.asset, nullptr);
        EXPECT_STREQ(refused.cacheControl, "no-store");
    }
    EXPECT_EQ(Get("/missing", "").status, 404);
}
