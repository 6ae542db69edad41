#include "reception/local_network_win32.h"

#include <cstddef>
#include <cwchar>
#include <string>
#include <utility>
#include <vector>

#include <winsock2.h>
#include <ws2tcpip.h>
#include <iphlpapi.h>
#include <windows.h>
#include <objbase.h>
#include <oleauto.h>
#include <netfw.h>

#include "util/ascii_text.h"

namespace {

const char kCannotTell[] = "não foi possível verificar";

// Windows-1252 whatever the system's code page, like every text of the program.
std::string ToCp1252(const wchar_t* text, int length) {
    if (text == nullptr || length <= 0) return {};
    const int size = WideCharToMultiByte(1252, 0, text, length, nullptr, 0, nullptr, nullptr);
    if (size <= 0) return {};
    std::string result(static_cast<std::size_t>(size), '\0');
    WideCharToMultiByte(1252, 0, text, length, result.data(), size, nullptr, nullptr);
    return result;
}

std::wstring FromCp1252(const std::string& text) {
    if (text.empty()) return {};
    const int length = static_cast<int>(text.size());
    const int size = MultiByteToWideChar(1252, 0, text.data(), length, nullptr, 0);
    if (size <= 0) return {};
    std::wstring result(static_cast<std::size_t>(size), L'\0');
    MultiByteToWideChar(1252, 0, text.data(), length, result.data(), size);
    return result;
}

std::wstring ExpandVariables(const std::wstring& text) {
    const DWORD size = ExpandEnvironmentStringsW(text.c_str(), nullptr, 0);
    if (size == 0) return text;
    std::wstring result(size, L'\0');
    const DWORD written = ExpandEnvironmentStringsW(text.c_str(), result.data(), size);
    if (written == 0 || written > size) return text;
    result.resize(written - 1);  // the count includes the terminator
    return result;
}

// A port of a rule's list: digits only, 1 to 65535; -1 otherwise.
int ParsePort(std::string_view text) {
    text = TrimSpaces(text);
    if (text.empty() || text.size() > 5) return -1;
    int value = 0;
    for (char c : text) {
        if (c < '0' || c > '9') return -1;
        value = value * 10 + (c - '0');
    }
    return value >= 1 && value <= 65535 ? value : -1;
}

bool ItemIncludes(std::string_view item, int port) {
    const std::string_view trimmed = TrimSpaces(item);
    if (trimmed == "*") return true;
    const std::size_t dash = trimmed.find('-');
    if (dash == std::string_view::npos) return ParsePort(trimmed) == port;
    const int low = ParsePort(trimmed.substr(0, dash));
    const int high = ParsePort(trimmed.substr(dash + 1));
    return low != -1 && high != -1 && low <= high && low <= port && port <= high;
}

// Whether `rule` lets in or keeps out UDP to the program on `port` on the profile `profile`.
bool RuleCovers(const FirewallRule& rule, long profile, const std::string& executablePath,
                int port) {
    if (!rule.enabled || !rule.inbound || (rule.profiles & profile) == 0) return false;
    if (rule.protocol == kProtocolUdp) {
        if (!PortListIncludes(rule.localPorts, port)) return false;
    } else if (rule.protocol != kProtocolAny) {
        return false;
    }
    // A rule for a service holds for that service's process only, never for this program.
    if (!rule.serviceName.empty() && rule.serviceName != "*") return false;
    return RuleApplicationMatches(rule.application, executablePath);
}

struct ProfileJudgement {
    bool allows;
    bool firewallOff;
    std::string reason;  // why it blocks
};

ProfileJudgement JudgeProfile(const FirewallState& state, long profile,
                              const FirewallProfile& settings, const std::string& executablePath,
                              int port) {
    if (!settings.enabled) return {true, true, {}};
    if (settings.blocksAllInbound)
        return {false, false, "todas as conexões de entrada estão bloqueadas"};
    // A block rule wins over every allow rule, as in the firewall itself.
    for (const FirewallRule& rule : state.rules) {
        if (!rule.allow && RuleCovers(rule, profile, executablePath, port))
            return {false, false, "a regra \"" + rule.name + "\" o bloqueia"};
    }
    for (const FirewallRule& rule : state.rules) {
        if (rule.allow && RuleCovers(rule, profile, executablePath, port)) return {true, false, {}};
    }
    return {false, false, "nenhuma regra de entrada o permite"};
}

// ---------------------------------------------------------------- COM

// Initialises COM for the thread when the caller has not; a thread already in another
// apartment (RPC_E_CHANGED_MODE) can use the firewall objects all the same.
class ComApartment {
public:
    ComApartment() : result(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED)) {}
    ~ComApartment() {
        if (SUCCEEDED(result)) CoUninitialize();  // S_FALSE too: every success is counted
    }
    ComApartment(const ComApartment&) = delete;
    ComApartment& operator=(const ComApartment&) = delete;
    bool Usable() const { return SUCCEEDED(result) || result == RPC_E_CHANGED_MODE; }

private:
    HRESULT result;
};

