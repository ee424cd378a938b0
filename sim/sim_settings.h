/*
 * sim_settings.h - the settings a simulated module keeps, and the rules that
 * decide which AT queries and settings it accepts.
 *
 * Every setting is stored as the exact text its query reports, so a query
 * after a setting shows what the module took, byte for byte. The rules live
 * in one table in sim_settings.cpp; nothing else knows a setting's name.
 */
#ifndef KXSIM_SETTINGS_H
#define KXSIM_SETTINGS_H

#include <map>
#include <string>

namespace kxsim {

/* What a module is before any setting: fixes the defaults that derive from
 * the unit itself (its identification and its access point name). */
struct identity {
    std::string ip;
    std::string mac;
    std::string id;
};

enum class at_status {
    ok,
    refused,   // unknown name, or a query/setting the name does not allow
    bad_value, // wrong number of values, or a value outside its rule
};

class settings {
public:
    explicit settings(const identity& unit);

    at_status query(const std::string& name, std::string* value) const;
    /* A refused or bad setting leaves every value as it was. */
    at_status assign(const std::string& name, const std::string& value);
    void restore_factory();
    /* The version AT+VER reports from now on, as a new firmware image
     * brings it; a factory reset keeps it. */
    void set_version(const std::string& version);

private:
    std::map<std::string, std::string> factory_;
    std::map<std::string, std::string> current_;
};

} // namespace kxsim

#endif
