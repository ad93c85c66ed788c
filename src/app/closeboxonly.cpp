#include "app/closeboxonly.h"

#include <QApplication>
#include <QEvent>
#include <QWidget>

#ifdef CVRLIK_HAVE_XCB
#include <QtGui/qguiapplication_platform.h>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <xcb/xcb.h>

namespace {

struct TFreeReply {
    void operator()(void* reply) const { std::free(reply); }
};
template <typename Reply>
using TReply = std::unique_ptr<Reply, TFreeReply>;

xcb_atom_t Atom(xcb_connection_t* connection, const char* name) {
    const TReply<xcb_intern_atom_reply_t> reply(
        xcb_intern_atom_reply(connection, xcb_intern_atom(connection, 0, uint16_t(std::strlen(name)), name), nullptr));
    return reply ? reply->atom : xcb_atom_t(XCB_ATOM_NONE);
}

QByteArray Property(xcb_connection_t* connection, xcb_window_t window, xcb_atom_t property, xcb_atom_t type) {
    const TReply<xcb_get_property_reply_t> reply(
        xcb_get_property_reply(connection, xcb_get_property(connection, 0, window, property, type, 0, 1024), nullptr));
    if (!reply || reply->type != type) {
        return {};
    }
    return QByteArray(static_cast<const char*>(xcb_get_property_value(reply.get())),
                      xcb_get_property_value_length(reply.get()));
}

// The name the running window manager gives itself (the EWMH supporting-window check), empty without one.
QByteArray WindowManagerName(xcb_connection_t* connection, xcb_window_t root) {
    const QByteArray check = Property(connection, root, Atom(connection, "_NET_SUPPORTING_WM_CHECK"), XCB_ATOM_WINDOW);
    if (check.size() != sizeof(xcb_window_t)) {
        return {};
    }
    xcb_window_t supporting = 0;
    std::memcpy(&supporting, check.constData(), sizeof supporting);
    return Property(connection, supporting, Atom(connection, "_NET_WM_NAME"), Atom(connection, "UTF8_STRING"));
}

} // namespace

void AskForCloseBoxOnly(QWidget& window) {
    const auto* x11 = qGuiApp ? qGuiApp->nativeInterface<QNativeInterface::QX11Application>() : nullptr;
    xcb_connection_t* connection = x11 ? x11->connection() : nullptr;
    if (!connection || !window.isWindow()) {
        return;
    }
    const xcb_screen_t* screen = xcb_setup_roots_iterator(xcb_get_setup(connection)).data;
    if (!screen || WindowManagerName(connection, screen->root) != "Openbox") {
        return;
    }
    const xcb_atom_t toolbar = Atom(connection, "_NET_WM_WINDOW_TYPE_TOOLBAR");
    xcb_change_property(connection, XCB_PROP_MODE_REPLACE, xcb_window_t(window.winId()),
                        Atom(connection, "_NET_WM_WINDOW_TYPE"), XCB_ATOM_ATOM, 32, 1, &toolbar);
    xcb_flush(connection);
}

#else

void AskForCloseBoxOnly(QWidget&) {}

#endif

namespace {

// Sees every window of the program shown, before it is mapped.
class TCloseBoxOnlyFilter : public QObject {
public:
    using QObject::QObject;

    bool eventFilter(QObject* watched, QEvent* event) override {
        if (event->type() == QEvent::Show && watched->isWidgetType()) {
            auto* window = static_cast<QWidget*>(watched);
            if (HasTitleBar(*window)) {
                AskForCloseBoxOnly(*window);
            }
        }
        return false;
    }

private:
    static bool HasTitleBar(const QWidget& widget) {
        if (!widget.isWindow() || widget.windowFlags().testFlag(Qt::FramelessWindowHint)) {
            return false;
        }
        const Qt::WindowType type = widget.windowType();
        return type == Qt::Window || type == Qt::Dialog;
    }
};

} // namespace

void AskForCloseBoxOnlyEverywhere(QApplication& application) {
    application.installEventFilter(new TCloseBoxOnlyFilter(&application));
}
