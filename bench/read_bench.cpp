/*
 * read_bench.cpp - how much the tool adds to reading a module.
 *
 * A full read (the 19 queries of the four pages) against a simulated
 * module with no added latency, side by side with a raw request/reply loop
 * over a plain UDP socket sending the same 19 queries. Runs in a private
 * network of its own. Prints both times, their ratio and the tool's own
 * time per exchange.
 */
#include <algorithm>
#include <arpa/inet.h>
#include <cstdio>
#include <cstring>
#include <string>
#include <sys/socket.h>
#include <unistd.h>
#include <vector>

#include "discovery.h"
#include "link.h"
#include "module.h"
#include "netns.h"
#include "sim_runner.h"
#include "strutil.h"

namespace {

const char* const queries[] = {"AT+MID", "AT+WMODE", "AT+TMODE", "AT+WEBU", "AT+VER", "AT+UART",
                               "AT+UARTF", "AT+UARTFT", "AT+UARTFL", "AT+NETP", "AT+MAXSK", "AT+TCPTO",
                               "AT+WAP", "AT+WAKEY", "AT+LANN", "AT+DHCPGW", "AT+WSSSID", "AT+WSKEY",
                               "AT+WANN"};
const int exchanges = sizeof queries / sizeof queries[0];

bool link_up()
{
    u_socket = udpsocket = init_udp_socket();
    copy_text(module_ip, "127.0.0.2");
    copy_text(module_aswd, default_keyword);
    udp_add_r();
    char answer[ANSWER_MAX];
    udpsendn(module_aswd, static_cast<int>(std::strlen(module_aswd)));
    if (udprecvn(answer, sizeof answer) < 0)
        return false;
    udpsendn("+ok", 3);
    return true;
}

double tool_reads(int reads)
{
    long long t0 = monotonic_ms();
    for (int i = 0; i < reads; ++i) {
        init_module_mana_struct();
        init_module_comm_struct();
        init_module_ap_struct();
        init_module_sta_struct();
    }
    return static_cast<double>(monotonic_ms() - t0);
}

double raw_reads(int sock, int reads)
{
    sockaddr_in to{};
    make_address("127.0.0.2", KX_PORT, &to);
    char line[64], reply[128];
    long long t0 = monotonic_ms();
    for (int i = 0; i < reads; ++i)
        for (const char* q : queries) {
            size_t n = format_text(line, sizeof line, "%s\n", q);
            sendto(sock, line, n, 0, reinterpret_cast<sockaddr*>(&to), sizeof to);
            recv(sock, reply, sizeof reply, 0);
        }
    return static_cast<double>(monotonic_ms() - t0);
}

} // namespace

int main(int argc, char** argv)
{
    std::setvbuf(stdout, nullptr, _IOLBF, 0);
    std::string why;
    if (!enter_private_network(&why)) {
        std::fprintf(stderr, "read_bench: no private network: %s\n", why.c_str());
        return 2;
    }
    int reads = argc > 1 ? std::atoi(argv[1]) : 300;
    sim_process sim({"--module", "127.0.0.2"});
    if (!sim.ready() || !link_up()) {
        std::fprintf(stderr, "read_bench: the simulated module did not answer\n");
        return 1;
    }
    int raw = socket(AF_INET, SOCK_DGRAM, 0);
    tool_reads(20);
    raw_reads(raw, 20);

    /* Rounds alternate so that both sides see the same machine; the best
     * round of each counts. */
    std::vector<double> tool, plain;
    for (int round = 0; round < 5; ++round) {
        tool.push_back(tool_reads(reads));
        plain.push_back(raw_reads(raw, reads));
    }
    double t = *std::min_element(tool.begin(), tool.end());
    double r = *std::min_element(plain.begin(), plain.end());
    double per_exchange_us = (t - r) * 1000.0 / (static_cast<double>(reads) * exchanges);
    std::printf("full read, %d queries, best of 5 rounds of %d reads\n", exchanges, reads);
    std::printf("  tool: %.1f ms  (%.3f ms per read)\n", t, t / reads);
    std::printf("  raw:  %.1f ms  (%.3f ms per read)\n", r, r / reads);
    std::printf("  ratio tool/raw: %.2f   (target <= 1.20)\n", t / r);
    std::printf("  tool's own time per exchange: %.1f us   (target <= 1000 us)\n", per_exchange_us);
    close(raw);
    bool ok = t / r <= 1.2 && per_exchange_us <= 1000.0;
    std::printf("summary: read-settings against the raw loop, ratio %.2f, %.1f us own time per exchange"
                "  (targets <= 1.2, <= 1000 us) %s\n", t / r, per_exchange_us, ok ? "ok" : "FAIL");
    return ok ? 0 : 3;
}
