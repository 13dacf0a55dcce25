// The settings window as built, on Qt's offscreen platform: every control where it belongs,
// with its text, the tab order, the headers, the lists; the message-box kind mapping; a
// picture of the window saved beside the test for people to look at.

#include "app/qt/icon_art.h"
#include "app/qt/message_box.h"
#include "app/qt/settings_window.h"
#include "base/resource_strings.h"
#include "i18n/translate.h"

#include <QApplication>
#include <QLabel>
#include <QPushButton>

#include <cstdlib>

#include <gtest/gtest.h>

namespace lantorvix {
namespace {

QApplication& App()
{
    static int argc = 1;
    static char name[] = "settings_window_test";
    static char* argv[] = {name, nullptr};
    static QApplication* app = [] {
        qputenv("QT_QPA_PLATFORM", "offscreen");
        return new QApplication(argc, argv);
    }();
    return *app;
}

struct Placement {
    const char* control;
    QRect rect; // width/height 0: the label sizes itself to its text
    const char* text;
};

template <typename W = QWidget> W* Control(const SettingsWindow& w, const char* name)
{
    return w.findChild<W*>(QString::fromLatin1(name), Qt::FindDirectChildrenOnly);
}

QString Text(QWidget* widget)
{
    if (auto* l = qobject_cast<QLabel*>(widget)) {
        return l->text();
    }
    if (auto* b = qobject_cast<QAbstractButton*>(widget)) {
        return b->text();
    }
    if (auto* c = qobject_cast<QComboBox*>(widget)) {
        QStringList items;
        for (int i = 0; i < c->count(); ++i) {
            items << c->itemText(i);
        }
        return items.join('|');
    }
    return {};
}

struct WithApp {
    WithApp() { App(); }
};

class SettingsWindowTest : public ::testing::Test, private WithApp {
protected:
    SettingsWindow window;
};

TEST_F(SettingsWindowTest, ControlsSitAtTheirPixelRectanglesWithTheirTexts)
{
    const Placement table[] = {
        {"Label5", {0, 12, 169, 17}, "Kommunikáció:"},
        {"Label2", {12, 32, 0, 0}, "Port:"},
        {"cmbPort", {12, 48, 65, 21}, "NINCS"},
        {"Label8", {88, 32, 0, 0}, "Sebesség:"},
        {"cmbBaud", {88, 48, 65, 21}, "1200|2400|4800|9600|19200"},
        {"Bevel2", {10, 80, 141, 9}, ""},
        {"Label6", {0, 100, 169, 17}, "Vonalkódolvasó:"},
        {"Label7", {32, 124, 0, 0}, "Lezáró karakter: "},
        {"cmbStop", {32, 140, 105, 21}, "ENTER (CR/LF)|CR"},
        {"Bevel1", {167, 16, 2, 145}, ""},
        {"Label4", {168, 12, 169, 17}, "Program:"},
        {"chkDiscNull", {184, 44, 129, 25}, "Vezető nullák eldobása"},
        {"ChkAutoRun", {184, 84, 129, 17}, "Bekapcsoláskor indul"},
        {"Label3", {198, 124, 0, 0}, "Hozzáadott adat: "},
        {"cmbAdd", {198, 140, 105, 21}, "NINCS|ENTER (CR/LF)|TAB"},
        {"btnOK", {88, 184, 71, 25}, "Alkalmaz"},
        {"btnCancel", {178, 184, 71, 25}, "Mégse"},
        {"Image1", {304, 184, 33, 33}, ""},
    };
    EXPECT_EQ(window.size(), QSize(337, 212));
    EXPECT_EQ(window.windowTitle(), QString::fromUtf8("Lantorvix - Beállítások"));
    for (const auto& p : table) {
        SCOPED_TRACE(p.control);
        QWidget* w = Control(window, p.control);
        ASSERT_NE(w, nullptr);
        if (p.rect.width() == 0) {
            EXPECT_EQ(w->pos(), p.rect.topLeft());
        } else {
            EXPECT_EQ(w->geometry(), p.rect);
        }
        EXPECT_EQ(Text(w), QString::fromUtf8(p.text));
    }
}

TEST_F(SettingsWindowTest, HeadersAreBoldAndCentred)
{
    for (const char* name : {"Label4", "Label5", "Label6"}) {
        QLabel* header = Control<QLabel>(window, name);
        ASSERT_NE(header, nullptr) << name;
        EXPECT_TRUE(header->font().bold());
        EXPECT_TRUE(header->alignment() & Qt::AlignHCenter);
    }
    EXPECT_FALSE(Control(window, "Label2")->font().bold());
}

TEST_F(SettingsWindowTest, DesignStateAndListsThatAcceptOnlyTheirItems)
{
    EXPECT_TRUE(Control<QCheckBox>(window, "ChkAutoRun")->isChecked());
    EXPECT_FALSE(Control<QCheckBox>(window, "chkDiscNull")->isChecked());
    const std::pair<const char*, int> selected[] = {
        {"cmbPort", 0}, {"cmbBaud", -1}, {"cmbStop", 0}, {"cmbAdd", 0}};
    for (const auto& [name, index] : selected) {
        const QComboBox* c = Control<QComboBox>(window, name);
        EXPECT_FALSE(c->isEditable()) << name;
        EXPECT_EQ(c->currentIndex(), index) << name;
    }
    EXPECT_EQ(Control(window, "Image1")->cursor().shape(), Qt::PointingHandCursor);
    EXPECT_FALSE(window.windowFlags() & Qt::WindowMaximizeButtonHint);
    EXPECT_TRUE(window.windowFlags() & Qt::WindowMinimizeButtonHint);
}

TEST_F(SettingsWindowTest, TabOrderFollowsTheDesign)
{
    const char* expected[] = {"cmbPort",    "chkDiscNull", "btnOK",   "btnCancel",
                              "ChkAutoRun", "cmbAdd",      "cmbStop", "cmbBaud"};
    for (std::size_t i = 0; i + 1 < std::size(expected); ++i) {
        const QWidget* stop = Control(window, expected[i]);
        const QWidget* next = stop->nextInFocusChain();
        while (next != stop && !(next->focusPolicy() & Qt::TabFocus)) {
            next = next->nextInFocusChain();
        }
        EXPECT_EQ(next, Control(window, expected[i + 1])) << "after tab stop " << expected[i];
    }
}

TEST_F(SettingsWindowTest, CloseRequestsGoToTheCallbackWhichMayRefuse)
{
    int asked = 0;
    window.onClose = [&] {
        ++asked;
        return false;
    };
    window.show();
    EXPECT_FALSE(window.close());
    EXPECT_EQ(asked, 1);
    EXPECT_TRUE(window.isVisible());
    window.onClose = [] { return true; };
    EXPECT_TRUE(window.close());
}

TEST_F(SettingsWindowTest, PictureOfTheWindowIsSavedAsAnArtifact)
{
    window.show();
    const QPixmap shot = window.grab();
    EXPECT_EQ(shot.size() / shot.devicePixelRatio(), QSize(337, 212));
    EXPECT_TRUE(shot.save(QStringLiteral("settings_window_offscreen.png")));
    EXPECT_FALSE(ApplicationIcon().isNull());
    EXPECT_FALSE(LogoPixmap(33).toImage().pixelColor(16, 16).alpha() == 0);
}

struct BoxCase {
    BoxKind kind;
    QMessageBox::Icon icon;
    QMessageBox::StandardButtons buttons;
    QMessageBox::StandardButton defaultButton;
};

class MessageBoxKinds : public ::testing::TestWithParam<BoxCase> {
protected:
    MessageBoxKinds() { App(); }
};

TEST_P(MessageBoxKinds, MapToIconButtonsAndDefault)
{
    QMessageBox box;
    ConfigureMessageBox(box, GetParam().kind);
    EXPECT_EQ(box.icon(), GetParam().icon);
    EXPECT_EQ(box.standardButtons(), GetParam().buttons);
    EXPECT_EQ(box.standardButton(box.defaultButton()), GetParam().defaultButton);
}

INSTANTIATE_TEST_SUITE_P(
    Kinds, MessageBoxKinds,
    ::testing::Values(BoxCase{BoxKind::plain, QMessageBox::NoIcon, QMessageBox::Ok, QMessageBox::Ok},
                      BoxCase{BoxKind::error, QMessageBox::Critical, QMessageBox::Ok, QMessageBox::Ok},
                      BoxCase{BoxKind::warning, QMessageBox::Warning, QMessageBox::Ok, QMessageBox::Ok},
                      BoxCase{BoxKind::yesNoQuestion, QMessageBox::Question,
                              QMessageBox::Yes | QMessageBox::No, QMessageBox::No},
                      BoxCase{BoxKind::yesNoWarning, QMessageBox::Warning, QMessageBox::Yes | QMessageBox::No,
                              QMessageBox::No}));

// Button captions are messages, 8-bit in the language's code page: "\xF5" is "ő" in 1250.
TEST(MessageBoxButtons, CaptionsAreDecodedFromTheLanguagesCodePage)
{
    App();
    const char* oldLang = std::getenv("LANG");
    const std::string restore = oldLang != nullptr ? oldLang : "";
    setenv("LANG", "hu_HU.UTF-8", 1);
    i18n::StartTranslation("/nonexistent/lantorvix");
    SetResourceStringLoader(
        [](std::string_view id) { return id == res::SMsgDlgYes ? std::string("\xF5k") : std::string(id); });
    QMessageBox box;
    ConfigureMessageBox(box, BoxKind::yesNoQuestion);
    EXPECT_EQ(box.button(QMessageBox::Yes)->text(), QString::fromUtf8("\xC5\x91k"));
    i18n::StopTranslation();
    oldLang != nullptr ? setenv("LANG", restore.c_str(), 1) : unsetenv("LANG");
}

} // namespace
} // namespace lantorvix
