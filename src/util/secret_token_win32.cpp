#include <windows.h>
#include <bcrypt.h>

#include "util/secret_token.h"

bool SystemRandomBytes(unsigned char* bytes, std::size_t count) {
    // The system's preferred generator, seeded and reseeded by the kernel.
    return BCryptGenRandom(nullptr, bytes, static_cast<ULONG>(count),
                           BCRYPT_USE_SYSTEM_PREFERRED_RNG) >= 0;
}
