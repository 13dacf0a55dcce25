#pragma once

#include <atomic>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "serial/com_port.h"
#include "serial/main_thread_dispatcher.h"
#include "support/fake_comm_device.h"
#include "support/wait_until.h"

namespace lantorvix::test {

// A port over a fake device, with the test thread as its main thread.
struct PortFixture {
    MainThreadDispatcher dispatcher;
    FakeCommDevice* device = nullptr;
    std::unique_ptr<TComPort> port;

    PortFixture()
    {
        auto fake = std::make_unique<FakeCommDevice>();
        device = fake.get();
        port = std::make_unique<TComPort>(nullptr, std::move(fake), &dispatcher);
    }

    // Opens with no event thread, then forgets the calls opening made.
    void OpenQuietly()
    {
        port->SetEvents({});
        port->Open();
        device->ClearCalls();
    }

    Dcb LastDcb() const
    {
        const auto calls = device->Calls("SetState");
        return calls.empty() ? Dcb{} : *calls.back().dcb;
    }
};

// A port whose designing and loading states a test can set.
class StatefulPort : public TComPort {
public:
    using TComPort::TComPort;
    void SetLoading(bool on)
    {
        auto s = ComponentState();
        on ? s.Include(TComponentStateFlag::csLoading) : s.Exclude(TComponentStateFlag::csLoading);
        SetComponentState(s);
    }
    void SetDesigning(bool on)
    {
        auto s = ComponentState();
        on ? s.Include(TComponentStateFlag::csDesigning) : s.Exclude(TComponentStateFlag::csDesigning);
        SetComponentState(s);
    }
};

} // namespace lantorvix::test
