#pragma once

#include "keys/linux_keyboard.h"

#include <memory>
#include <optional>
#include <string>

namespace lantorvix {

// KDE Plasma's keyboard layouts: the list from its configuration ($XDG_CONFIG_HOME/kxkbrc,
// [Layout] LayoutList and VariantList) and the one in use from its keyboard service on the
// session bus (org.kde.keyboard /Layouts, org.kde.KeyboardLayouts.getLayout). Each Read asks
// again, so a switch is followed from the next key sequence on.
// Thread safety: one thread at a time.
class KdeKeyboardLayouts {
public:
    // Nothing when Plasma's keyboard configuration file is not there.
    static std::unique_ptr<KdeKeyboardLayouts> Open();
    ~KdeKeyboardLayouts();
    KdeKeyboardLayouts(const KdeKeyboardLayouts&) = delete;
    KdeKeyboardLayouts& operator=(const KdeKeyboardLayouts&) = delete;

    // The layouts ("de(nodeadkeys),us") and the one in use, the first when the service does
    // not answer; nothing when Plasma leaves the layouts to the system (no list, or Use=false).
    std::optional<ActiveXkbLayout> Read();

private:
    struct State;
    explicit KdeKeyboardLayouts(std::unique_ptr<State> state);
    std::unique_ptr<State> state_;
};

} // namespace lantorvix