template <class Interface>
class ComRef {
public:
    ComRef() = default;
    ~ComRef() {
        if (pointer != nullptr) pointer->Release();
    }
    ComRef(const ComRef&) = delete;
    ComRef& operator=(const ComRef&) = delete;
    Interface* operator->() const { return pointer; }
    Interface* Get() const { return pointer; }
    Interface** Out() { return &pointer; }
    void** OutVoid() { return reinterpret_cast<void**>(&pointer); }

private:
    Interface* pointer = nullptr;
};

class Bstr {
public:
    Bstr() = default;
    ~Bstr() { SysFreeString(text); }
    Bstr(const Bstr&) = delete;
    Bstr& operator=(const Bstr&) = delete;
    BSTR* Out() { return &text; }
    std::string ToCp1252() const { return ::ToCp1252(text, static_cast<int>(SysStringLen(text))); }

private:
    BSTR text = nullptr;
};

// Copies what the judgement needs of one rule; false when the firewall refuses to tell.
// Rules that can never concern UDP in (outbound, disabled, other protocols) are left out.
bool ReadRule(INetFwRule* source, std::vector<FirewallRule>& rules) {
    FirewallRule rule;
    NET_FW_RULE_DIRECTION direction;
    VARIANT_BOOL enabled;
    if (FAILED(source->get_Direction(&direction)) || FAILED(source->get_Enabled(&enabled)) ||
        FAILED(source->get_Protocol(&rule.protocol)))
        return false;
    rule.inbound = direction == NET_FW_RULE_DIR_IN;
    rule.enabled = enabled != VARIANT_FALSE;
    if (!rule.inbound || !rule.enabled ||
        (rule.protocol != kProtocolUdp && rule.protocol != kProtocolAny))
        return true;

    Bstr name, application, service, ports;
    NET_FW_ACTION action;
    if (FAILED(source->get_Name(name.Out())) ||
        FAILED(source->get_ApplicationName(application.Out())) ||
        FAILED(source->get_ServiceName(service.Out())) || FAILED(source->get_Action(&action)) ||
        FAILED(source->get_Profiles(&rule.profiles)))
        return false;
    if (rule.protocol == kProtocolUdp) {
        if (FAILED(source->get_LocalPorts(ports.Out()))) return false;
        rule.localPorts = ports.ToCp1252();
        // A UDP rule without ports is shown by Windows as "Any".
        if (rule.localPorts.empty()) rule.localPorts = "*";
    }
    rule.name = name.ToCp1252();
    rule.application = application.ToCp1252();
    rule.serviceName = service.ToCp1252();
    rule.allow = action == NET_FW_ACTION_ALLOW;
    rules.push_back(std::move(rule));
    return true;
}

