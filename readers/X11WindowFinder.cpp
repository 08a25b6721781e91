#include "readers/X11WindowFinder.h"

#include <cstdlib>
#include <cstring>
#include <vector>

#ifdef KESTREL_HAVE_XCB
#include <xcb/xcb.h>
#endif

namespace kestrel {

namespace {

bool equalsIgnoringAsciiCase(const std::string& a, const std::string& b) {
    if (a.size() != b.size()) return false;
    for (size_t i = 0; i < a.size(); ++i) {
        auto lower = [](char c) { return c >= 'A' && c <= 'Z' ? char(c - 'A' + 'a') : c; };
        if (lower(a[i]) != lower(b[i])) return false;
    }
    return true;
}

#ifdef KESTREL_HAVE_XCB

// Window managers put client windows into frames; clients sit at most a few levels down.
constexpr int kMaxDepth = 3;
constexpr size_t kMaxWindows = 20000;

class Finder {
public:
    Finder(xcb_connection_t* c, const std::string& windowClass) : m_c(c), m_class(windowClass) {}

    bool Search(xcb_window_t window, int depth) {
        if (++m_visited > kMaxWindows) return false;
        bool hasClass = false;
        if (depth > 0 && ClassOf(window, hasClass)) return true;
        if (hasClass || depth >= kMaxDepth)
            return false;  // a client's own children are not top-level
        xcb_query_tree_reply_t* tree =
            xcb_query_tree_reply(m_c, xcb_query_tree(m_c, window), nullptr);
        if (!tree) return false;
        const xcb_window_t* children = xcb_query_tree_children(tree);
        std::vector<xcb_window_t> list(children, children + xcb_query_tree_children_length(tree));
        std::free(tree);
        for (xcb_window_t child : list)
            if (Search(child, depth + 1)) return true;
        return false;
    }

private:
    bool ClassOf(xcb_window_t window, bool& hasClass) {
        xcb_get_property_reply_t* prop = xcb_get_property_reply(
            m_c, xcb_get_property(m_c, 0, window, XCB_ATOM_WM_CLASS, XCB_ATOM_STRING, 0, 256),
            nullptr);
        if (!prop) return false;
        const int length = xcb_get_property_value_length(prop);
        bool match = false;
        if (prop->format == 8 && length > 0) {
            hasClass = true;
            const auto* value = static_cast<const char*>(xcb_get_property_value(prop));
            match = X11WindowFinder::WmClassMatches(std::string(value, size_t(length)), m_class);
        }
        std::free(prop);
        return match;
    }

    xcb_connection_t* m_c;
    const std::string& m_class;
    size_t m_visited = 0;
};

#endif

}  // namespace

bool X11WindowFinder::WmClassMatches(const std::string& wmClass, const std::string& windowClass) {
    if (windowClass.empty()) return false;
    size_t start = 0;
    for (int part = 0; part < 2 && start < wmClass.size(); ++part) {
        size_t end = wmClass.find('\0', start);
        if (end == std::string::npos) end = wmClass.size();
        if (equalsIgnoringAsciiCase(wmClass.substr(start, end - start), windowClass)) return true;
        start = end + 1;
    }
    return false;
}

bool X11WindowFinder::ClassExists(const std::string& windowClass, const char* display) {
#ifdef KESTREL_HAVE_XCB
    if (windowClass.empty()) return false;
    if (!display && !std::getenv("DISPLAY")) return false;
    xcb_connection_t* c = xcb_connect(display, nullptr);
    if (!c || xcb_connection_has_error(c)) {
        if (c) xcb_disconnect(c);
        return false;
    }
    bool found = false;
    Finder finder(c, windowClass);
    for (xcb_screen_iterator_t it = xcb_setup_roots_iterator(xcb_get_setup(c)); it.rem && !found;
         xcb_screen_next(&it))
        found = finder.Search(it.data->root, 0);
    xcb_disconnect(c);
    return found;
#else
    (void)windowClass;
    (void)display;
    return false;
#endif
}

}  // namespace kestrel
