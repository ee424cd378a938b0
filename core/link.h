/*
 * link.h - the command link to one module: everything the program keeps
 * of it (address, pages, what its exchanges remember) and the primitives
 * every datagram of the link goes through, without any window.
 *
 * Only the module answers for the module: the datagrams on the one socket
 * are handed to the link of the module that sent them (udp_hub.h), and a
 * receive of the link waits for its own alone, with its own time-out. A
 * link ends when its settings window closes, another module is chosen or
 * the program is told to stop; from then on nothing is sent on it and its
 * waits end at once, until it is opened again.
 *
 * The window has one link, window_link; the globals it has always used
 * (addr_r here, module_ip, strMODMana, ... in module.h) are that link's
 * parts, and the functions without a link argument act on it.
 */
#ifndef KX_LINK_H
#define KX_LINK_H

#include <deque>
#include <string>

#include "module_records.h"
#include "netio.h"
#include "udp_hub.h"

/* ---- How an exchange waits ---- */

enum {
    AT_RECEIVE_MS = 2000,       /* longest wait for one datagram */
    AT_REPLY_MAX = 100          /* longest reply taken whole */
};

/* How often an exchange sends its command while nothing answers, and how
 * long it waits for an answer after each send. A command is sent again
 * only while the module has said nothing at all, so a refusal is never
 * repeated; a reply that was lost rather than the command means the module
 * runs it twice. An exchange lasts at most the longer of AT_EXCHANGE_MS and
 * tries * wait_ms. Once the module has answered, its next datagram is
 * awaited heard_wait_ms.
 *
 * With min_wait_ms below max_wait_ms the link learns its module's time to
 * answer (link.h) and waits that long, within those bounds; wait_ms is the
 * first guess. Otherwise every wait is wait_ms, as the window's are. */
struct at_resend {
    int tries;
    int wait_ms;
    int heard_wait_ms;
    int min_wait_ms = 0;
    int max_wait_ms = 0;

    bool learns() const { return min_wait_ms < max_wait_ms; }
};

/* The bounds of a learned wait. The lower one decides what a lost
 * datagram costs on a module that answers in a few milliseconds: with it
 * and the back-off, a loss costs tens of milliseconds rather than a whole
 * first guess, so that a fleet read on a lossy network costs little more
 * than on a clean one. It binds only while the learned spread is near
 * zero; a network or a machine whose times vary has a wait of its round
 * trip and four spreads above it. 10 ms is several LAN round trips; an
 * answer that comes later than that after all only costs one more
 * datagram, whose reply the ledger drops. The upper one keeps a silent
 * module's back-off within the window's own receive limit. */
enum { AT_LEARNED_MIN_MS = 10, AT_LEARNED_MAX_MS = AT_RECEIVE_MS };

/* The resend of a program that learns its modules' times: tries sends,
 * timeout_ms the first guess. */
at_resend learning_resend(int tries, int timeout_ms);

/* The window's: a query goes up to four times, half a second apart, since
 * a lost datagram is no dead module and asking twice costs nothing; a
 * setting goes once (the module would run it twice). Either way a silent
 * module ends an exchange within AT_RECEIVE_MS. */
const at_resend window_query_resend = {4, AT_RECEIVE_MS / 4, AT_RECEIVE_MS};
const at_resend window_setting_resend = {1, AT_RECEIVE_MS, AT_RECEIVE_MS};

/* How long the module takes to answer, as the link has learned it from
 * the exchanges whose command went once (a reply to a command sent twice
 * could answer either send): the smoothed round trip, its spread and the
 * wait they give, doubled on each silence until the next clean sample. */
struct rtt_estimate {
    int srtt_ms = -1; /* -1: no sample yet */
    int rttvar_ms = 0;
    int rto_ms = -1; /* -1: the first guess */
};

/* The replies the module may still owe. A command sent k times may be
 * answered k times, and a module or network that delivers datagrams twice
 * answers each send twice; one of them was taken. The others are copies
 * of it: awaited (until `until`) and dropped before the next command, and
 * never taken for the answer to a later one while they are owed. A copy
 * that comes when none is owed shows that replies come twice, and from
 * then on each send owes two. */
struct owed_reply {
    std::string text; /* the datagram taken, as stored */
    int sends = 0;    /* how often its command went */
    int expected = 0; /* datagrams like it that may come in all */
    int seen = 0;     /* of them, those that came */
    long long until = 0;
    int age = 0; /* exchanges since */
};

struct reply_ledger {
    enum { KEPT_EXCHANGES = 4 }; /* a copy later than this is not awaited */
    std::deque<owed_reply> replies; /* the last one taken at the back */
    bool last_taken = false;        /* the back is the last exchange's */
    bool copies_seen = false;
    unsigned serial = 0;            /* the link opening it belongs to */
};

/* Everything of one module: its address (port 48899), inbox and the state
 * the hub looks at are the hub's part of it (hub_slot). */
struct module_link : hub_slot {
    /* What the search said of the module. */
    char module_ip[20] = "";
    char module_mac[20] = "";
    char module_id[30] = "";
    char module_aswd[100] = "";

    module_pages pages{};

    /* The exchanges: how they resend, what the last one found. */
    at_resend query_resend = window_query_resend;
    at_resend setting_resend = window_setting_resend;
    int module_silent = 0;
    char module_last_refusal[AT_REPLY_MAX + 1] = "";
    rtt_estimate rtt;
    reply_ledger ledger;
    /* The "+ok" after a learning handshake is not known to have come: a
     * module that missed it ignores every command, so the first command's
     * resends carry it again until the module has said something. */
    bool link_unconfirmed = false;
    bool read_stopped = false; /* the page being read met a silence */

    /* The link's own state besides the hub's. */
    bool lent = false;           /* an upload has it (lent_link) */
    bool ended_while_lent = false;

