#include "app/program.h"

#include "app/app_texts.h"
#include "app/message_startup.h"
#include "app/tform1.h"
#include "app/unavailable_keyboard.h"
#include "i18n/translate.h"
#include "serial/com_port.h"

#include <exception>
#include <vector>

namespace lantorvix {
namespace {

// The process-wide dispatcher and translation, undone on every way out.
class PortStartup {
public:
    PortStartup(MainThreadDispatcher& dispatcher, Waker* waker) : dispatcher_(dispatcher)
    {
        dispatcher_.SetWaker(waker);
        MainThreadDispatcher::SetDefault(&dispatcher_);
    }
    ~PortStartup()
    {
        dispatcher_.SetWaker(nullptr);
        MainThreadDispatcher::SetDefault(nullptr);
        i18n::StopTranslation();
    }
    PortStartup(const PortStartup&) = delete;
    PortStartup& operator=(const PortStartup&) = delete;

private:
    MainThreadDispatcher& dispatcher_;
};

// The form receives the desktop's events and the failures of the port's hand-overs while
// this lives.
class Attachment {
public:
    Attachment(Shell& shell, MainThreadDispatcher& dispatcher, TForm1& form)
        : shell_(shell), dispatcher_(dispatcher)
    {
        shell_.Attach(&form);
        dispatcher_.SetExceptionHandler(
            [&form](std::exception_ptr error) { form.RunHandler([&] { std::rethrow_exception(error); }); });
    }
    ~Attachment()
    {
        dispatcher_.SetExceptionHandler({});
        shell_.Attach(nullptr);
    }
    Attachment(const Attachment&) = delete;
    Attachment& operator=(const Attachment&) = delete;

private:
    Shell& shell_;
    MainThreadDispatcher& dispatcher_;
};

} // namespace

int RunProgram(const ProgramParts& parts)
{
    Shell& shell = parts.shell;
    std::vector<std::string> failures;
    if (std::string failure = StartBuiltInMessages(parts.executablePath); !failure.empty()) {
        failures.push_back(std::move(failure));
    }
    const CodePage codePage = i18n::AnsiCodePage();

    MainThreadDispatcher dispatcher;
    const std::unique_ptr<Waker> waker = parts.createWaker(dispatcher);
    const PortStartup port(dispatcher, waker.get());

    if (!parts.system.AcquireSingleInstance()) {
        if (shell.ShowRunningCopy()) {
            return 0;
        }
        shell.MessageBox(texts::kAlreadyRunning, texts::kCaption, BoxKind::warning);
        return 0;
    }

    std::unique_ptr<KeyboardPlatform> keyboard;
    try {
        keyboard = parts.createKeyboard(
            codePage, [&shell, codePage](std::string_view text, std::string_view caption) {
                shell.MessageBox(AnsiToUtf8(text, codePage), AnsiToUtf8(caption, codePage), BoxKind::plain);
            });
    } catch (const std::exception& e) {
        failures.emplace_back(e.what());
        keyboard = std::make_unique<UnavailableKeyboard>(e.what());
    }

    const std::unique_ptr<DeviceIdentity> identity =
        parts.createDeviceIdentity ? parts.createDeviceIdentity() : nullptr;
    TForm1 form({shell, parts.system, *keyboard,
                 [&] { return std::make_unique<TComPort>(nullptr, parts.createDevice(), &dispatcher); },
                 codePage, parts.makerUrl, [&] { return parts.createDeviceWatch(dispatcher); },
                 identity.get()});
    const Attachment attachment(shell, dispatcher, form);
    for (const std::string& failure : failures) {
        form.ShowGeneralError(failure);
    }
    const std::shared_ptr<void> endWatch =
        parts.watchEndRequests
            ? parts.watchEndRequests([&form] { form.RunHandler([&] { form.EndProgram(); }); })
            : nullptr;
    form.RunHandler([&] { form.FormCreate(); });
    if (!form.Connected() || !shell.TrayAvailable()) {
        shell.ShowWindow();
    }
    return shell.RunMessageLoop();
}

} // namespace lantorvix
