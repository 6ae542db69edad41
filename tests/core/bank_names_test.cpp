#include "codes/bank_names.h"

#include <gtest/gtest.h>

#include <iterator>
#include <set>
#include <sstream>
#include <string>

#include "codes/bank_slip.h"

TEST(BankNames, TheTableHoldsTheFirstCodesAmongTheCurrentOnesInOrder) {
    // The codes the program has always named; the institutions registered since come
    // between them.
    const char kFirstCodes[] =
        "000 001 002 003 004 007 008 021 022 024 025 027 028 029 030 031 033 034 035 036 037 "
        "038 039 040 041 042 044 047 048 070 104 106 107 109 116 148 151 168 175 184 200 201 "
        "204 205 206 208 210 211 212 213 214 215 216 217 218 219 221 222 224 225 228 229 230 "
        "231 232 233 234 235 237 241 242 243 244 246 247 249 250 252 254 258 262 263 265 266 "
        "275 291 294 300 304 318 320 341 347 351 353 356 366 370 375 376 389 392 394 399 409 "
        "412 415 422 424 453 456 464 472 473 477 479 480 487 488 489 492 493 494 495 496 498 "
        "502 505 600 602 604 607 610 611 612 613 618 623 625 626 630 633 634 637 638 641 643 "
        "650 653 654 655 656 658 702 707 719 720 721 722 725 729 733 734 735 737 738 739 740 "
        "741 742 743 744 745 746 747 748 749 750 751 752 753 755 756 757";
    std::istringstream firstCodes(kFirstCodes);
    std::set<std::string> first(std::istream_iterator<std::string>(firstCodes), {});
    ASSERT_EQ(first.size(), 184u);
    std::string previous;
    std::size_t firstFound = 0;
    for (std::size_t index = 0; index < BankNameCount(); ++index) {
        std::string code(BankCodeAt(index));
        EXPECT_GT(code, previous);
        previous = code;
        firstFound += first.count(code);
        std::string name = BankNameForCode(code);
        EXPECT_FALSE(name.empty()) << code;
        EXPECT_LE(name.size(), 43u) << code;
        for (char c : name)
            EXPECT_TRUE(c >= 0x20 && c < 0x7F) << code << ": " << name;
    }
    EXPECT_EQ(firstFound, 184u);
    EXPECT_EQ(BankNameCount(), 606u);
}

TEST(BankNames, Lookup) {
    EXPECT_EQ(BankNameForCode("001"), "Banco do Brasil S.A.");
    EXPECT_EQ(BankNameForCode("000"), "Banco Bankpar S.A.");
    EXPECT_EQ(BankNameForCode("757"), "Banco KEB Hana do Brasil S.A.");
    EXPECT_EQ(BankNameForCode("077"), "Banco Inter S.A.");
    EXPECT_EQ(BankNameForCode("260"), "Nu Pagamentos S.A. - IP");
    EXPECT_EQ(BankNameForCode("461"), "Asaas Gestao Financeira IP S.A.");
    for (const char* unknown : {"999", "005", "00", "0011", "", "75a", "\0\0\0"}) {
        EXPECT_EQ(BankNameForCode(unknown), "DESCONHECIDO") << unknown;
    }
}

TEST(BankNames, SlipsOfInstitutionsRegisteredSince) {
    const std::pair<const char*, const char*> slips[] = {
        {"46191987600000123451234567890123456789012345", "Asaas Gestao Financeira IP S.A."},
        {"48196987600000123451234567890123456789012345", "Superlogica SCD S.A."}};
    for (auto [code, name] : slips) {
        BankSlip slip(code);
        ASSERT_TRUE(slip.CheckDigitOk()) << code;
        EXPECT_EQ(slip.BankName(), name);
        std::string summary = slip.SummaryText({2026, 12, 7});
        EXPECT_EQ(summary.substr(summary.size() - std::string(name).size()), name);
    }
}
