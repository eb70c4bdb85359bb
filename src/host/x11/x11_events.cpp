#include "host/x11/x11_events.h"

#include <X11/Xlib.h>

namespace {

SaverEvent Of(SaverEventKind kind)
{
    SaverEvent event;
    event.kind = kind;
    return event;
}

// Focus that leaves the window itself for a window outside it. NotifyInferior (to a child) and
// the pointer-root details are not a change of program.
bool LeavesForAnotherWindow(const XFocusChangeEvent& focus, bool keyboardGrabbed)
{
    switch (focus.detail) {
    case NotifyAncestor:
    case NotifyVirtual:
    case NotifyNonlinear:
    case NotifyNonlinearVirtual: break;
    default: return false;
    }
    // Our own grab ending is no loss; while we hold the keyboard nobody else can grab it.
    if (focus.mode == NotifyUngrab) return false;
    if (focus.mode == NotifyGrab && keyboardGrabbed) return false;
    return true;
}

}  // namespace

SaverEvent TranslateX11Event(const XEvent& event, unsigned long window, const CloseAtoms& atoms,
                             bool keyboardGrabbed)
{
    if (event.xany.window != window) return {};
    switch (event.type) {
    case MotionNotify: {
        SaverEvent moved = Of(SaverEventKind::PointerMoved);
        moved.x = event.xmotion.x;
        moved.y = event.xmotion.y;
        return moved;
    }
    case KeyPress: return Of(SaverEventKind::KeyPressed);
    case ButtonPress:
        return (event.xbutton.button >= Button1 && event.xbutton.button <= Button3)
                   ? Of(SaverEventKind::ButtonPressed)
                   : SaverEvent{};
    case FocusOut:
        return LeavesForAnotherWindow(event.xfocus, keyboardGrabbed) ? Of(SaverEventKind::FocusLost)
                                                                     : SaverEvent{};
    case ConfigureNotify: {
        // Configure events of the window's children come with StructureNotify on a parent.
        if (event.xconfigure.window != window) return {};
        SaverEvent resized = Of(SaverEventKind::Resized);
        resized.width = event.xconfigure.width;
        resized.height = event.xconfigure.height;
        return resized;
    }
    case MapNotify: return event.xmap.window == window ? Of(SaverEventKind::Mapped) : SaverEvent{};
    case UnmapNotify:
        return event.xunmap.window == window ? Of(SaverEventKind::Unmapped) : SaverEvent{};
    case VisibilityNotify: {
        SaverEvent visibility = Of(SaverEventKind::VisibilityChanged);
        visibility.fullyObscured = event.xvisibility.state == VisibilityFullyObscured;
        return visibility;
    }
    case Expose: {
        SaverEvent exposed = Of(SaverEventKind::Exposed);
        exposed.x = event.xexpose.x;
        exposed.y = event.xexpose.y;
        exposed.width = event.xexpose.width;
        exposed.height = event.xexpose.height;
        return exposed;
    }
    case DestroyNotify:
        return event.xdestroywindow.window == window ? Of(SaverEventKind::Destroyed) : SaverEvent{};
    case ClientMessage:
        if (atoms.protocols != 0 && event.xclient.message_type == atoms.protocols &&
            event.xclient.format == 32 &&
            static_cast<unsigned long>(event.xclient.data.l[0]) == atoms.deleteWindow) {
            return Of(SaverEventKind::CloseAsked);
        }
        return {};
    default: return {};
    }
}
