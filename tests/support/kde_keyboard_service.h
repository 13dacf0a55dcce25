#pragma once

// A stand-in for KDE Plasma's keyboard service (org.kde.keyboard /Layouts) on a private
// session bus of its own, served on a thread of its own.

#include <atomic>
#include <memory>
#include <string>
#include <thread>
#include <vector>

namespace lantorvix::test {

class KdeKeyboardService {
public:
    // `layouts`: what getLayoutsList names (layout names, no variants).
    KdeKeyboardService(const std::string& folder, std::vector<std::string> layouts);
    ~KdeKeyboardService();
    KdeKeyboardService(const KdeKeyboardService&) = delete;
    KdeKeyboardService& operator=(const KdeKeyboardService&) = delete;

    // Empty when the bus or the service did not come up.
    const std::string& Address() const { return address_; }
    // The layout in use, as the user switches it.
    void Switch(unsigned index);

private:
    struct Glib;
    int daemon_ = -1;
    std::string address_;
    std::vector<std::string> layouts_;
    std::atomic<unsigned> current_{0};
    std::unique_ptr<Glib> glib_;
    std::thread thread_;
};

} // namespace lantorvix::test
