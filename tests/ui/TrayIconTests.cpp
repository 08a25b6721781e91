#include <QImage>

#include <gtest/gtest.h>

#include <atomic>
#include <set>
#include <vector>

#include "platform/MessageEvent.h"
#include "platform/QtText.h"
#include "res/Cp932.h"
#include "res/Ids.h"
#include "tests/support/Spin.h"
#include "ui/IconCatalog.h"
#include "ui/TrayClickFilter.h"
#include "ui/TrayIcon.h"

namespace kestrel {
namespace {

using test::SpinUntil;

TEST(IconCatalog, EveryStateHasItsOwnLoadableIcon) {
    struct Case {
        TrayState state;
        int iconId;
    };
    const Case cases[] = {
        {TrayState::Starting, 128}, {TrayState::Stopped, 138}, {TrayState::Idle, 139},
        {TrayState::Mail, 134},     {TrayState::News, 135},    {TrayState::NewsAndMail, 136},
    };
    std::set<QByteArray> pictures;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.iconId);
        EXPECT_EQ(TrayIcon::IconIdFor(c.state), c.iconId);
        const QIcon icon = IconCatalog::Icon(c.iconId);
        ASSERT_FALSE(icon.isNull());
        for (int size : {16, 32}) {
            const QImage image = icon.pixmap(size, size).toImage();
            ASSERT_EQ(image.size(), QSize(size, size));
            // Something is drawn: at least a tenth of the pixels are not transparent.
            int opaque = 0;
            for (int y = 0; y < size; ++y)
                for (int x = 0; x < size; ++x) opaque += qAlpha(image.pixel(x, y)) > 0;
            EXPECT_GT(opaque, size * size / 10);
        }
        const QImage image = icon.pixmap(32, 32).toImage().convertToFormat(QImage::Format_ARGB32);
        pictures.insert(
            QByteArray(reinterpret_cast<const char*>(image.constBits()), image.sizeInBytes()));
    }
    EXPECT_EQ(pictures.size(), std::size(cases)) << "two states share a picture";
}

TEST(IconCatalog, UnknownIdGivesNullIcon) {
    EXPECT_TRUE(IconCatalog::Icon(137).isNull());
    EXPECT_TRUE(IconCatalog::ResourcePath(0).isEmpty());
}

struct Report {
    TrayClick click;
    std::int64_t atMs;
};

struct ClickCase {
    const char* name;
    std::vector<Report> reports;
    std::vector<unsigned> delivered;
};

TEST(TrayClickFilter, DeliversDoubleClickOnceAndRightButton) {
    constexpr auto S = TrayClick::Single;
    constexpr auto D = TrayClick::Double;
    constexpr auto C = TrayClick::Context;
    constexpr auto M = TrayClick::Middle;
    constexpr unsigned DBL = WM_LBUTTONDBLCLK;
    constexpr unsigned RB = WM_RBUTTONDOWN;
    const ClickCase cases[] = {
        {"single click alone", {{S, 0}}, {}},
        {"press then reported double", {{S, 0}, {D, 150}}, {DBL}},
        {"single, double, trailing single", {{S, 0}, {D, 150}, {S, 200}}, {DBL}},
        {"two quick singles from a tray without doubles", {{S, 0}, {S, 200}}, {DBL}},
        {"three quick singles make one double", {{S, 0}, {S, 200}, {S, 350}}, {DBL}},
        {"four quick singles make two doubles", {{S, 0}, {S, 100}, {S, 200}, {S, 300}}, {DBL, DBL}},
        {"slow singles", {{S, 0}, {S, 1000}, {S, 2000}}, {}},
        {"right button", {{C, 0}}, {RB}},
        {"right button between singles breaks the pair", {{S, 0}, {C, 100}, {S, 200}}, {RB}},
        {"middle button between singles breaks the pair", {{S, 0}, {M, 100}, {S, 200}}, {}},
        {"two reported doubles in a row", {{S, 0}, {D, 100}, {S, 450}, {D, 500}}, {DBL, DBL}},
        {"a tray that reports doubles is not read from single pairs",
         {{S, 0}, {D, 100}, {S, 3000}, {S, 3100}},
         {DBL}},
    };
    for (const ClickCase& c : cases) {
        SCOPED_TRACE(c.name);
        TrayClickFilter filter(400);
        std::vector<unsigned> delivered;
        for (const Report& r : c.reports) {
            if (auto message = filter.Feed(r.click, r.atMs)) delivered.push_back(*message);
        }
        EXPECT_EQ(delivered, c.delivered);
    }
}

