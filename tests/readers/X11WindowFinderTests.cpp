#include <QByteArray>
#include <QProcess>

#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <string>

#include <xcb/xcb.h>

#include "readers/X11WindowFinder.h"

namespace kestrel {
namespace {

TEST(X11WindowFinder, WmClassMatchesEitherPartIgnoringCase) {
    using namespace std::string_literals;
    struct Case {
        std::string wmClass;
        const char* wanted;
        bool match;
    };
    const Case cases[] = {
        {"winvn\0WinVnFrame\0"s, "WinVnFrame", true},
        {"winvn\0WinVnFrame\0"s, "winvnframe", true},
        {"winvn\0WinVnFrame\0"s, "winvn", true},
        {"winvn\0WinVnFrame\0"s, "WinV", false},
        {"winvn\0WinVnFrame\0"s, "WinVnFrameX", false},
        {"WinVnFrame"s, "WinVnFrame", true},  // no terminator
        {"\0WinVnFrame\0"s, "WinVnFrame", true},
        {"a\0b\0WinVnFrame\0"s, "WinVnFrame", false},  // only two parts count
        {""s, "WinVnFrame", false},
        {"winvn\0WinVnFrame\0"s, "", false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.wanted);
        EXPECT_EQ(X11WindowFinder::WmClassMatches(c.wmClass, c.wanted), c.match);
    }
}

TEST(X11WindowFinder, NoDisplayFindsNothing) {
    EXPECT_FALSE(X11WindowFinder::ClassExists("WinVnFrame", ":987"));
}

// A private X server, and client windows made on it the way programs and window managers do.
class X11WindowFinderOnServer : public ::testing::Test {
protected:
    void SetUp() override {
        // Xvfb picks a free display itself and names it on the descriptor given once it
        // accepts clients: no display number guessed here can be one another test holds.
        // scripts/setup.sh installs Xvfb, so a missing one fails the test.
        m_server.start(QStringLiteral("Xvfb"), {QStringLiteral("-displayfd"), QStringLiteral("1"),
                                                QStringLiteral("-nolisten"), QStringLiteral("tcp"),
                                                QStringLiteral("-screen"), QStringLiteral("0"),
                                                QStringLiteral("320x240x24")});
        ASSERT_TRUE(m_server.waitForStarted(10000))
            << "Xvfb did not start: is it installed? (scripts/setup.sh installs it)";
        QByteArray number;
        while (!number.contains('\n') && m_server.waitForReadyRead(20000))
            number += m_server.readAllStandardOutput();
        number = number.trimmed();
        ASSERT_FALSE(number.isEmpty())
            << "Xvfb named no display: " << m_server.readAllStandardError().toStdString();
        m_display = ":" + number.toStdString();
        m_c = xcb_connect(m_display.c_str(), nullptr);
        ASSERT_FALSE(xcb_connection_has_error(m_c)) << "cannot open Xvfb's display " << m_display;
        m_root = xcb_setup_roots_iterator(xcb_get_setup(m_c)).data->root;
    }

    void TearDown() override {
        if (m_c) xcb_disconnect(m_c);
        StopServer();
    }

    void StopServer() {
        if (m_server.state() == QProcess::NotRunning) return;
        m_server.terminate();
        if (!m_server.waitForFinished(5000)) m_server.kill();
        m_server.waitForFinished(5000);
    }

    xcb_window_t Window(xcb_window_t parent, const std::string& wmClass) {
        const xcb_window_t w = xcb_generate_id(m_c);
        xcb_create_window(m_c, XCB_COPY_FROM_PARENT, w, parent, 0, 0, 10, 10, 0,
                          XCB_WINDOW_CLASS_INPUT_OUTPUT, XCB_COPY_FROM_PARENT, 0, nullptr);
        if (!wmClass.empty())
            xcb_change_property(m_c, XCB_PROP_MODE_REPLACE, w, XCB_ATOM_WM_CLASS, XCB_ATOM_STRING,
                                8, static_cast<uint32_t>(wmClass.size()), wmClass.data());
        xcb_map_window(m_c, w);
        xcb_aux_sync();
        return w;
    }
    void xcb_aux_sync() {
        std::free(xcb_get_input_focus_reply(m_c, xcb_get_input_focus(m_c), nullptr));
    }

    bool Exists(const char* cls) { return X11WindowFinder::ClassExists(cls, m_display.c_str()); }

    QProcess m_server;
    std::string m_display;
    xcb_connection_t* m_c = nullptr;
    xcb_window_t m_root = 0;
};

TEST_F(X11WindowFinderOnServer, FindsTopLevelClientWindowsByClass) {
    using namespace std::string_literals;
    EXPECT_FALSE(Exists("WinVnFrame"));

    const xcb_window_t other = Window(m_root, "xterm\0XTerm\0"s);
    EXPECT_TRUE(Exists("XTerm"));
    EXPECT_FALSE(Exists("WinVnFrame"));

    // Under a window manager the client sits inside a frame window of its own.
    const xcb_window_t frame = Window(m_root, "");
    const xcb_window_t winvn = Window(frame, "winvn\0WinVnFrame\0"s);
    EXPECT_TRUE(Exists("WinVnFrame"));

    xcb_destroy_window(m_c, winvn);
    xcb_aux_sync();
    EXPECT_FALSE(Exists("WinVnFrame"));
    (void)other;
}

TEST_F(X11WindowFinderOnServer, ChildrenOfAClientAreNotTopLevel) {
    using namespace std::string_literals;
    const xcb_window_t app = Window(m_root, "app\0App\0"s);
    Window(app, "winvn\0WinVnFrame\0"s);
    EXPECT_TRUE(Exists("App"));
    EXPECT_FALSE(Exists("WinVnFrame"));
}

}  // namespace
}  // namespace kestrel
