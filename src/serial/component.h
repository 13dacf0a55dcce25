#pragma once

#include <cstdint>
#include <string>

#include "serial/enum_set.h"

namespace lantorvix {

enum class TComponentStateFlag : std::uint8_t { csDesigning, csLoading };
using TComponentState = EnumSet<TComponentStateFlag, std::uint8_t>;

// The small part of a component framework the port needs: an owner (not owning; the owner
// holds its components itself), a name, the designing and loading states and the
// load-completion hook. No part of this program sets the two states; derived classes may.
class TComponent {
public:
    explicit TComponent(TComponent* owner = nullptr) : owner_(owner) {}
    virtual ~TComponent() = default;
    TComponent(const TComponent&) = delete;
    TComponent& operator=(const TComponent&) = delete;

    TComponent* Owner() const { return owner_; }
    const std::string& Name() const { return name_; }
    void SetName(std::string name) { name_ = std::move(name); }
    TComponentState ComponentState() const { return state_; }

    // Called when a stored description has been read into the component; ends loading.
    virtual void Loaded() { state_.Exclude(TComponentStateFlag::csLoading); }

protected:
    void SetComponentState(TComponentState state) { state_ = state; }

private:
    TComponent* owner_;
    std::string name_;
    TComponentState state_;
};

// The copy protocol of settings objects: Assign on the destination asks the source to copy
// itself over (AssignTo); a source that does not know the destination's class refuses with
// EConvertError "Cannot assign a <source class> to a <destination class>".
class TPersistent {
public:
    virtual ~TPersistent() = default;
    virtual std::string ClassName() const = 0;
    virtual void Assign(const TPersistent& source) { source.AssignTo(*this); }

protected:
    TPersistent() = default;
    TPersistent(const TPersistent&) = default;
    TPersistent& operator=(const TPersistent&) = default;
    virtual void AssignTo(TPersistent& dest) const;
};

} // namespace lantorvix
