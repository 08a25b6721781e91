#include "ui/IconCatalog.h"

#include <QPainter>
#include <QPixmap>
#include <QSvgRenderer>

#include <map>

#include "res/Ids.h"

// The icons are compiled into this static library; without a reference from code the linker
// would drop them.
static void initIconResources() {
    Q_INIT_RESOURCE(icons);
}

namespace kestrel {

namespace {

constexpr int kIconIds[] = {IDI_APP,           IDI_MAIL,    IDI_NEWS,
                            IDI_NEWS_AND_MAIL, IDI_STOPPED, IDI_RUNNING};

// Drawn ahead of time at the sizes trays, title bars and the form ask for, so the result does
// not depend on an SVG icon-engine plugin being installed.
constexpr int kPixmapSizes[] = {16, 20, 22, 24, 32, 48, 64};

QIcon render(const QString& path) {
    QSvgRenderer renderer(path);
    if (!renderer.isValid()) return {};
    QIcon icon;
    for (int size : kPixmapSizes) {
        QPixmap pixmap(size, size);
        pixmap.fill(Qt::transparent);
        QPainter painter(&pixmap);
        painter.setRenderHint(QPainter::Antialiasing);
        renderer.render(&painter);
        painter.end();
        icon.addPixmap(pixmap);
    }
    return icon;
}

}  // namespace

QString IconCatalog::ResourcePath(int iconId) {
    for (int id : kIconIds) {
        if (id == iconId) return QStringLiteral(":/icons/%1.svg").arg(iconId);
    }
    return {};
}

QIcon IconCatalog::Icon(int iconId) {
    static const bool resourcesReady = (initIconResources(), true);
    (void)resourcesReady;
    // Icons change with every mail and news report; draw each picture once.
    static std::map<int, QIcon> cache;
    auto it = cache.find(iconId);
    if (it != cache.end()) return it->second;
    const QString path = ResourcePath(iconId);
    if (path.isEmpty()) return {};
    QIcon icon = render(path);
    if (!icon.isNull()) cache.emplace(iconId, icon);
    return icon;
}

}  // namespace kestrel
