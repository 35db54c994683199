// Which of the PC's addresses get a search socket, and in which order. Only the pure choice
// is tested here, over invented interface snapshots; the live machine's list is not.

#include "protocol/local_ips.h"
#include "protocol/Unit_ProFun.h"

#include <gtest/gtest.h>
#include <net/if.h>

namespace r2 {
namespace {

constexpr unsigned Live = IFF_UP | IFF_RUNNING;
constexpr unsigned Loop = Live | IFF_LOOPBACK;

InterfaceAddress Entry(const char* name, unsigned index, unsigned flags, const char* ip) {
    return {name, index, flags, IPTextToInt(ip).value()};
}

const InterfaceAddress Lo = Entry("lo", 1, Loop, "127.0.0.1");

struct SelectCase {
    const char* what;
    std::vector<InterfaceAddress> entries;
    const char* defaultInterface;
    std::vector<std::string> expected;
};

TEST(SelectLocalIPs, FiltersAndOrders) {
    const SelectCase cases[] = {
        {"loopback left out when another address exists",
         {Lo, Entry("eth0", 2, Live, "192.168.0.10")},
         "eth0",
         {"192.168.0.10"}},
        {"loopback kept when nothing else exists", {Lo}, "", {"127.0.0.1"}},
        {"interfaces that are down or not running are left out",
         {Lo, Entry("eth0", 2, IFF_UP, "192.168.0.10"), Entry("eth1", 3, IFF_RUNNING, "10.1.0.10"),
          Entry("eth2", 4, Live, "10.2.0.10")},
         "",
         {"10.2.0.10"}},
        {"169.254/16 left out, its neighbours kept",
         {Entry("eth0", 2, Live, "169.254.3.4"), Entry("eth1", 3, Live, "169.253.0.1"),
          Entry("eth2", 4, Live, "169.255.0.1")},
         "",
         {"169.253.0.1", "169.255.0.1"}},
        {"only link-local besides loopback falls back to loopback",
         {Lo, Entry("eth0", 2, Live, "169.254.3.4")},
         "",
         {"127.0.0.1"}},
        {"default-route interface first, then by index",
         {Entry("docker0", 5, Live, "172.17.0.1"), Lo, Entry("wlan0", 3, Live, "192.168.1.20"),
          Entry("eth0", 2, Live, "10.1.0.10")},
         "wlan0",
         {"192.168.1.20", "10.1.0.10", "172.17.0.1"}},
        {"no default route: by index",
         {Entry("wlan0", 3, Live, "192.168.1.20"), Entry("eth0", 2, Live, "10.1.0.10")},
         "",
         {"10.1.0.10", "192.168.1.20"}},
        {"several addresses of one interface keep the system's order",
         {Entry("eth0", 2, Live, "192.168.0.20"), Entry("eth1", 3, Live, "10.0.0.5"),
          Entry("eth0", 2, Live, "192.168.0.10")},
         "eth1",
         {"10.0.0.5", "192.168.0.20", "192.168.0.10"}},
        {"an address on two interfaces is listed once",
         {Entry("eth0", 2, Live, "192.168.0.10"), Entry("br0", 4, Live, "192.168.0.10")},
         "",
         {"192.168.0.10"}},
        {"default route on an interface without IPv4 changes nothing",
         {Entry("eth1", 3, Live, "10.0.0.5"), Entry("eth0", 2, Live, "192.168.0.10")},
         "ppp0",
         {"192.168.0.10", "10.0.0.5"}},
        {"nothing usable", {Entry("eth0", 2, 0, "192.168.0.10")}, "", {}},
        {"no interfaces", {}, "", {}},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(SelectLocalIPs(c.entries, c.defaultInterface), c.expected) << c.what;
    }
}

constexpr const char* RouteTitles =
    "Iface\tDestination\tGateway \tFlags\tRefCnt\tUse\tMetric\tMask\t\tMTU\tWindow\tIRTT\n";

TEST(DefaultRouteInterface, ReadsTheRouteTable) {
    struct Case {
        const char* what;
        std::string rows;
        const char* iface;
    };
    const Case cases[] = {
        {"one default route",
         "eth0\t00000000\t0100A8C0\t0003\t0\t0\t100\t00000000\t0\t0\t0\n"
         "eth0\t0000A8C0\t00000000\t0001\t0\t0\t100\t00FFFFFF\t0\t0\t0\n",
         "eth0"},
        {"lowest metric wins",
         "wlan0\t00000000\t0101A8C0\t0003\t0\t0\t600\t00000000\t0\t0\t0\n"
         "eth0\t00000000\t0100A8C0\t0003\t0\t0\t100\t00000000\t0\t0\t0\n"
         "eth1\t00000000\t0100000A\t0003\t0\t0\t200\t00000000\t0\t0\t0\n",
         "eth0"},
        {"equal metrics keep the first",
         "eth1\t00000000\t0100000A\t0003\t0\t0\t0\t00000000\t0\t0\t0\n"
         "eth0\t00000000\t0100A8C0\t0003\t0\t0\t0\t00000000\t0\t0\t0\n",
         "eth1"},
        {"no default route", "eth0\t0000A8C0\t00000000\t0001\t0\t0\t100\t00FFFFFF\t0\t0\t0\n", ""},
        {"a default route that is not up is skipped",
         "eth0\t00000000\t0100A8C0\t0002\t0\t0\t0\t00000000\t0\t0\t0\n"
         "eth1\t00000000\t0100000A\t0003\t0\t0\t50\t00000000\t0\t0\t0\n",
         "eth1"},
        {"a zero destination with a mask is not a default route",
         "eth0\t00000000\t0100A8C0\t0003\t0\t0\t0\t000000FF\t0\t0\t0\n", ""},
        {"malformed rows are skipped",
         "garbage\n"
         "eth9\tzz\t0\t0003\t0\t0\t0\t00000000\n"
         "eth8\t00000000\t0\t0003\t0\t0\tx\t00000000\n"
         "eth0\t00000000\t0100A8C0\t0003\t0\t0\t100\t00000000\t0\t0\t0\n",
         "eth0"},
        {"titles only", "", ""},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(DefaultRouteInterface(RouteTitles + c.rows), c.iface) << c.what;
    }
    EXPECT_EQ(DefaultRouteInterface(""), "");
}

} // namespace
} // namespace r2
