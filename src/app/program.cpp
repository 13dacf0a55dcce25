#include "app/program.h"

#include "app/app_texts.h"

namespace lantorvix {

int RunProgram(TForm1::Services services, const std::function<void(TForm1*)>& attach,
               const TraylessStart& trayless)
{
    Shell& shell = services.shell;
    if (!services.system.AcquireSingleInstance()) {
        if (trayless.runningCopyShown && trayless.runningCopyShown()) {
            return 0;
        }
        shell.MessageBox(texts::kAlreadyRunning, texts::kCaption, mb::Warning);
        return 0;
    }
    int exitCode = 0;
    {
        TForm1 form(std::move(services));
        attach(&form);
        form.RunHandler([&] { form.FormCreate(); });
        if (!form.Connected() || (trayless.noTray && trayless.noTray())) {
            shell.ShowWindow();
        }
        exitCode = shell.RunMessageLoop();
        attach(nullptr);
    }
    return exitCode;
}

} // namespace lantorvix
