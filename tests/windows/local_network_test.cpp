// The addresses and the firewall verdict shown to the user who connects the phone: the
// judgement on plain rules, and the real adapters and firewall of the Wine prefix.

#include "reception/local_network_win32.h"

#include <gtest/gtest.h>
#include <windows.h>
#include <objbase.h>

#include <cstddef>
#include <cstdio>
#include <string>
#include <thread>
#include <utility>
#include <vector>

namespace {

const char kProgram[] = "C:\\Program Files\\Zentory\\zentory.exe";

FirewallRule AllowProgram() {
    FirewallRule rule;
    rule.name = "Zentory";
    rule.application = kProgram;
    rule.protocol = kProtocolUdp;
    rule.localPorts = "6666";
    return rule;
}

FirewallState PrivateNetworkWith(std::vector<FirewallRule> rules) {
    FirewallState state;
    state.currentProfiles = kProfilePrivate;
    state.rules = std::move(rules);
    return state;
}

FirewallVerdict Verdict(const FirewallState& state) {
    return JudgeFirewall(state, kProgram, 6666).verdict;
}

}  // namespace

TEST(PortListTest, PortsRangesAndAny) {
    EXPECT_TRUE(PortListIncludes("*", 6666));
    EXPECT_TRUE(PortListIncludes("6666", 6666));
    EXPECT_TRUE(PortListIncludes(" 6666 ", 6666));
    EXPECT_TRUE(PortListIncludes("6666,7000-7010", 7000));
    EXPECT_TRUE(PortListIncludes("6666,7000-7010", 7010));
    EXPECT_TRUE(PortListIncludes("6000 - 7000, 8000", 6666));
    EXPECT_FALSE(PortListIncludes("6666,7000-7010", 6999));
    EXPECT_FALSE(PortListIncludes("6666,7000-7010", 7011));
    EXPECT_FALSE(PortListIncludes("66666", 6666));
    EXPECT_FALSE(PortListIncludes("666", 6666));
}

TEST(PortListTest, MalformedItemsHoldNothingButSpoilNoOtherItem) {
    EXPECT_FALSE(PortListIncludes("", 6666));
    EXPECT_FALSE(PortListIncludes("abc", 6666));
    EXPECT_FALSE(PortListIncludes("70000", 70000));
    EXPECT_FALSE(PortListIncludes("70000", 4464));  // 70000 wrapped into 16 bits
    EXPECT_FALSE(PortListIncludes("10-5", 7));
    EXPECT_FALSE(PortListIncludes("6666-", 6666));
    EXPECT_TRUE(PortListIncludes("abc,6666", 6666));
    EXPECT_TRUE(PortListIncludes(",,6666,", 6666));
}

TEST(RuleApplicationTest, SameFileWhateverTheCaseOrVariables) {
    EXPECT_TRUE(RuleApplicationMatches("", kProgram));
    EXPECT_TRUE(RuleApplicationMatches(kProgram, kProgram));
    EXPECT_TRUE(RuleApplicationMatches("c:\\program files\\zentory\\ZENTORY.EXE", kProgram));
    EXPECT_TRUE(
        RuleApplicationMatches("C:\\Aplicações\\zentory.exe", "c:\\APLICAÇÕES\\Zentory.exe"));
    char root[MAX_PATH] = {};
    ASSERT_GT(GetEnvironmentVariableA("SystemRoot", root, MAX_PATH), 0u);
    EXPECT_TRUE(
        RuleApplicationMatches("%SystemRoot%\\zentory.exe", std::string(root) + "\\zentory.exe"));

    EXPECT_FALSE(RuleApplicationMatches("C:\\Program Files\\Zentory\\zentory-cli.exe", kProgram));
    EXPECT_FALSE(RuleApplicationMatches(kProgram, std::string(kProgram) + ".old"));
    EXPECT_FALSE(RuleApplicationMatches(kProgram, ""));
}

TEST(FirewallJudgementTest, AllowRulesThatFitThePortProgramAndProfile) {
    EXPECT_EQ(JudgeFirewall(PrivateNetworkWith({AllowProgram()}), kProgram, 6666).text,
              "permite UDP na porta 6666");
    FirewallRule anyProgramAnyProtocol;
    anyProgramAnyProtocol.localPorts = "";  // ports do not apply to every protocol
    EXPECT_EQ(Verdict(PrivateNetworkWith({anyProgramAnyProtocol})), FirewallVerdict::Allows);

    const FirewallCheck none = JudgeFirewall(PrivateNetworkWith({}), kProgram, 6666);
    EXPECT_EQ(none.verdict, FirewallVerdict::Blocks);
    EXPECT_EQ(none.text, "bloqueia UDP na porta 6666: nenhuma regra de entrada o permite");

    std::vector<FirewallRule> misfits(7, AllowProgram());
    misfits[0].enabled = false;
    misfits[1].inbound = false;
    misfits[2].protocol = 6;  // TCP
    misfits[3].localPorts = "7000-7010";
    misfits[4].application = "C:\\Outro\\programa.exe";
    misfits[5].profiles = kProfileDomain | kProfilePublic;
    misfits[6].serviceName = "Dnscache";
    for (std::size_t i = 0; i < misfits.size(); ++i)
        EXPECT_EQ(Verdict(PrivateNetworkWith({misfits[i]})), FirewallVerdict::Blocks) << i;
}

