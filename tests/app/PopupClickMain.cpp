// Shows one notification popup the way the program does (the real presenter, launcher and
// desktop operations) and clicks its reader button once it is up:
//   popup_click mail <MailReader> <MailFile>
//   popup_click news <NewsReader> <NewsFile> <group>
// Prints "clicked <ms>" (how long the button's work took) and "box <text>" for every message
// box, which is answered at once. Run it with the XDG and bus environment the test made.
#include <QApplication>
#include <QElapsedTimer>
#include <QListWidget>
#include <QPushButton>
#include <QTimer>

#include <cstdio>
#include <string>

#include "app/QtNoticePresenter.h"
#include "platform/MessageBoxes.h"
#include "res/Cp932.h"

namespace {

class PrintedBoxes final : public kestrel::MessageBoxes {
public:
    kestrel::BoxAnswer Show(const std::string& text, const std::string&, kestrel::BoxIcon,
                            kestrel::BoxButtons) override {
        std::string line = kestrel::cp932ToUtf8(text);
        for (char& c : line)
            if (c == '\n') c = ' ';
        std::printf("box %s\n", line.c_str());
        std::fflush(stdout);
        return kestrel::BoxAnswer::Ok;
    }
};

void Click(QWidget* popup, const char* name) {
    if (auto* button = popup->findChild<QPushButton*>(QLatin1String(name))) button->click();
}

}  // namespace

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    const QStringList args = app.arguments();
    const bool news = args.value(1) == QLatin1String("news");
    if (args.size() < (news ? 5 : 4)) return 2;

    kestrel::ReaderLauncherSettings settings;
    const int kind = args.value(2).toInt();
    const std::string file = kestrel::utf8ToCp932(args.value(3).toStdString());
    if (news) {
        settings.NewsReader = kind;
        settings.NewsFile = file;
    } else {
        settings.MailReader = kind;
        settings.MailFile = file;
    }
    const QString group = args.value(4);

    PrintedBoxes boxes;
    kestrel::QtNoticePresenter presenter(
        boxes, [settings] { return settings; }, nullptr, nullptr);
    QTimer::singleShot(0, [&] {
        QWidget* popup = QApplication::activeModalWidget();
        if (!popup) return QApplication::exit(3);
        QElapsedTimer clock;
        clock.start();
        if (news) {
            auto* list = popup->findChild<QListWidget*>(QStringLiteral("groups"));
            const auto rows =
                list ? list->findItems(group, Qt::MatchExactly) : QList<QListWidgetItem*>{};
            if (rows.isEmpty()) return QApplication::exit(4);
            list->setCurrentItem(rows.constFirst());
            Click(popup, "readArticles");
        } else {
            Click(popup, "receiveMail");
        }
        std::printf("clicked %lld\n", static_cast<long long>(clock.elapsed()));
        std::fflush(stdout);
        // The news popup stays up after a read; the mail one has closed itself already.
        if (QWidget* still = QApplication::activeModalWidget()) Click(still, "close");
    });
    if (news)
        presenter.ShowNews(kestrel::utf8ToCp932(group.toStdString()) + ' ');
    else
        presenter.ShowMail(kestrel::utf8ToCp932("新しいメールを受信しました"));
    return 0;
}
