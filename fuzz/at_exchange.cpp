/*
 * at_exchange.cpp - AT queries and settings against a network that plays
 * any datagrams, failures, stale readiness, other hosts, echoes and
 * time-outs on a virtual clock. Every exchange must end within its ten
 * seconds and a bounded number of network operations; a failure leaves
 * the caller's buffer alone; a success rests on one of the module's own
 * replies.
 *
 * Input, per exchange: 'G' (query) or 'S' (setting) or any byte (its low
 * bit), a byte for the buffer size, the command up to FUZZ_SEP, then the
 * network's events (fuzz_net.h).
 */
#include <cstring>
#include <string>

#include "discovery.h"
#include "fuzz_net.h"
#include "link.h"
#include "module.h"
#include "strutil.h"

namespace {

/* Network operations one exchange may use beyond those that took input:
 * the send, the look for stale datagrams, a last wait and receive; and as
 * many again for each time a query is sent again. */
enum { FREE_CALLS = 8, CALLS_PER_RESEND = 8, CALLS_PER_BYTE = 4 };

/* What module_send_cmd_get makes of a positive reply: its text after
 * "+ok" and one separator, without the four closing bytes. */
std::string value_of(const fuzz_net::delivery& d, size_t cap)
{
    std::string body = d.stored.substr(0, d.length - 4);
    std::string v = body.size() > 4 ? body.substr(4) : std::string();
    v = v.substr(0, std::strlen(v.c_str()));
    return v.substr(0, cap - 1);
}

void one_exchange(byte_cursor& in, fuzz_net& fn)
{
    uint8_t kind = in.byte();
    bool query = kind == 'G' || (kind != 'S' && (kind & 1));
    size_t cap = 1 + in.byte() % 128;
    /* The longest line that still gets its line feed; the callers send
     * at most 399 characters. */
    std::string cmd = in.payload(AT_LINE_MAX - 2);

    /* The buffer, with room past cap that must never be written. */
    char ret[256];
    std::memset(ret, 0x5a, sizeof ret);
    copy_text(ret, cap, "old");
    char before[sizeof ret];
    std::memcpy(before, ret, sizeof ret);

    const long long start = fn.now;
    const long calls = fn.calls;
    const int pauses = fn.pauses;
    const size_t consumed = in.consumed();
    const size_t sends = fn.sent.size();
    const size_t heard = fn.from_module.size();

    int r = query ? module_send_cmd_get(cmd.c_str(), ret, cap) : module_send_cmd_set(cmd.c_str());

    FUZZ_CHECK(r == 0 || r == 1);
    FUZZ_CHECK(module_silent == 0 || module_silent == 1);
    FUZZ_CHECK(fn.now - start <= AT_EXCHANGE_MS);
    const long resends = fn.sent.size() > sends ? static_cast<long>(fn.sent.size() - sends - 1) : 0;
    FUZZ_CHECK(fn.calls - calls <=
               FREE_CALLS + CALLS_PER_RESEND * resends + CALLS_PER_BYTE * static_cast<long>(in.consumed() - consumed));
    FUZZ_CHECK(fn.pauses - pauses <= AT_TRIES);
    /* The command and its line feed, whole in each datagram: a query
     * again while the module says nothing, a setting once. */
    FUZZ_CHECK(fn.sent.size() - sends <= static_cast<size_t>(query ? window_query_resend.tries : 1));
    std::string line = std::string(cmd.c_str()) + "\n";
    for (size_t i = sends; i < fn.sent.size(); ++i)
        FUZZ_CHECK(fn.sent[i] == line);
    if (r == 0) {
        FUZZ_CHECK(std::memcmp(ret, before, sizeof ret) == 0);
        return;
    }
    FUZZ_CHECK(module_silent == 0);
    FUZZ_CHECK(fn.from_module.size() > heard);
    if (query) {
        FUZZ_CHECK(terminated(ret, cap));
        FUZZ_CHECK(std::memcmp(ret + cap, before + cap, sizeof ret - cap) == 0);
        /* The value of one of the module's positive replies: one that
         * could be a copy of the last reply may be passed over for a
         * later one. */
        bool from_a_reply = false;
        for (size_t i = heard; i < fn.from_module.size(); ++i) {
            const fuzz_net::delivery& d = fn.from_module[i];
            from_a_reply = from_a_reply ||
                           (d.length > 4 && d.stored.compare(0, 3, "+ok") == 0 && value_of(d, cap) == ret);
        }
        FUZZ_CHECK(from_a_reply);
    } else {
        FUZZ_CHECK(std::memcmp(ret, before, sizeof ret) == 0);
        /* A bare "+ok" (line ends only), or the echo of "AT+E". */
        bool positive = false;
        for (size_t i = heard; i < fn.from_module.size(); ++i) {
            const fuzz_net::delivery& d = fn.from_module[i];
            const std::string& s = d.stored;
            bool bare = d.length >= 3 && s.size() == static_cast<size_t>(d.length)
                        && s.compare(0, 3, "+ok") == 0 && s.find_first_not_of("\r\n", 3) == std::string::npos;
            positive = positive || bare || s.compare(0, 4, "AT+E") == 0;
        }
        FUZZ_CHECK(positive);
    }
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***)
{
    quiet_stdout();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    byte_cursor in(data, size);
    fuzz_net fn(in);
    fuzz_link link(fn);
    for (int n = 0; n < 16 && in.more(); ++n)
        one_exchange(in, fn);
    return 0;
}