TEST(FirewallJudgementTest, BlockingWinsOverAllowing) {
    FirewallRule block = AllowProgram();
    block.allow = false;
    block.name = "Bloquear Zentory";
    block.localPorts = "*";
    const FirewallCheck check =
        JudgeFirewall(PrivateNetworkWith({AllowProgram(), block}), kProgram, 6666);
    EXPECT_EQ(check.verdict, FirewallVerdict::Blocks);
    EXPECT_EQ(check.text, "bloqueia UDP na porta 6666: a regra \"Bloquear Zentory\" o bloqueia");

    FirewallState blockAll = PrivateNetworkWith({AllowProgram()});
    blockAll.privateNetwork.blocksAllInbound = true;
    EXPECT_EQ(Verdict(blockAll), FirewallVerdict::Blocks);
}

TEST(FirewallJudgementTest, EveryCurrentProfileMustLetTheCodesIn) {
    FirewallState off = PrivateNetworkWith({});
    off.privateNetwork.enabled = false;
    EXPECT_EQ(JudgeFirewall(off, kProgram, 6666).text, "desativado");
    EXPECT_EQ(Verdict(off), FirewallVerdict::Allows);

    FirewallState twoNetworks = off;  // the public one has its firewall on, with no rule
    twoNetworks.currentProfiles = kProfilePrivate | kProfilePublic;
    EXPECT_EQ(JudgeFirewall(twoNetworks, kProgram, 6666).text,
              "bloqueia UDP na porta 6666 na rede pública: nenhuma regra de entrada o permite");
    twoNetworks.rules.push_back(AllowProgram());
    EXPECT_EQ(JudgeFirewall(twoNetworks, kProgram, 6666).text, "permite UDP na porta 6666");

    FirewallState noNetwork = PrivateNetworkWith({AllowProgram()});
    noNetwork.currentProfiles = 0;
    EXPECT_EQ(JudgeFirewall(noNetwork, kProgram, 6666).text, "não foi possível verificar");
}

TEST(LocalNetworkTest, AddressesAreDottedAndNotLoopback) {
    for (const LocalAddress& local : LocalIPv4Addresses()) {
        std::printf("address %s on \"%s\"\n", local.address.c_str(), local.adapterName.c_str());
        unsigned parts[4];
        char rest;
        ASSERT_EQ(std::sscanf(local.address.c_str(), "%u.%u.%u.%u%c", &parts[0], &parts[1],
                              &parts[2], &parts[3], &rest),
                  4)
            << local.address;
        for (unsigned part : parts)
            EXPECT_LE(part, 255u) << local.address;
        EXPECT_NE(parts[0], 127u) << local.address;
    }
}

TEST(LocalNetworkTest, FirewallAnswersInAnyComApartmentAndLeavesItAsItWas) {
    const std::string program = "C:\\windows\\zentory.exe";
    FirewallCheck checks[3];
    HRESULT afterwards[3] = {};
    // No COM yet: the check must undo its own initialisation.
    std::thread([&] {
        checks[0] = CheckFirewallForUdp(program, 6666);
        afterwards[0] = CoInitializeEx(nullptr, COINIT_MULTITHREADED);
        CoUninitialize();
    }).join();
    // Single-threaded apartment, as after OleInitialize; then the other kind.
    const DWORD kinds[2] = {COINIT_APARTMENTTHREADED, COINIT_MULTITHREADED};
    for (int i = 1; i < 3; ++i) {
        std::thread([&] {
            CoInitializeEx(nullptr, kinds[i - 1]);
            checks[i] = CheckFirewallForUdp(program, 6666);
            afterwards[i] = CoInitializeEx(nullptr, kinds[i - 1]);  // S_FALSE: still there
            CoUninitialize();
            CoUninitialize();
        }).join();
    }
    EXPECT_EQ(afterwards[0], S_OK);
    EXPECT_EQ(afterwards[1], S_FALSE);
    EXPECT_EQ(afterwards[2], S_FALSE);
    for (const FirewallCheck& check : checks) {
        std::printf("firewall: %d \"%s\"\n", static_cast<int>(check.verdict), check.text.c_str());
        EXPECT_EQ(check.verdict, checks[0].verdict);
        if (check.verdict == FirewallVerdict::Unknown)
            EXPECT_EQ(check.text, "não foi possível verificar");
        else
            EXPECT_FALSE(check.text.empty());
    }
}
