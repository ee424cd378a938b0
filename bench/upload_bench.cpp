/*
 * upload_bench.cpp - how close the firmware upload comes to its pacing
 * ceiling.
 *
 * A 1 MiB image goes to a simulated module in a private network of its
 * own, through the same code as "升级". The pacing allows one 4096-byte
 * datagram per 10 ms plus the time the send itself takes; the benchmark
 * measures the sends, computes that ceiling from them, and prints the
 * throughput beside it and the smallest gap between two image datagrams.
 */
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <string>
#include <sys/stat.h>
#include <vector>

#include "discovery.h"
#include "module.h"
#include "netns.h"
#include "sim_runner.h"
#include "strutil.h"
#include "upload.h"

namespace {

using clock_type = std::chrono::steady_clock;

/* The system's sockets, with the moment and length of every send. */
class timed_net : public system_net {
public:
    struct send {
        double start_us, end_us;
        int bytes;
    };
    std::vector<send> sends;

    int send_to(int sock, const void* data, int n, const sockaddr_in& to) override
    {
        double start = now_us();
        int r = system_net::send_to(sock, data, n, to);
        sends.push_back({start, now_us(), n});
        return r;
    }

private:
    static double now_us()
    {
        return std::chrono::duration<double, std::micro>(clock_type::now().time_since_epoch()).count();
    }
};

} // namespace

int main()
{
    std::setvbuf(stdout, nullptr, _IOLBF, 0);
    std::string why;
    if (!enter_private_network(&why)) {
        std::fprintf(stderr, "upload_bench: no private network: %s\n", why.c_str());
        return 2;
    }
    temp_file stored;
    sim_process sim({"--firmware", stored.path, "--module", "127.0.0.2"});
    timed_net net_timed;
    set_net(&net_timed);
    u_socket = udpsocket = init_udp_socket();
    if (!sim.ready() || udpsocket == 0)
        return 1;

    const int image_bytes = 1 << 20;
    std::string image(image_bytes, '\0');
    for (int i = 0; i < image_bytes; ++i)
        image[i] = static_cast<char>(i * 2654435761u >> 24);
    mkdir("data", 0755);
    std::string name = "upload_bench.bin";
    {
        stdio_file f(("data/" + name).c_str(), "wb");
        std::fwrite(image.data(), 1, image.size(), f.get());
    }
    copy_text(module_ip, "127.0.0.2");
    copy_text(module_aswd, default_keyword);
    int result = upload_firmware(name.c_str());
    std::remove(("data/" + name).c_str());
    if (result != UPLOAD_SENT) {
        std::fprintf(stderr, "upload_bench: the upload did not go through (%d)\n", result);
        return 1;
    }

    /* The image datagrams are the last image_bytes / 4096 + 1 sends. */
    size_t chunks = image_bytes / UPLOAD_CHUNK + 1;
    std::vector<timed_net::send> img(net_timed.sends.end() - static_cast<long>(chunks), net_timed.sends.end());
    double send_us = 0, min_gap_ms = 1e9;
    for (size_t i = 0; i < img.size(); ++i) {
        send_us += img[i].end_us - img[i].start_us;
        if (i > 0)
            min_gap_ms = std::min(min_gap_ms, (img[i].start_us - img[i - 1].start_us) / 1000.0);
    }
    send_us /= static_cast<double>(img.size());
    /* From the first image datagram to the end of the pause after the last
     * full one: the time the full chunks took. */
    double elapsed_s = (img.back().start_us - img.front().start_us) / 1e6;
    double throughput = static_cast<double>(image_bytes) / elapsed_s;
    double ceiling = UPLOAD_CHUNK / ((UPLOAD_PACE_MS * 1000.0 + send_us) / 1e6);
    std::printf("upload of %d bytes in %zu datagrams\n", image_bytes, chunks);
    std::printf("  throughput: %.1f KB/s\n", throughput / 1000.0);
    std::printf("  ceiling:    %.1f KB/s (4096 bytes per 10 ms + %.1f us to send)\n", ceiling / 1000.0, send_us);
    std::printf("  share of the ceiling: %.1f %%   (target >= 97 %%)\n", 100.0 * throughput / ceiling);
    std::printf("  smallest gap between image datagrams: %.3f ms   (target >= 10 ms)\n", min_gap_ms);
    sim_child& child = sim.child();
    child.stop();
    bool whole = stored.text() == image;
    std::printf("  image stored byte for byte: %s\n", whole ? "yes" : "NO");
    bool ok = throughput >= 0.97 * ceiling && min_gap_ms >= 10.0 && whole;
    std::printf("summary: upload throughput %.1f %% of the pacing ceiling, smallest gap %.2f ms"
                "  (targets >= 97 %%, >= 10 ms) %s\n", 100.0 * throughput / ceiling, min_gap_ms, ok ? "ok" : "FAIL");
    return ok ? 0 : 3;
}
