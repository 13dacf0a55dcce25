// LD_PRELOAD test hook for the Linux program: every message box text the program sets is
// appended to the file named by LANTORVIX_BOX_LOG (one box a line, line breaks as "\n"),
// then the box is built as usual. Interposes QMessageBox::setText, which the program calls
// through the dynamic linker; nothing else changes.
#include <QString>

#include <dlfcn.h>
#include <fcntl.h>
#include <unistd.h>

#include <cstdlib>
#include <string>

namespace {

using SetText = void (*)(void*, const QString&);

void Log(const QString& text)
{
    const char* path = std::getenv("LANTORVIX_BOX_LOG");
    if (path == nullptr) {
        return;
    }
    std::string line = text.toUtf8().toStdString();
    for (std::size_t at = 0; (at = line.find('\n', at)) != std::string::npos; at += 2) {
        line.replace(at, 1, "\\n");
    }
    line += '\n';
    const int fd = ::open(path, O_WRONLY | O_APPEND | O_CREAT | O_CLOEXEC, 0644);
    if (fd >= 0) {
        [[maybe_unused]] const auto written = ::write(fd, line.data(), line.size());
        ::close(fd);
    }
}

} // namespace

// QMessageBox::setText(const QString&)
extern "C" __attribute__((visibility("default"))) void
_ZN11QMessageBox7setTextERK7QString(void* self, const QString& text)
{
    static const auto real =
        reinterpret_cast<SetText>(::dlsym(RTLD_NEXT, "_ZN11QMessageBox7setTextERK7QString"));
    Log(text);
    if (real != nullptr) {
        real(self, text);
    }
}
