#pragma once

// The kind of firewall between the program and the vendor's servers. The number is what
// the "FirewallType" setting stores and the entry's place in the Options dialog's list; a
// stored number outside the list is kept as it is and names no kind.
enum class CFirewallType : int
{
    None = 0,
    Socks4 = 1,
    Socks5 = 2,
    Proxy = 3,  // an HTTP proxy
    Pipe = 4,   // an HTTP proxy through a CONNECT tunnel
};

constexpr int kFirewallTypeCount = 5;

constexpr bool IsFirewallType(CFirewallType type)
{
    return static_cast<int>(type) >= 0 && static_cast<int>(type) < kFirewallTypeCount;
}