bool ReadRules(INetFwPolicy2* policy, std::vector<FirewallRule>& rules) {
    ComRef<INetFwRules> collection;
    ComRef<IUnknown> enumeratorObject;
    ComRef<IEnumVARIANT> enumerator;
    if (FAILED(policy->get_Rules(collection.Out())) ||
        FAILED(collection->get__NewEnum(enumeratorObject.Out())) ||
        FAILED(enumeratorObject->QueryInterface(__uuidof(IEnumVARIANT), enumerator.OutVoid())))
        return false;
    for (;;) {
        VARIANT item;
        VariantInit(&item);
        ULONG fetched = 0;
        const HRESULT next = enumerator->Next(1, &item, &fetched);
        if (next == S_FALSE || (next == S_OK && fetched == 0)) return true;
        if (FAILED(next)) return false;
        bool read = false;
        if (item.vt == VT_DISPATCH && item.pdispVal != nullptr) {
            ComRef<INetFwRule> rule;
            read = SUCCEEDED(item.pdispVal->QueryInterface(__uuidof(INetFwRule), rule.OutVoid())) &&
                   ReadRule(rule.Get(), rules);
        }
        VariantClear(&item);
        if (!read) return false;
    }
}

bool ReadProfile(INetFwPolicy2* policy, long profile, FirewallProfile& settings) {
    const auto type = static_cast<NET_FW_PROFILE_TYPE2>(profile);
    VARIANT_BOOL enabled, blocksAll;
    if (FAILED(policy->get_FirewallEnabled(type, &enabled)) ||
        FAILED(policy->get_BlockAllInboundTraffic(type, &blocksAll)))
        return false;
    settings.enabled = enabled != VARIANT_FALSE;
    settings.blocksAllInbound = blocksAll != VARIANT_FALSE;
    return true;
}

bool ReadFirewall(FirewallState& state) {
    ComRef<INetFwPolicy2> policy;
    if (FAILED(CoCreateInstance(__uuidof(NetFwPolicy2), nullptr, CLSCTX_INPROC_SERVER,
                                __uuidof(INetFwPolicy2), policy.OutVoid())) ||
        FAILED(policy->get_CurrentProfileTypes(&state.currentProfiles)))
        return false;
    bool anyEnabled = false;
    const struct {
        long bit;
        FirewallProfile* settings;
    } profiles[] = {{kProfileDomain, &state.domain},
                    {kProfilePrivate, &state.privateNetwork},
                    {kProfilePublic, &state.publicNetwork}};
    for (const auto& profile : profiles) {
        if ((state.currentProfiles & profile.bit) == 0) continue;
        if (!ReadProfile(policy.Get(), profile.bit, *profile.settings)) return false;
        anyEnabled = anyEnabled || profile.settings->enabled;
    }
    // With the firewall off everywhere the rules do not matter, and are not read.
    return !anyEnabled || ReadRules(policy.Get(), state.rules);
}

}  // namespace

