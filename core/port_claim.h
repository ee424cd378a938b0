/*
 * port_claim.h - one program at a time on port 48899.
 *
 * Modules answer to the PC's port, whatever socket asked, and the program
 * binds it with address reuse (the simulator binds beside it). Two of our
 * programs on one machine would both get the port and take each other's
 * replies, each believing its action went through. So a program claims the
 * port before it opens its socket: a listening local socket under an
 * abstract name made from the port. Abstract names belong to the network
 * namespace, the very scope of a UDP port, and vanish with the process
 * however it ends; nothing is left on disk to go stale.
 */
#ifndef KX_PORT_CLAIM_H
#define KX_PORT_CLAIM_H

#include <string>

class port_claim {
public:
    /* Takes the claim on port, unless another claim holds it. */
    explicit port_claim(unsigned short port);
    ~port_claim();
    port_claim(const port_claim&) = delete;
    port_claim& operator=(const port_claim&) = delete;

    bool taken() const { return taken_; }
    /* When not taken: the holder as "NAME (pid N)", or "" when it cannot
     * be told. */
    const std::string& holder() const { return holder_; }
    /* Ends the connections that askers left waiting on the claim, so that
     * a claim held for long keeps room to answer the next ones. */
    void drop_askers();

private:
    int fd_ = -1;
    bool taken_ = false;
    std::string holder_;
};

/* The program's claim on KX_PORT: taken by the first call that finds the
 * port free and kept until the program ends, so that its later searches
 * go on using the port. True when the program holds it; otherwise *holder
 * tells who does, as port_claim::holder(). */
bool hold_program_port(std::string* holder);
/* Gives the program's claim up; the next hold_program_port tries anew. */
void release_program_port();

/* Another process with a UDP socket on port (this one's sockets aside),
 * as "NAME (pid N)", several joined by ", "; "" when none can be seen.
 * Tells who is in the way when binding the port fails. */
std::string udp_port_user(unsigned short port);

/* "held by another program", with ": HOLDER" when the holder is known. */
std::string held_by_text(const std::string& holder);

#endif
