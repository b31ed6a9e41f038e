#include "capture/failure_words.h"

#include <cerrno>
#include <cstring>

#include "platform/file_users.h"

namespace nimbrel {

std::string serialPortHint(int error, const std::string& devicePath) {
    switch (error) {
    case ENOENT:
    case ENODEV:
    case ENXIO: return "is the adapter plugged in?";
    case EACCES:
    case EPERM: return "is your user in the group that owns the device, commonly dialout?";
    case EBUSY: {
        std::string holders;
        for (const FileUser& u : processesUsing(devicePath)) {
            holders += holders.empty() ? "" : ", ";
            holders += u.name + " (process " + std::to_string(u.pid) + ")";
        }
        if (holders.empty()) return "is another program using the port?";
        return "it is in use by " + holders;
    }
    case ENOTTY:
    case EINVAL: return "is it a serial port?";
    default: return {};
    }
}

std::string serialOpenFailureText(int error, const std::string& devicePath) {
    std::string text = "Cannot open " + devicePath + ": " + std::strerror(error);
    const std::string hint = serialPortHint(error, devicePath);
    if (!hint.empty()) text += " (" + hint + ")";
    return text;
}

std::string driverFailureText(int error, int status, const std::string& devicePath) {
    switch (error) {
    case 0:
        if (status < 0) return "The driver answered without a status byte";
        return "The driver refused the request with status " + std::to_string(status);
    case ENOENT:
    case ECONNREFUSED:
        return "No driver serves " + devicePath + ": " + std::strerror(error) +
               " (is the driver running?)";
    case EACCES:
    case EPERM:
        return "Cannot open " + devicePath + ": " + std::strerror(error) +
               " (does the device belong to another user?)";
    case ETIMEDOUT: return "The driver did not answer; its device " + devicePath + " was closed";
    case EPIPE:
        return "The driver side closed the connection of " + devicePath +
               ", which breaks the device bridge's protocol";
    case EPROTO:
        return "The driver side of " + devicePath +
               " sent bytes that are no reply, which breaks the device bridge's protocol";
    case ECANCELED:
    case EBADF: return "The request ended because " + devicePath + " was closed";
    default: return "The request to " + devicePath + " failed: " + std::strerror(error);
    }
}

}  // namespace nimbrel
