#pragma once

#include <cstddef>
#include <string>
#include <string_view>

#include "util/fixed_text.h"

// Name of the bank with this three-digit code, or "DESCONHECIDO"; in place (looked up for
// every slip), or as a string.
using BankNameText = FixedText<43>;
BankNameText LookUpBankName(std::string_view code);
std::string BankNameForCode(std::string_view code);

// The table's codes, for checks of the table itself.
std::size_t BankNameCount();
std::string_view BankCodeAt(std::size_t index);
