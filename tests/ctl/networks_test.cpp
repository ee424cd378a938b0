/*
 * networks_test.cpp - kxd40ctl's search in a plant's networks, built of
 * network namespaces joined by veth cables: a /22 whose broadcast must
 * reach all four /24s, a PC on two networks, and a subnet behind a router
 * that forwards no broadcast, which only a sweep finds.
 *
 *   this test (the PC)  10.1.0.1/22 ── plant   10.1.0.10 10.1.1.10 10.1.2.10 10.1.3.10
 *                       10.9.0.1/24 ── router  10.9.0.254, and a module at 10.9.0.20
 *                                        └──── 10.2.0.254/24 ── far  10.2.0.10-12
 */
#include <gtest/gtest.h>

#include <arpa/inet.h>
#include <cstdio>

#include "ctl_run.h"
#include "netns.h"
#include "sim_runner.h"

namespace {

struct plant_networks {
    side_network plant, router, far;
    bool built = false;

    plant_networks()
    {
        std::string p = std::to_string(plant.pid()), r = std::to_string(router.pid()),
                    f = std::to_string(far.pid());
        built = plant.ready() && router.ready() && far.ready() &&
                run_here("ip link add kxa0 type veth peer name eth0 netns " + p +
                         " && ip addr add 10.1.0.1/22 dev kxa0 && ip link set kxa0 up"
                         " && ip link add kxb0 type veth peer name eth0 netns " + r +
                         " && ip addr add 10.9.0.1/24 dev kxb0 && ip link set kxb0 up"
                         " && ip route add 10.2.0.0/24 via 10.9.0.254") &&
                plant.run("for a in 10.1.0.10 10.1.1.10 10.1.2.10 10.1.3.10; do ip addr add $a/22 dev eth0; done"
                          " && ip link set eth0 up") &&
                router.run("ip addr add 10.9.0.254/24 dev eth0 && ip addr add 10.9.0.20/24 dev eth0"
                           " && ip link set eth0 up && ip link add eth1 type veth peer name eth0 netns " + f +
                           " && ip addr add 10.2.0.254/24 dev eth1 && ip link set eth1 up"
                           " && sysctl -qw net.ipv4.ip_forward=1") &&
                far.run("for a in 10 11 12; do ip addr add 10.2.0.$a/24 dev eth0; done && ip link set eth0 up"
                        " && ip route add default via 10.2.0.254");
    }
    /* The cables' ends in the test's own network go now, not whenever
     * the namespaces are cleaned up: the next test sees loopback alone. */
    ~plant_networks() { run_here("ip link del kxa0 2>/dev/null; ip link del kxb0 2>/dev/null"); }
};

/* search's lines for the simulator's modules at these addresses: the MAC
 * ends in the address's last three bytes, the ID numbers its last two. */
std::string listed(const std::vector<std::string>& ips)
{
    std::string out;
    for (const std::string& ip : ips) {
        in_addr a{};
        inet_pton(AF_INET, ip.c_str(), &a);
        unsigned v = ntohl(a.s_addr);
        char line[80];
        std::snprintf(line, sizeof line, "%-15s  ACCF23%06X       KXD40-%04u\n", ip.c_str(), v & 0xffffffu,
                      (v & 0xffffu) % 10000u);
        out += line;
    }
    return out;
}

} // namespace

/* Each search told whole. The broadcast goes to the network's own
 * broadcast address, by its real netmask; a second --from adds its
 * network; a router forwards no broadcast, not even one addressed to the
 * far subnet, until it is told to; a sweep asks every address of the
 * blocks by unicast and leaves out the PC's own. A keyword the system
 * would not send (no route) fails the search: a module may be behind it. */
TEST(Networks, ABroadcastReachesItsWholeNetworkAndASweepWhatLiesBehindARouter)
{
    plant_networks net;
    ASSERT_TRUE(net.built);
    sim_process plant({"--broadcast", "10.1.3.255", "--module", "10.1.0.10", "--module", "10.1.1.10", "--module",
                       "10.1.2.10", "--module", "10.1.3.10"},
                      net.plant.path());
    sim_process router({"--broadcast", "10.9.0.255", "--module", "10.9.0.20"}, net.router.path());
    sim_process far({"--broadcast", "10.2.0.255", "--modules", "3", "--first", "10.2.0.10"}, net.far.path());
    ASSERT_TRUE(plant.ready() && router.ready() && far.ready());

    const std::string plant_lines = listed({"10.1.0.10", "10.1.1.10", "10.1.2.10", "10.1.3.10"}),
                      router_line = listed({"10.9.0.20"}), far_lines = listed({"10.2.0.10", "10.2.0.11", "10.2.0.12"});
    const std::string skipped = "kxd40ctl: 10.9.0.1 skipped: this machine's own address, not a module\n";
    struct row {
        std::vector<std::string> args;
        std::string told;
    } rows[] = {
        {{"search", "--from", "10.1.0.1"}, "0\n" + plant_lines + "--\n"},
        {{"search", "--from", "10.1.0.1", "--from", "10.9.0.1"}, "0\n" + plant_lines + router_line + "--\n"},
        {{"search", "--from", "10.1.0.1", "--broadcast", "10.9.0.255"}, "0\n" + plant_lines + router_line + "--\n"},
        {{"search", "--from", "10.9.0.1", "--broadcast", "10.2.0.255"}, "0\n" + router_line + "--\n"},
        {{"search", "--from", "10.1.0.1", "--broadcast", "10.8.0.255"},
         "1\n" + plant_lines + "--\nkxd40ctl: the keyword could not be sent to 10.8.0.255\n"},
        {{"search", "--sweep", "10.2.0.0/24", "10.9.0.0/24"}, "0\n" + far_lines + router_line + "--\n" + skipped},
        {{"search", "--sweep", "10.2.0.0/30", "--rate", "2"},
         "1\n--\nkxd40ctl: no module answered (the default keyword, no keyword file; sent to each of 2 addresses, "
         "2 a second)\n"},
    };
    for (const row& r : rows)
        EXPECT_EQ(whole(ctl(r.args)), r.told) << r.args.back();
    /* Told to, the router forwards a broadcast to its far subnet. */
    ASSERT_TRUE(net.router.run("sysctl -qw net.ipv4.conf.all.bc_forwarding=1 net.ipv4.conf.eth0.bc_forwarding=1"));
    EXPECT_EQ(whole(ctl({"search", "--from", "10.1.0.1", "--broadcast", "10.2.0.255"})),
              "0\n" + plant_lines + far_lines + "--\n");
}
