/* Zentory's build of mbedTLS: the server side of TLS 1.2 and 1.3 with ECDSA P-256
 * certificates, the making of the installation's own authority and server certificate,
 * and the SHA-256 and HMAC of the phone page's proof. Nothing else is compiled in. */
#ifndef ZENTORY_MBEDTLS_CONFIG_H
#define ZENTORY_MBEDTLS_CONFIG_H

/* The system: time for certificates' validity, its own random source. */
#define MBEDTLS_HAVE_TIME
#define MBEDTLS_HAVE_TIME_DATE
#define MBEDTLS_PLATFORM_C
#define MBEDTLS_ENTROPY_C
#define MBEDTLS_CTR_DRBG_C

/* Hashes and ciphers: what TLS_AES_128_GCM_SHA256, TLS_CHACHA20_POLY1305_SHA256 and their
 * TLS 1.2 counterparts with ECDHE-ECDSA need. */
#define MBEDTLS_MD_C
/* SHA-1 only for the certificates' key identifiers, as RFC 5280 makes them. */
#define MBEDTLS_SHA1_C
#define MBEDTLS_SHA224_C
#define MBEDTLS_SHA256_C
#define MBEDTLS_HKDF_C
#define MBEDTLS_CIPHER_C
#define MBEDTLS_AES_C
#define MBEDTLS_GCM_C
#define MBEDTLS_CHACHA20_C
#define MBEDTLS_POLY1305_C
#define MBEDTLS_CHACHAPOLY_C

/* Keys: P-256 only. */
#define MBEDTLS_BIGNUM_C
#define MBEDTLS_ECP_C
#define MBEDTLS_ECP_DP_SECP256R1_ENABLED
#define MBEDTLS_ECP_NIST_OPTIM
#define MBEDTLS_ECDH_C
#define MBEDTLS_ECDSA_C
#define MBEDTLS_PK_C
#define MBEDTLS_PK_PARSE_C
#define MBEDTLS_PK_WRITE_C

/* Certificates: read and written, in DER and PEM. */
#define MBEDTLS_ASN1_PARSE_C
#define MBEDTLS_ASN1_WRITE_C
#define MBEDTLS_OID_C
#define MBEDTLS_BASE64_C
#define MBEDTLS_PEM_PARSE_C
#define MBEDTLS_PEM_WRITE_C
#define MBEDTLS_X509_USE_C
#define MBEDTLS_X509_CRT_PARSE_C
#define MBEDTLS_X509_CREATE_C
#define MBEDTLS_X509_CRT_WRITE_C

/* TLS: a server only, 1.2 and 1.3, session tickets for a quick return. TLS 1.3 needs PSA's
 * crypto underneath. */
#define MBEDTLS_PSA_CRYPTO_C
#define MBEDTLS_SSL_TLS_C
#define MBEDTLS_SSL_SRV_C
#define MBEDTLS_SSL_PROTO_TLS1_2
#define MBEDTLS_SSL_PROTO_TLS1_3
#define MBEDTLS_SSL_TLS1_3_COMPATIBILITY_MODE
#define MBEDTLS_SSL_TLS1_3_KEY_EXCHANGE_MODE_EPHEMERAL_ENABLED
#define MBEDTLS_KEY_EXCHANGE_ECDHE_ECDSA_ENABLED
#define MBEDTLS_SSL_EXTENDED_MASTER_SECRET
#define MBEDTLS_SSL_SESSION_TICKETS
#define MBEDTLS_SSL_TICKET_C
/* TLS 1.3 in this version asks for it, though a server of ours never reads a client's. */
#define MBEDTLS_SSL_KEEP_PEER_CERTIFICATE

#endif /* ZENTORY_MBEDTLS_CONFIG_H */