    module_link() = default;
    module_link(const module_link&) = delete;
    module_link& operator=(const module_link&) = delete;
};

/* The window's one module. */
extern module_link window_link;
extern sockaddr_in& addr_r;

/* ---- Any link ---- */

/* Opens the link to the module at ip (its address text) with the keyword:
 * the address, and the link is open. A text that is no address prints one
 * line and leaves the address at 0.0.0.0, to which nothing is ever sent;
 * quiet says nothing. Returns whether the address was valid. */
bool link_open(module_link& l, bool quiet = false);

/* n bytes as one datagram to the module: n, or -1 (also when the link
 * has ended or has no address). */
int link_send(module_link& l, const char* data, int n);

/* The next datagram from the module within timeout_ms (WAIT_FOREVER: no
 * limit). Returns a receive_end; on RECEIVED, *length is the datagram's
 * length (-1 when it was longer than n: its first n bytes are in buf)
 * and *stored the bytes in buf. */
int link_receive(module_link& l, char* buf, int n, int timeout_ms, int* length, int* stored);

/* Lets ms milliseconds pass. Returns false when the link ended before or
 * during the pause: the caller sends nothing more. */
bool link_pause(module_link& l, int ms);

/* Drops the datagrams already waiting, so that a late answer to an earlier
 * command is never taken for the answer to the next one. */
void link_discard_pending(module_link& l);

/* As link_discard_pending, and each datagram dropped is also handed to
 * dropped. */
void link_discard_pending(module_link& l, std::deque<link_datagram>* dropped);

/* ---- What the link learns of its module's replies ---- */

/* The wait for an answer after a send, as r says (learned or fixed). */
int link_wait_ms(const module_link& l, const at_resend& r);
/* How long copies of a reply may still take after their send: the
 * learned round trip and spread, without the back-off (which is for
 * silences) and without the lower bound (which is for resends). */
int link_copy_wait_ms(const module_link& l, const at_resend& r);
/* A round trip of ms from an exchange whose command went once. */
void link_rtt_sample(module_link& l, const at_resend& r, int ms);
/* What every learning link of the program has learned is the first guess
 * of one without samples of its own (never above r.wait_ms): modules on
 * one network answer alike. Forgetting it is for tests. */
void forget_shared_rtt();
/* A wait ended in silence: the next wait is twice as long (within r). */
void link_back_off(module_link& l, const at_resend& r);

/* The datagram taken as the answer to a command sent sends times, the
 * last time at last_send_ms; or no answer taken. */
void link_took(module_link& l, const std::string& reply, int sends, long long last_send_ms, int wait_ms);
void link_took_nothing(module_link& l);

enum copy_kind { NOT_A_COPY = 0, A_COPY, MAYBE_A_COPY };
/* Whether the datagram d is a copy of the reply taken last; could_answer
 * tells that d would otherwise be the answer to the command in progress,
 * in which case a copy that was owed cannot be told from the answer. */
int link_copy_of_last(module_link& l, const std::string& d, bool could_answer);

/* Before a command goes out: the copies still owed are awaited (until
 * the ledger's time) and dropped, with anything else already there
 * (when drop_pending, or while copies are owed). */
void link_settle(module_link& l, bool drop_pending = true);

/* Ends the link: the wait or pause it is in ends now, and nothing more is
 * sent or awaited until it is opened again. Safe from any thread. */
void link_end(module_link& l);

/* For its lifetime the action has the link: its datagrams are its own
 * even between two waits, when a search runs beside it. */
class link_hold {
public:
    explicit link_hold(module_link& l);
    ~link_hold();
    link_hold(const link_hold&) = delete;
    link_hold& operator=(const link_hold&) = delete;

private:
    module_link& link_;
};

enum { HANDSHAKE_WAIT_MS = 1000 };

/* What the handshake tells its caller, each may be nullptr: after every
 * keyword sent, after every silent wait, and the answer's text. */
struct handshake_hooks {
    void (*sent)();
    void (*silent)();
    void (*answered)(const char* text);
};

/* The link's keyword to the module, then wait_ms for an answer, at most
 * tries times (0: without limit); on an answer "+ok" goes back and the
 * result is 1, with the answer in *answer when given. 0 when the tries ran
 * out, -1 when the link ended or the program is closing. */
int link_handshake(module_link& l, int tries, int wait_ms, std::string* answer,
                   const handshake_hooks& hooks = handshake_hooks{});
/* The same with r's tries and waits, learned when r learns. */
int link_handshake(module_link& l, const at_resend& r, std::string* answer,
                   const handshake_hooks& hooks = handshake_hooks{});

/* ---- The window's link ---- */

/* window_link opened to module_ip. */
void udp_add_r();
int udpsendn(const char* data, int n);
/* The next datagram from the module, waiting without limit: its length,
 * or -1 when it was longer than n (its first n bytes are in buf) or the
 * link ended. buf is not terminated. */
int udprecvn(char* buf, int n);
bool link_ended();
/* Ends the window's link (link_end(window_link), but for a lent link). */
void link_end();
/* As link_discard_pending(window_link). */
void link_discard_pending();

/* For its lifetime, the window's link goes to module_ip for an upload,
 * whatever settings window is linked: link_end does not end it, and
 * afterwards addr_r and the link's state are as they were (ended, if the
 * settings window closed meanwhile). */
class lent_link {
public:
    lent_link();
    ~lent_link();
    lent_link(const lent_link&) = delete;
    lent_link& operator=(const lent_link&) = delete;

private:
    sockaddr_in saved_addr_;
    bool saved_ended_;
};

/* The window's keyword handshake: tries waits of a second. */
int keyword_handshake(const char* keyword, int tries, const handshake_hooks& hooks);

#endif
