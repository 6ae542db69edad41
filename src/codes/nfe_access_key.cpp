#include "codes/nfe_access_key.h"

#include <algorithm>

#include "codes/check_digits.h"
#include "codes/contacts.h"

NfeAccessKey::NfeAccessKey(std::string_view text) {
    if (text.size() != kLength) return;
    std::copy(text.begin(), text.end(), key);
    isEmpty = false;

    // Groups: state, year and month, the issuer's CNPJ (NN.NNN.NNN/NNNN-NN), model,
    // series, number, emission type with numeric code, check digit. Each '#' takes
    // the next digit of the key.
    static constexpr std::string_view kPattern =
        "##-####-##.###.###/####-##-##-###-###.###.###-###.###.###-#";
    static_assert(kPattern.size() == kFormattedLength);
    std::size_t next = 0;
    for (std::size_t i = 0; i < kFormattedLength; ++i)
        formattedKey[i] = kPattern[i] == '#' ? key[next++] : kPattern[i];
}

bool NfeAccessKey::CheckDigitOk() const {
    if (isEmpty || !AllDigits(Key())) return false;
    return key[43] == DigitChar(Mod11CheckDigit(Key(), 43));
}

bool IsWellFormedNfeKey(std::string_view text) {
    return IsFullCode(text);
}

std::string NfeQueryAddress(std::string_view key) {
    std::string address = "http://";
    address += kNfePortalHost;
    address += "/portal/FormularioDePesquisa.aspx?tipoConsulta=completa&chaveAcesso=";
    address += key;
    return address;
}