std::vector<LocalAddress> LocalIPv4Addresses() {
    const ULONG flags = GAA_FLAG_SKIP_ANYCAST | GAA_FLAG_SKIP_MULTICAST | GAA_FLAG_SKIP_DNS_SERVER;
    ULONG size = 16 * 1024;
    std::vector<std::max_align_t> buffer;
    ULONG result = ERROR_BUFFER_OVERFLOW;
    // An adapter can appear between the two calls: the size asked for is tried a few times.
    for (int attempt = 0; attempt < 4 && result == ERROR_BUFFER_OVERFLOW; ++attempt) {
        buffer.resize(size / sizeof(std::max_align_t) + 1);
        result = GetAdaptersAddresses(
            AF_INET, flags, nullptr, reinterpret_cast<IP_ADAPTER_ADDRESSES*>(buffer.data()), &size);
    }
    if (result != NO_ERROR) return {};

    std::vector<LocalAddress> addresses;
    for (auto* adapter = reinterpret_cast<const IP_ADAPTER_ADDRESSES*>(buffer.data());
         adapter != nullptr; adapter = adapter->Next) {
        if (adapter->IfType == IF_TYPE_SOFTWARE_LOOPBACK || adapter->OperStatus != IfOperStatusUp)
            continue;
        const std::string adapterName =
            adapter->FriendlyName == nullptr
                ? std::string()
                : ToCp1252(adapter->FriendlyName, static_cast<int>(wcslen(adapter->FriendlyName)));
        for (auto* unicast = adapter->FirstUnicastAddress; unicast != nullptr;
             unicast = unicast->Next) {
            const SOCKADDR* socketAddress = unicast->Address.lpSockaddr;
            if (socketAddress == nullptr || socketAddress->sa_family != AF_INET) continue;
            const auto* ipv4 = reinterpret_cast<const sockaddr_in*>(socketAddress);
            const unsigned long value = ntohl(ipv4->sin_addr.s_addr);
            if ((value >> 24) == 127) continue;  // loopback, whatever adapter carries it
            addresses.push_back(
                {std::to_string((value >> 24) & 0xFF) + "." + std::to_string((value >> 16) & 0xFF) +
                     "." + std::to_string((value >> 8) & 0xFF) + "." + std::to_string(value & 0xFF),
                 adapterName});
        }
    }
    return addresses;
}

FirewallCheck CheckFirewallForUdp(const std::string& executablePath, int port) {
    ComApartment apartment;
    FirewallState state;
    if (!apartment.Usable() || !ReadFirewall(state)) return {FirewallVerdict::Unknown, kCannotTell};
    return JudgeFirewall(state, executablePath, port);
}

FirewallCheck JudgeFirewall(const FirewallState& state, const std::string& executablePath,
                            int port) {
    const struct {
        long bit;
        const FirewallProfile* settings;
        const char* name;
    } profiles[] = {{kProfileDomain, &state.domain, "de domínio"},
                    {kProfilePrivate, &state.privateNetwork, "privada"},
                    {kProfilePublic, &state.publicNetwork, "pública"}};
    int current = 0;
    for (const auto& profile : profiles)
        current += (state.currentProfiles & profile.bit) != 0;
    if (current == 0) return {FirewallVerdict::Unknown, kCannotTell};

    const std::string udp = "UDP na porta " + std::to_string(port);
    bool allOff = true;
    for (const auto& profile : profiles) {
        if ((state.currentProfiles & profile.bit) == 0) continue;
        const ProfileJudgement judgement =
            JudgeProfile(state, profile.bit, *profile.settings, executablePath, port);
        if (!judgement.allows) {
            // With several networks at once the user needs to know which one keeps the phone out.
            const std::string where = current > 1 ? std::string(" na rede ") + profile.name : "";
            return {FirewallVerdict::Blocks, "bloqueia " + udp + where + ": " + judgement.reason};
        }
        allOff = allOff && judgement.firewallOff;
    }
    return {FirewallVerdict::Allows, allOff ? "desativado" : "permite " + udp};
}

bool PortListIncludes(std::string_view ports, int port) {
    while (!ports.empty()) {
        const std::size_t comma = ports.find(',');
        if (ItemIncludes(ports.substr(0, comma), port)) return true;
        if (comma == std::string_view::npos) break;
        ports.remove_prefix(comma + 1);
    }
    return false;
}

bool RuleApplicationMatches(const std::string& ruleApplication, const std::string& executablePath) {
    if (ruleApplication.empty()) return true;
    const std::wstring rule = ExpandVariables(FromCp1252(ruleApplication));
    const std::wstring program = FromCp1252(executablePath);
    return !program.empty() &&
           CompareStringOrdinal(rule.c_str(), static_cast<int>(rule.size()), program.c_str(),
                                static_cast<int>(program.size()), TRUE) == CSTR_EQUAL;
}
