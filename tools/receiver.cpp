// A small window that receives typed text and reports it on standard output: what was typed
// up to each Enter or Tab, followed by "<ENTER>" or "<TAB>", one report a line. Used by the
// demonstration and the end-to-end tests as "the focused application".

#include <QApplication>
#include <QKeyEvent>
#include <QPlainTextEdit>

#include <cstdio>

namespace {

class Receiver : public QPlainTextEdit {
protected:
    void keyPressEvent(QKeyEvent* event) override
    {
        if (event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) {
            std::printf("%s<ENTER>\n", line_.toUtf8().constData());
            std::fflush(stdout);
            line_.clear();
        } else if (event->key() == Qt::Key_Tab) {
            std::printf("%s<TAB>\n", line_.toUtf8().constData());
            std::fflush(stdout);
            line_.clear();
            insertPlainText(QStringLiteral("\t"));
            return;
        } else {
            line_ += event->text();
        }
        QPlainTextEdit::keyPressEvent(event);
    }

private:
    QString line_;
};

} // namespace

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    Receiver receiver;
    receiver.setWindowTitle(QStringLiteral("Lantorvix receiver"));
    receiver.setTabChangesFocus(false);
    receiver.resize(420, 240);
    receiver.move(40, 40);
    receiver.show();
    receiver.activateWindow();
    receiver.setFocus();
    std::printf("ready\n");
    std::fflush(stdout);
    return QApplication::exec();
}
