#include "keys/uinput/uinput_device.h"

#include "base/exception.h"
#include <algorithm>

#include <fcntl.h>
#include <linux/uinput.h>
#include <sys/ioctl.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <utility>

namespace lantorvix {

namespace {
std::string AccessHint(const std::string& path, int error)
{
    std::string message = "Cannot open " + path + ": " + std::strerror(error) + ". ";
    if (error == ENOENT || error == ENODEV || error == ENXIO) {
        message += "The uinput module is not loaded: run \"modprobe uinput\" (and add \"uinput\" to "
                   "/etc/modules-load.d/ to keep it). ";
    }
    message += "Typing into Wayland or console sessions needs write access to it: add the user to the "
               "\"uinput\" group (sudo usermod -aG uinput $USER) with the udev rule KERNEL==\"uinput\", "
               "GROUP=\"uinput\", MODE=\"0660\", OPTIONS+=\"static_node=uinput\" in "
               "/etc/udev/rules.d/60-lantorvix-uinput.rules, then log in again. A member of that group can "
               "type into every session of the machine, a root console included.";
    return message;
}

void Check(int result, int fd, const char* what)
{
    if (result < 0) {
        const int error = errno;
        ::close(fd);
        throw Exception(std::string("Cannot set up the uinput keyboard (") + what +
                        "): " + std::strerror(error));
    }
}
} // namespace

UinputDevice UinputDevice::Create(const std::string& path)
{
    const int fd = ::open(path.c_str(), O_WRONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) {
        throw Exception(AccessHint(path, errno));
    }
    Check(::ioctl(fd, UI_SET_EVBIT, EV_KEY), fd, "UI_SET_EVBIT");
    Check(::ioctl(fd, UI_SET_EVBIT, EV_SYN), fd, "UI_SET_EVBIT");
    for (int code = 1; code < 256; ++code) {
        Check(::ioctl(fd, UI_SET_KEYBIT, code), fd, "UI_SET_KEYBIT");
    }
    uinput_setup setup{};
    setup.id.bustype = BUS_VIRTUAL;
    setup.id.vendor = 0x1209; // pid.codes open-source vendor id
    setup.id.product = 0x4C54;
    setup.id.version = 1;
    std::strncpy(setup.name, "Lantorvix virtual keyboard", UINPUT_MAX_NAME_SIZE - 1);
    Check(::ioctl(fd, UI_DEV_SETUP, &setup), fd, "UI_DEV_SETUP");
    Check(::ioctl(fd, UI_DEV_CREATE), fd, "UI_DEV_CREATE");
    return UinputDevice(fd, true);
}

UinputDevice UinputDevice::FromStream(int fd)
{
    return UinputDevice(fd, false);
}

UinputDevice::UinputDevice(UinputDevice&& other) noexcept
    : fd_(std::exchange(other.fd_, -1)), created_(std::exchange(other.created_, false)),
      queued_(std::move(other.queued_))
{}

UinputDevice& UinputDevice::operator=(UinputDevice&& other) noexcept
{
    if (this != &other) {
        Close();
        fd_ = std::exchange(other.fd_, -1);
        created_ = std::exchange(other.created_, false);
        queued_ = std::move(other.queued_);
    }
    return *this;
}

UinputDevice::~UinputDevice()
{
    Close();
}

void UinputDevice::Close()
{
    if (fd_ >= 0) {
        Send();
        if (created_) {
            ::ioctl(fd_, UI_DEV_DESTROY);
        }
        ::close(fd_);
        fd_ = -1;
    }
}

void UinputDevice::Queue(std::uint16_t type, std::uint16_t code, std::int32_t value)
{
    input_event event{};
    event.type = type;
    event.code = code;
    event.value = value;
    const char* p = reinterpret_cast<const char*>(&event);
    queued_.insert(queued_.end(), p, p + sizeof event);
}

void UinputDevice::Key(std::uint16_t code, bool press)
{
    Queue(EV_KEY, code, press ? 1 : 0);
    Queue(EV_SYN, SYN_REPORT, 0);
}

void UinputDevice::Send()
{
    // A key and its report are two events, so a cut at an even count ends a frame.
    static_assert(kMaxEventsPerWrite % 2 == 0);
    const char* p = queued_.data();
    std::size_t left = queued_.size();
    while (left > 0) {
        const std::size_t chunk = std::min(left, kMaxEventsPerWrite * sizeof(input_event));
        const ssize_t n = ::write(fd_, p, chunk);
        if (n < 0 && errno == EINTR) {
            continue;
        }
        if (n <= 0) {
            break;
        }
        p += n;
        left -= static_cast<std::size_t>(n);
    }
    queued_.clear();
}

} // namespace lantorvix