// Records WM_TRAY_NOTIFY as the frame would receive it.
class NotifyReceiver : public QObject {
public:
    std::vector<std::intptr_t> lParams;

protected:
    void customEvent(QEvent* e) override {
        if (auto* m = asMessage(e); m && m->message() == WM_TRAY_NOTIFY)
            lParams.push_back(m->lParam());
    }
};

TEST(TrayIcon, ReportsOnlyTheFrameMouseMessages) {
    TrayIcon tray([] { return false; }, 1000);
    NotifyReceiver frame;
    tray.SetNotifyTarget(&frame);
    std::vector<unsigned> messages;
    QObject::connect(&tray, &TrayIcon::mouseMessage, [&](unsigned m) { messages.push_back(m); });

    emit tray.Platform()->activated(QSystemTrayIcon::Trigger);
    emit tray.Platform()->activated(QSystemTrayIcon::DoubleClick);
    emit tray.Platform()->activated(QSystemTrayIcon::MiddleClick);
    emit tray.Platform()->activated(QSystemTrayIcon::Context);

    EXPECT_EQ(messages, (std::vector<unsigned>{WM_LBUTTONDBLCLK, WM_RBUTTONDOWN}));
    ASSERT_TRUE(SpinUntil([&] { return frame.lParams.size() == 2; }));
    EXPECT_EQ(frame.lParams, (std::vector<std::intptr_t>{WM_LBUTTONDBLCLK, WM_RBUTTONDOWN}));
}

TEST(TrayIcon, StateChangesIconButNeverTheTip) {
    TrayIcon tray([] { return false; }, 1000);
    const QString tip = fromSjis(utf8ToCp932("Kestrel for Intranet"));
    EXPECT_EQ(tray.State(), TrayState::Starting);
    EXPECT_EQ(tray.IconId(), IDI_APP);
    EXPECT_EQ(tray.Platform()->toolTip(), tip);

    const QImage before = tray.Platform()->icon().pixmap(32, 32).toImage();
    tray.SetState(TrayState::NewsAndMail);
    EXPECT_EQ(tray.IconId(), IDI_NEWS_AND_MAIL);
    EXPECT_NE(tray.Platform()->icon().pixmap(32, 32).toImage(), before);
    EXPECT_EQ(tray.Platform()->toolTip(), tip);
}

TEST(TrayIcon, TrayAppearingAfterStartGetsTheIcon) {
    std::atomic<bool> trayThere{false};
    TrayIcon tray([&] { return trayThere.load(); }, 5);
    std::vector<bool> changes;
    QObject::connect(&tray, &TrayIcon::availabilityChanged,
                     [&](bool now) { changes.push_back(now); });
    EXPECT_FALSE(tray.Available());
    EXPECT_FALSE(tray.Platform()->isVisible());

    trayThere = true;
    ASSERT_TRUE(SpinUntil([&] { return tray.Available(); }));
    EXPECT_TRUE(tray.Platform()->isVisible());
    EXPECT_EQ(changes, std::vector<bool>{true});

    // A panel restart takes the tray away; the frame must learn it cannot hide to it.
    trayThere = false;
    ASSERT_TRUE(SpinUntil([&] { return !tray.Available(); }));
    EXPECT_FALSE(tray.Platform()->isVisible());
    EXPECT_EQ(changes, (std::vector<bool>{true, false}));
}

TEST(TrayIcon, RemovedIconStaysOffWhenTrayReturns) {
    std::atomic<bool> trayThere{true};
    TrayIcon tray([&] { return trayThere.load(); }, 5);
    ASSERT_TRUE(tray.Platform()->isVisible());
    tray.Remove();
    EXPECT_FALSE(tray.Platform()->isVisible());
    trayThere = false;
    test::SpinFor(30);
    trayThere = true;
    test::SpinFor(30);
    EXPECT_FALSE(tray.Platform()->isVisible());
}

}  // namespace
}  // namespace kestrel
