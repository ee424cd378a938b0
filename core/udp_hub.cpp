/*
 * udp_hub.cpp - handing each datagram of the one socket to its owner.
 *
 * One lock guards the table of links and the search, and each slot's
 * guard its inbox; the hub's lock is taken first when both are. Neither is
 * held across a wait on the network, only across a condition wait, which
 * releases it.
 */
#include "udp_hub.h"

#include <algorithm>
#include <chrono>
#include <memory>
#include <mutex>
#include <thread>
#include <unordered_map>
#include <vector>


int u_socket = 0;
int udpsocket = 0;

hub_slot::~hub_slot() { hub_detach(*this); }

namespace {

enum {
    KEEP_BYTES = 2048,  /* kept of one datagram; a module's are far shorter */
    INBOX_MAX = 256,    /* datagrams one owner may have waiting */
    PUMP_BATCH = 64,    /* datagrams taken off the socket at once */
    /* How soon a stopped receiver notices: the socket layer has no way to
     * wake a wait from outside, and a program ends only once it has. */
    RECEIVER_POLL_MS = 10
};

std::mutex lock;

/* Never destroyed: the window's link and the search's are globals of other
 * files whose destructors detach them at exit, in an order between files
 * that nothing fixes; the lock's destruction does nothing. */
std::vector<hub_slot*>& linked()
{
    static auto* table = new std::vector<hub_slot*>;
    return *table;
}

/* The same links by the address each was attached with, each list in
 * the order attached: a datagram finds its link without a look at every
 * other (kxd40ctl has a thousand at once). An address changed behind the
 * hub's back (lent_link) is still found by the scan that follows a miss. */
struct host_index {
    std::unordered_map<in_addr_t, std::vector<hub_slot*>> links;
    std::unordered_map<const hub_slot*, in_addr_t> key;
};

host_index& by_host()
{
    static auto* index = new host_index;
    return *index;
}

void unindex(hub_slot& l)
{
    host_index& x = by_host();
    auto k = x.key.find(&l);
    if (k == x.key.end())
        return;
    std::vector<hub_slot*>& list = x.links[k->second];
    list.erase(std::remove(list.begin(), list.end(), &l), list.end());
    if (list.empty())
        x.links.erase(k->second);
    x.key.erase(k);
}

void index(hub_slot& l)
{
    host_index& x = by_host();
    x.key[&l] = l.addr_r.sin_addr.s_addr;
    x.links[l.addr_r.sin_addr.s_addr].push_back(&l);
}

hub_slot* search = nullptr;
unsigned long unowned = 0;

std::thread receiver;
std::atomic<bool> receiving{false};
std::atomic<bool> stop_receiver{false};

/* Whether l may have a datagram from from now. A link that is neither
 * held nor waiting yields to a search: its module's answer to the search
 * is the search's. */
bool owns(const hub_slot* l, const sockaddr_in& from)
{
    return !address_unset(l->addr_r) && same_host(l->addr_r, from)
           && (search == nullptr || l->held > 0 || l->active > 0);
}

/* The link of the module at from that may have this datagram now, or
 * the search (nullptr when none runs). */
hub_slot* owner_of(const sockaddr_in& from)
{
    auto at = by_host().links.find(from.sin_addr.s_addr);
    if (at != by_host().links.end())
        for (hub_slot* l : at->second)
            if (owns(l, from))
                return l;
    for (hub_slot* l : linked())
        if (owns(l, from))
            return l;
    return search;
}

/* Under the hub's lock, which keeps l from being detached meanwhile. */
void put(hub_slot& l, link_datagram d)
{
    {
        std::lock_guard<std::mutex> g(l.guard);
        if (l.inbox.size() >= INBOX_MAX)
            l.inbox.pop_front();
        l.inbox.push_back(std::move(d));
    }
    l.arrived.notify_all();
}

/* Hands one datagram on. A failed receive tells only the search
 * something: that the network is not quiet. Under the lock. */
void hand_on(const datagram_slot& d)
{
    hub_slot* to = d.length >= 0 || d.stored > 0 ? owner_of(d.from) : search;
    if (to == nullptr) {
        ++unowned;
        return;
    }
    put(*to, link_datagram{std::string(d.buf, static_cast<size_t>(d.stored)), d.length});
}

/* Takes what is waiting on the socket, a batch at once (a burst of search
 * answers must leave the receive buffer faster than it fills), and hands
 * it on. Returns how many datagrams it took. */
int pump()
{
    /* On the heap, and only in threads that pump: a thread's own
     * variables are cleared for every thread the program starts. */
    thread_local std::unique_ptr<char[]> room;
    if (!room)
        room.reset(new char[PUMP_BATCH * KEEP_BYTES]);
    datagram_slot batch[PUMP_BATCH];
    for (int i = 0; i < PUMP_BATCH; ++i)
        batch[i] = {room.get() + i * KEEP_BYTES, KEEP_BYTES, 0, 0, {}};
    int got = net().recv_batch(udpsocket, batch, PUMP_BATCH);
    if (got <= 0)
        return 0;
    std::lock_guard<std::mutex> g(lock);
    for (int i = 0; i < got; ++i)
        hand_on(batch[i]);
    return got;
}

void clear_inbox(hub_slot& l)
{
    std::lock_guard<std::mutex> g(l.guard);
    l.inbox.clear();
}

/* Under l's guard. */
bool pop(hub_slot& l, link_datagram* out)
{
    if (l.inbox.empty())
        return false;
    *out = std::move(l.inbox.front());
    l.inbox.pop_front();
    return true;
}

int left_until(long long deadline)
{
    if (deadline < 0)
        return WAIT_FOREVER;
    long long left = deadline - net().clock_ms();
    return left > 0 ? static_cast<int>(left) : 0;
}

/* Waits on l's inbox until something is there, l ends, or the deadline;
 * g holds l's guard. */
void wait_inbox(hub_slot& l, std::unique_lock<std::mutex>& g, long long deadline)
{
    ++l.active;
    auto ready = [&] { return l.ended || !l.inbox.empty(); };
    if (deadline < 0)
        l.arrived.wait(g, ready);
    else
        l.arrived.wait_for(g, std::chrono::milliseconds(left_until(deadline)), ready);
    --l.active;
}

/* One wait on the socket itself, then what came handed on. */
int wait_socket(hub_slot& l, long long deadline)
{
    ++l.active;
    int w = net().wait_readable(udpsocket, left_until(deadline));
    --l.active;
    if (w == WAIT_READY && !l.ended)
        pump();
    return w;
}

void receive_loop()
{
    while (!stop_receiver) {
        if (net().wait_readable(udpsocket, RECEIVER_POLL_MS) != WAIT_READY)
            continue;
        for (int taken = 0, got = 1; taken < INBOX_MAX && got > 0; taken += got)
            got = pump();
    }
}

} // namespace

