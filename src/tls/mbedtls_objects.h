#pragma once

// mbedTLS's objects as C++ owns them: made ready on construction, freed on destruction.
// For the TLS sources alone.

#include <mbedtls/ctr_drbg.h>
#include <mbedtls/entropy.h>
#include <mbedtls/pk.h>
#include <mbedtls/x509_crt.h>

#include <string>

// The system's random source through a deterministic generator, for keys, serial numbers,
// signatures and the server's handshakes. `Fill` is the generator function that mbedTLS
// takes, with the Random as its context.
class Random {
public:
    explicit Random(const char* personal) {
        mbedtls_entropy_init(&entropy);
        mbedtls_ctr_drbg_init(&generator);
        ready = mbedtls_ctr_drbg_seed(&generator, mbedtls_entropy_func, &entropy,
                                      reinterpret_cast<const unsigned char*>(personal),
                                      std::char_traits<char>::length(personal)) == 0;
    }
    ~Random() {
        mbedtls_ctr_drbg_free(&generator);
        mbedtls_entropy_free(&entropy);
    }
    Random(const Random&) = delete;
    Random& operator=(const Random&) = delete;

    bool Ready() const { return ready; }
    static int Fill(void* self, unsigned char* output, size_t length) {
        return mbedtls_ctr_drbg_random(&static_cast<Random*>(self)->generator, output, length);
    }

private:
    mbedtls_entropy_context entropy;
    mbedtls_ctr_drbg_context generator;
    bool ready = false;
};

struct Key {
    Key() { mbedtls_pk_init(&pk); }
    ~Key() { mbedtls_pk_free(&pk); }
    Key(const Key&) = delete;
    Key& operator=(const Key&) = delete;
    // A private key in PEM (the length counts its terminating zero).
    bool Read(const std::string& pem, Random& random) {
        return mbedtls_pk_parse_key(&pk, reinterpret_cast<const unsigned char*>(pem.c_str()),
                                    pem.size() + 1, nullptr, 0, Random::Fill, &random) == 0;
    }
    mbedtls_pk_context pk;
};

// A certificate, or a chain of them read one after another.
struct Certificate {
    Certificate() { mbedtls_x509_crt_init(&crt); }
    ~Certificate() { mbedtls_x509_crt_free(&crt); }
    Certificate(const Certificate&) = delete;
    Certificate& operator=(const Certificate&) = delete;
    // A certificate in PEM, added to the chain (the length counts its terminating zero).
    bool Read(const std::string& pem) {
        return mbedtls_x509_crt_parse(&crt, reinterpret_cast<const unsigned char*>(pem.c_str()),
                                      pem.size() + 1) == 0;
    }
    mbedtls_x509_crt crt;
};
