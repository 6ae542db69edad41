#include "history/selection_total.h"

#include <cstdio>
#include <limits>

namespace {

constexpr std::string_view kCurrency = "R$ ";
// More reais than any slip can carry, and few enough that no single value comes near the
// limits of the sum.
constexpr std::size_t kMostReaisDigits = 13;

bool IsDigit(char c) {
    return c >= '0' && c <= '9';
}

// The reais digits without their dots: all digits, or one to three digits and then groups of
// a dot and three digits. Empty when the text is neither.
std::string ReaisDigits(std::string_view reais) {
    std::string digits;
    std::size_t firstGroup = reais.find('.');
    if (firstGroup == std::string_view::npos) firstGroup = reais.size();
    if (firstGroup == 0 || (firstGroup > 3 && firstGroup != reais.size())) return {};
    for (std::size_t i = 0; i < reais.size(); ++i) {
        bool dotPlace = i >= firstGroup && (i - firstGroup) % 4 == 0;
        if (dotPlace ? reais[i] != '.' : !IsDigit(reais[i])) return {};
        if (!dotPlace) digits += reais[i];
    }
    if (firstGroup != reais.size() && (reais.size() - firstGroup) % 4 != 0) return {};
    return digits;
}

}  // namespace

std::optional<std::int64_t> ParseValueCentavos(std::string_view text) {
    if (text.substr(0, kCurrency.size()) != kCurrency) return std::nullopt;
    text.remove_prefix(kCurrency.size());
    std::size_t comma = text.find(',');
    if (comma == std::string_view::npos || text.size() - comma != 3) return std::nullopt;
    if (!IsDigit(text[comma + 1]) || !IsDigit(text[comma + 2])) return std::nullopt;
    std::string reais = ReaisDigits(text.substr(0, comma));
    if (reais.empty() || reais.size() > kMostReaisDigits) return std::nullopt;
    std::int64_t centavos = 0;
    for (char c : reais)
        centavos = centavos * 10 + (c - '0');
    return centavos * 100 + (text[comma + 1] - '0') * 10 + (text[comma + 2] - '0');
}

std::string FormatReais(std::int64_t centavos) {
    char digits[24];
    std::snprintf(digits, sizeof digits, "%03lld", static_cast<long long>(centavos));
    std::string_view all(digits);
    std::string_view reais = all.substr(0, all.size() - 2);
    std::string text(kCurrency);
    for (std::size_t i = 0; i < reais.size(); ++i) {
        if (i > 0 && (reais.size() - i) % 3 == 0) text += '.';
        text += reais[i];
    }
    text += ',';
    text += all.substr(all.size() - 2);
    return text;
}

void SelectionTotal::Add(const CodeRecord& record) {
    ++count;
    if (record.kind == CodeKind::NfeKey) return;
    centavos = AddCentavos(centavos, ParseValueCentavos(record.value).value_or(0));
}

std::int64_t AddCentavos(std::int64_t a, std::int64_t b) {
    constexpr std::int64_t kLargest = std::numeric_limits<std::int64_t>::max();
    return b > kLargest - a ? kLargest : a + b;
}

std::string SelectionTotal::StatusText() const {
    if (count < 2) return {};
    return std::to_string(count) + " selecionados: " + FormatReais(centavos);
}
