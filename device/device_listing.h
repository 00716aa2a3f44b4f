#pragma once
// Every TALVO-4 interface present, and for each whether this user can open
// it: what a front end needs to tell "not plugged in" from "plugged in, but
// not yours to open".

#include <optional>
#include <string>
#include <vector>

#include "device/hid_platform.h"

namespace talvo {

struct ListedInterface {
    std::string path;
    OpenRefusal refusal = OpenRefusal::None;
    // Report lengths; known only for an interface that could be opened and
    // whose descriptor could be read.
    std::optional<HidCaps> capabilities;
    std::string port{};    // USB port path; empty where unknown
    std::string serial{};  // empty where unknown
};

// An interface of the TALVO-4's identifiers whose reports no command fits:
// another interface of a composite device (its keyboard), or one with
// numbered reports. Discovery passes over it.
bool IsOtherInterface(const ListedInterface& listed);

// The TALVO-4 interfaces in enumeration order, each opened once (and closed
// again) to learn its report lengths or why it cannot be opened. Interfaces
// of other devices are never opened.
std::vector<ListedInterface> ListTalvoInterfaces(HidPlatform& platform);

// The first listed interface that cannot be opened for lack of permission.
std::optional<ListedInterface> FirstWithoutPermission(const std::vector<ListedInterface>& list);

}  // namespace talvo
