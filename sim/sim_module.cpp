/*
 * sim_module.cpp - the protocol of one simulated module: discovery, the
 * link handshake, AT commands, echo, restart and firmware reception, and
 * the misbehaviours tests ask for.
 */
#include "sim_module.h"

#include "sim_text.h"

namespace kxsim {
namespace {

const char* const reply_end = "\r\n\r\n";
const char* const handshake = "+ok";
const char* const restart_line = "AT+Z\n";

std::string ok_reply() { return std::string("+ok") + reply_end; }
std::string value_reply(const std::string& v) { return "+ok=" + v + reply_end; }
std::string error_reply(at_status why)
{
    return std::string(why == at_status::bad_value ? "+ERR=-2" : "+ERR=-1") + reply_end;
}

/* Three comma items, so a reader that only counts items takes it; the
 * address is out of range and two bytes are not text at all. */
const std::string discovery_garbage = "300.0.0.1,\xff\xfe,garbage";
const std::string reply_garbage = std::string("\xff\xfegarbage") + reply_end;

std::string pad(std::string text, size_t length)
{
    if (text.size() < length)
        text.append(length - text.size(), 'X');
    return text;
}

} // namespace

sim_module::sim_module(const module_config& config, const std::string& keyword, uint32_t seed)
    : unit_{ipv4_text(config.addr), config.mac, config.id},
      addr_(config.addr),
      keyword_(keyword),
      how_(config.how),
      state_(unit_),
      echo_(config.how.echo)
{
    // Seeding by address keeps a module's drops the same whatever order the
    // modules were declared in.
    std::seed_seq seq{seed, config.addr};
    dice_.seed(seq);
    if (!how_.version.empty())
        state_.set_version(how_.version);
}

std::vector<std::string> sim_module::handle(const std::string& datagram, const peer& from, long now_ms)
{
    // A booting module has no network yet: what comes meanwhile is lost
    // whole, a keyword as much as a command.
    if (booting(now_ms))
        return {};
    now_ms_ = now_ms;
    return shape(respond(datagram, from));
}

bool sim_module::drop_next()
{
    if (how_.drop_rate <= 0.0)
        return false;
    // Compare the raw 32-bit draw rather than use a distribution, whose
    // output the standard leaves to each library.
    double draw = static_cast<double>(static_cast<uint32_t>(dice_()));
    return draw < how_.drop_rate * 4294967296.0;
}

bool sim_module::take_firmware(std::string* image)
{
    if (!image_ready_)
        return false;
    image->swap(image_);
    image_.clear();
    image_ready_ = false;
    return true;
}

std::vector<sim_module::outgoing> sim_module::respond(const std::string& datagram, const peer& from)
{
    if (receiving_ && from == loader_) {
        take_chunk(datagram);
        return {};
    }
    if (datagram == keyword_) {
        greeted_ = true;
        return {{kind::answer, true, unit_.ip + "," + unit_.mac + "," + unit_.id}};
    }
    if (datagram == handshake) {
        linked_ = linked_ || greeted_;
        return {};
    }
    if (!linked_)
        return {};
    return command(datagram, from);
}

std::vector<sim_module::outgoing> sim_module::command(const std::string& datagram, const peer& from)
{
    // A restarting module is gone at once: not even the echo comes back.
    if (datagram == restart_line) {
        restart();
        return {};
    }
    std::vector<outgoing> out;
    if (echo_)
        out.push_back({kind::echo, false, datagram});
    out.push_back({kind::answer, false, run(datagram, from)});
    return out;
}

std::string sim_module::run(const std::string& datagram, const peer& from)
{
    size_t n = datagram.size();
    if (n < 4 || datagram.compare(0, 3, "AT+") != 0 || datagram[n - 1] != '\n')
        return error_reply(at_status::refused);
    std::string line = datagram.substr(3, n - 4);
    if (line.find_first_of("\r\n") != std::string::npos)
        return error_reply(at_status::refused);
    size_t eq = line.find('=');
    std::string name = line.substr(0, eq);
    if (eq != std::string::npos) {
        /* A module that says "+ok" and keeps its value is what only a
         * read after the setting can tell. */
        settings before = state_;
        at_status s = state_.assign(name, line.substr(eq + 1));
        if (how_.keep_settings)
            state_ = before;
        return s == at_status::ok ? ok_reply() : error_reply(s);
    }
    std::string reply = run_action(name, from);
    if (!reply.empty())
        return reply;
    std::string value;
    at_status s = state_.query(name, &value);
    return s == at_status::ok ? value_reply(value) : error_reply(s);
}

/* The commands that do something rather than read a setting. Returns an
 * empty text for a name that is none of them. */
std::string sim_module::run_action(const std::string& name, const peer& from)
{
    if (name == "E") {
        echo_ = !echo_;
    } else if (name == "RELD") {
        state_.restore_factory();
    } else if (name == "FWUPDAT") {
        receiving_ = true;
        loader_ = from;
        image_.clear();
        image_ready_ = false;
    } else {
        return "";
    }
    return ok_reply();
}

void sim_module::take_chunk(const std::string& datagram)
{
    image_ += datagram;
    if (datagram.size() >= firmware_chunk)
        return;
    receiving_ = false;
    image_ready_ = true;
    if (!how_.next_version.empty())
        state_.set_version(how_.next_version);
    // The module boots the new image, so it comes back unlinked.
    restart();
}

void sim_module::restart()
{
    back_at_ms_ = now_ms_ + how_.boot_ms;
    greeted_ = false;
    linked_ = false;
    echo_ = how_.echo;
}

std::vector<std::string> sim_module::shape(const std::vector<outgoing>& out) const
{
    std::vector<std::string> sent;
    if (how_.silent)
        return sent;
    for (const outgoing& o : out) {
        sent.push_back(misshape(o));
        if (how_.twice)
            sent.push_back(sent.back());
    }
    return sent;
}

/* Echoes are copies of what arrived and stay as they are; only answers
 * are spoiled. */
std::string sim_module::misshape(const outgoing& o) const
{
    if (o.what == kind::echo)
        return o.bytes;
    if (how_.garbage)
        return o.discovery ? discovery_garbage : reply_garbage;
    if (!how_.oversize)
        return o.bytes;
    if (o.discovery)
        return pad(o.bytes, oversize_length);
    // Pad in front of the line ends so a query answer stays a well-formed
    // "+ok=" answer, only far too long.
    size_t body = o.bytes.size() - 4;
    return pad(o.bytes.substr(0, body), oversize_length) + reply_end;
}

} // namespace kxsim
