#pragma once

#include <cstddef>
#include <string>
#include <string_view>

// The 44-digit access key of an NF-e electronic invoice: its check digit and its
// punctuated form. A text that is not 44 characters long is held as the empty key.
class NfeAccessKey {
public:
    static constexpr std::size_t kLength = 44;

    explicit NfeAccessKey(std::string_view text);

    std::string_view Key() const { return {key, isEmpty ? 0 : kLength}; }

    // Digit 44 against the modulo-11 digit of digits 1-43; false for the empty key and
    // for a key with characters other than digits.
    bool CheckDigitOk() const;

    // "UF-AAMM-CNPJ-MO-SER-NNN.NNN.NNN-TCC.CCC.CCC-D", always 59 characters, or empty.
    std::string_view FormattedKey() const { return {formattedKey, isEmpty ? 0 : kFormattedLength}; }

private:
    static constexpr std::size_t kFormattedLength = 59;

    char key[kLength + 1] = {};
    bool isEmpty = true;
    char formattedKey[kFormattedLength];  // filled only for a key of the right length
};

// Whether a text is exactly 44 ASCII digits: only such a key may go into an address.
bool IsWellFormedNfeKey(std::string_view text);

// The portal page that shows the invoice of this key; the key goes in as received.
std::string NfeQueryAddress(std::string_view key);
