/*
 * fuzz_net.h - a mediator whose every decision comes from the fuzz input,
 * on a virtual clock, so the AT exchange and the readers meet whatever a
 * network can do to them without a socket ever being opened.
 *
 * The input is read as events. Each wait takes the next event byte:
 *   'T' time-out (the whole wait passes)   'A' the wait is abandoned
 *   'W' b  b*20 ms pass first (a time-out once they exceed the wait)
 *   'M' datagram from the module: the bytes up to FUZZ_SEP
 *   'P' positive reply: "+ok=" bytes "\r\n\r\n" from the module
 *   'F' datagram from another host          'E' echo of the last send
 *   'X' failed receive                      'Y' failed receive, bytes kept
 *   'N' stale readiness: nothing to receive
 * and any other byte stands for one of these by its value. Outside a
 * wait, 'S' before a datagram event leaves that datagram waiting when the
 * link looks for stale ones, 'L' loses the next send and 'I' cuts the
 * next pause short. Once the input is used up every wait times out, so
 * every exchange has to end.
 */
#ifndef KX_FUZZ_NET_H
#define KX_FUZZ_NET_H

#include <string>
#include <vector>

#include "discovery.h"
#include "fuzz_util.h"
#include "link.h"
#include "module.h"
#include "netio.h"
#include "strutil.h"

class fuzz_net : public net_mediator {
public:
    static constexpr const char* module_host = "127.0.0.2";
    static constexpr const char* foreign_host = "127.0.0.9";

    explicit fuzz_net(byte_cursor& in) : in_(in) {}

    /* What the harnesses check against. */
    long long now = 0;
    long calls = 0;      /* every mediator operation but the clock */
    int pauses = 0;
    std::vector<std::string> sent;
    /* The module's datagrams handed to the program, as it got them. */
    struct delivery {
        std::string stored;
        int length;
    };
    std::vector<delivery> from_module;

    int open_udp(unsigned short, udp_open_error* err) override
    {
        ++calls;
        *err = UDP_OPEN_OK;
        return 7;
    }
    void close_udp(int) override { ++calls; }

    int send_to(int, const void* data, int n, const sockaddr_in& to) override
    {
        ++calls;
        if (address_unset(to))
            return -1;
        if (in_.peek() == 'L') {
            in_.byte();
            return -1;
        }
        sent.emplace_back(static_cast<const char*>(data), n);
        return n;
    }

    int recv_from(int, char* buf, int n, int* stored, sockaddr_in* from) override
    {
        ++calls;
        *stored = 0;
        if (!queued_)
            return RECV_NONE;
        queued_ = false;
        std::string bytes;
        bool foreign = false;
        switch (event_) {
        case 'M':
            bytes = payload_;
            break;
        case 'P':
            bytes = "+ok=" + payload_ + "\r\n\r\n";
            break;
        case 'F':
            bytes = payload_;
            foreign = true;
            break;
        case 'E':
            bytes = sent.empty() ? std::string() : sent.back();
            break;
        case 'X':
            set_from(from, module_host);
            return -1;
        case 'Y': {
            int keep = static_cast<int>(payload_.size()) < n ? static_cast<int>(payload_.size()) : n;
            std::memcpy(buf, payload_.data(), keep);
            *stored = keep;
            set_from(from, module_host);
            from_module.push_back({payload_.substr(0, keep), -1});
            return -1;
        }
        default:
            return RECV_NONE;
        }
        int len = static_cast<int>(bytes.size());
        int keep = len < n ? len : n;
        std::memcpy(buf, bytes.data(), keep);
        *stored = keep;
        set_from(from, foreign ? foreign_host : module_host);
        int result = len > n ? -1 : len;
        if (!foreign)
            from_module.push_back({bytes.substr(0, keep), result});
        return result;
    }

    int wait_readable(int, int timeout_ms) override
    {
        ++calls;
        if (queued_)
            return WAIT_READY;
        long long waited = 0;
        for (;;) {
            if (!in_.more())
                return time_out(timeout_ms);
            int e = event(in_.byte());
            if (e == 'W') {
                waited += 20LL * in_.byte();
                /* A datagram due at the very end of the wait still comes. */
                if (timeout_ms >= 0 && waited > timeout_ms)
                    return time_out(timeout_ms);
                continue;
            }
            if (e == 'T')
                return time_out(timeout_ms);
            if (e == 'A')
                return WAIT_ABANDONED;
            now += waited;
            queue(e);
            return WAIT_READY;
        }
    }

    bool has_datagram(int) override
    {
        ++calls;
        if (queued_)
            return true;
        if (in_.peek() != 'S')
            return false;
        in_.byte();
        int e = event(in_.byte());
        if (e == 'T' || e == 'W' || e == 'A')
            return false;
        queue(e);
        return true;
    }

    bool pause_ms(int ms) override
    {
        ++calls;
        ++pauses;
        if (in_.peek() == 'I') {
            in_.byte();
            return false;
        }
        now += ms;
        return true;
    }

    long long clock_ms() override { return now; }

private:
    static int event(uint8_t b)
    {
        static const char events[] = "TWMPFEXYNA";
        for (const char* e = events; *e != '\0'; ++e)
            if (b == static_cast<uint8_t>(*e))
                return b;
        return events[b % (sizeof events - 1)];
    }
    void queue(int e)
    {
        event_ = e;
        queued_ = true;
        payload_ = e == 'M' || e == 'P' || e == 'F' || e == 'Y' ? in_.payload(300) : std::string();
    }
    int time_out(int timeout_ms)
    {
        /* A wait without limit cannot time out; with nothing left to
         * play, the program is told it is closing instead. */
        if (timeout_ms < 0)
            return WAIT_ABANDONED;
        now += timeout_ms;
        return WAIT_TIMEOUT;
    }
    static void set_from(sockaddr_in* from, const char* host)
    {
        if (from != nullptr)
            make_address(host, KX_PORT, from);
    }

    byte_cursor& in_;
    bool queued_ = false;
    int event_ = 0;
    std::string payload_;
};

/* For its lifetime the program's network is fn, and the link is open to
 * the module at fuzz_net::module_host on a socket that is never real. */
class fuzz_link {
public:
    explicit fuzz_link(fuzz_net& fn)
    {
        set_net(&fn);
        udpsocket = 7;
        copy_text(module_ip, fuzz_net::module_host);
        udp_add_r();
    }
    ~fuzz_link()
    {
        udpsocket = 0;
        set_net(nullptr);
    }
    fuzz_link(const fuzz_link&) = delete;
    fuzz_link& operator=(const fuzz_link&) = delete;
};

#endif
