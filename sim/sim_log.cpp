/*
 * sim_log.cpp - writes the traffic log described in sim_log.h.
 */
#include "sim_log.h"

#include <cerrno>
#include <cstring>

#include "sim_text.h"
#include "strutil.h"

namespace kxsim {

std::string log_line(unsigned long seq, long t_ms, const std::string& to, const peer& from,
                     const std::string& data, const std::string& fate)
{
    std::string hex = data.empty() ? "-" : hex_bytes(data);
    return std::to_string(seq) + " " + std::to_string(t_ms) + " " + to + " " +
           ipv4_text(from.addr) + ":" + std::to_string(from.port) + " " +
           std::to_string(data.size()) + " " + hex + " " + fate;
}

traffic_log::traffic_log() = default;
traffic_log::~traffic_log() { close(); }

bool traffic_log::open(const std::string& path, std::string* why)
{
    close();
    if (path.empty())
        return true;
    file_.reset(new stdio_file(path.c_str(), "w"));
    if (!*file_) {
        *why = path + ": " + std::strerror(errno);
        file_.reset();
        return false;
    }
    return true;
}

void traffic_log::record(long t_ms, const std::string& to, const peer& from,
                         const std::string& data, const std::string& fate)
{
    ++seq_;
    if (!file_)
        return;
    std::string line = log_line(seq_, t_ms, to, from, data, fate) + "\n";
    std::fwrite(line.data(), 1, line.size(), file_->get());
    std::fflush(file_->get());
}

void traffic_log::close()
{
    if (file_)
        file_->close();
    file_.reset();
}

} // namespace kxsim