void hub_attach(hub_slot& l, const sockaddr_in& address)
{
    std::lock_guard<std::mutex> g(lock);
    if (l.attached)
        unindex(l);
    l.addr_r = address;
    clear_inbox(l);
    if (!l.attached)
        linked().push_back(&l);
    l.attached = true;
    index(l);
}

void hub_detach(hub_slot& l)
{
    std::lock_guard<std::mutex> g(lock);
    std::vector<hub_slot*>& table = linked();
    unindex(l);
    table.erase(std::remove(table.begin(), table.end(), &l), table.end());
    l.attached = false;
    clear_inbox(l);
}

void hub_search_begin(hub_slot& s)
{
    std::lock_guard<std::mutex> g(lock);
    clear_inbox(s);
    s.ended = false;
    search = &s;
}

void hub_search_end()
{
    std::lock_guard<std::mutex> g(lock);
    if (search != nullptr)
        clear_inbox(*search);
    search = nullptr;
}

int hub_receive(hub_slot& l, int timeout_ms, link_datagram* out)
{
    long long deadline = timeout_ms >= 0 ? net().clock_ms() + timeout_ms : -1;
    for (;;) {
        {
            std::unique_lock<std::mutex> g(l.guard);
            if (l.ended)
                return RECEIVE_ABANDONED;
            if (pop(l, out))
                return RECEIVED;
            if (receiving) {
                wait_inbox(l, g, deadline);
                if (l.ended)
                    return RECEIVE_ABANDONED;
                if (pop(l, out))
                    return RECEIVED;
                if (deadline >= 0 && left_until(deadline) == 0)
                    return RECEIVE_TIMED_OUT;
                continue;
            }
        }
        if (udpsocket == 0)
            return RECEIVE_ABANDONED;
        int w = wait_socket(l, deadline);
        if (w == WAIT_ABANDONED || l.ended)
            return RECEIVE_ABANDONED;
        if (w == WAIT_TIMEOUT)
            return RECEIVE_TIMED_OUT;
        std::lock_guard<std::mutex> g(l.guard);
        if (pop(l, out))
            return RECEIVED;
        if (deadline >= 0 && left_until(deadline) == 0)
            return RECEIVE_TIMED_OUT;
    }
}

bool hub_pause(hub_slot& l, int ms)
{
    if (l.ended)
        return false;
    if (receiving) {
        std::unique_lock<std::mutex> g(l.guard);
        ++l.active;
        l.arrived.wait_for(g, std::chrono::milliseconds(ms), [&] { return l.ended.load(); });
        --l.active;
        return !l.ended;
    }
    ++l.active;
    bool whole = net().pause_ms(ms);
    --l.active;
    return whole && !l.ended;
}

void hub_discard(hub_slot& l, std::deque<link_datagram>* dropped)
{
    if (!receiving && udpsocket != 0)
        for (int i = 0; i < 1000 && net().has_datagram(udpsocket); ++i)
            pump();
    std::lock_guard<std::mutex> g(l.guard);
    if (dropped != nullptr)
        for (link_datagram& d : l.inbox)
            dropped->push_back(std::move(d));
    l.inbox.clear();
}

void hub_wake(hub_slot& l)
{
    bool waiting;
    {
        /* Under the guard: a waiter has either not yet looked at ended,
         * or waits already and hears this. */
        std::lock_guard<std::mutex> g(l.guard);
        l.arrived.notify_all();
        waiting = l.active > 0;
    }
    /* A link waiting on the socket itself waits in net(). */
    if (waiting && !receiving)
        net().interrupt();
}

bool hub_start_receiver()
{
    if (receiving || udpsocket == 0)
        return receiving;
    stop_receiver = false;
    receiver = std::thread(receive_loop);
    receiving = true;
    return true;
}

void hub_stop_receiver()
{
    if (!receiving)
        return;
    stop_receiver = true;
    receiver.join();
    receiving = false;
}

bool hub_receiver_running() { return receiving; }

void hub_end_all()
{
    std::lock_guard<std::mutex> g(lock);
    auto end = [](hub_slot& l) {
        std::lock_guard<std::mutex> s(l.guard);
        l.ended = true;
        l.arrived.notify_all();
    };
    for (hub_slot* l : linked()) {
        ++l->serial;
        end(*l);
    }
    if (search != nullptr)
        end(*search);
}

unsigned long hub_unowned()
{
    std::lock_guard<std::mutex> g(lock);
    return unowned;
}
