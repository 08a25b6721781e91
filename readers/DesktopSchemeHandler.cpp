#include "readers/DesktopSchemeHandler.h"

// Kept free of Qt headers: GIO's own headers use the word "signals".
#ifdef KESTREL_HAVE_GIO
#include <gio/gio.h>
#endif

namespace kestrel {

#ifdef KESTREL_HAVE_GIO

namespace {

GAppInfo* FirstHandler(const std::vector<std::string>& schemes) {
    for (const std::string& scheme : schemes)
        if (GAppInfo* app = g_app_info_get_default_for_uri_scheme(scheme.c_str())) return app;
    return nullptr;
}

}  // namespace

bool DesktopSchemeHandler::Start(const std::vector<std::string>& schemes,
                                 const std::string& urlUtf8) {
    GAppInfo* app = FirstHandler(schemes);
    if (!app) return false;
    GList* uris = nullptr;
    if (!urlUtf8.empty()) uris = g_list_append(uris, const_cast<char*>(urlUtf8.c_str()));
    GAppLaunchContext* context = g_app_launch_context_new();
    GError* error = nullptr;
    // A missing program is found here already: GIO skips entries whose Exec it cannot find,
    // and reports a program that fails to execute.
    const bool started = g_app_info_launch_uris(app, uris, context, &error);
    if (error) g_error_free(error);
    g_object_unref(context);
    g_list_free(uris);
    g_object_unref(app);
    return started;
}

#else

bool DesktopSchemeHandler::Start(const std::vector<std::string>&, const std::string&) {
    return false;
}

#endif

}  // namespace kestrel
