// What X events mean to the saver's window: input, focus, size, visibility, the close button.
#include <gtest/gtest.h>

#include "host/x11/x11_events.h"

// After the test framework, whose names Xlib's macros would replace.
#include <X11/Xlib.h>

namespace {

constexpr Window SaverWindow = 0x400001;
constexpr Window OtherWindow = 0x600007;
constexpr CloseAtoms Atoms{301, 302};

XEvent Event(int type, Window window = SaverWindow)
{
    XEvent event{};
    event.type = type;
    event.xany.window = window;
    return event;
}

SaverEventKind KindOf(const XEvent& event, bool keyboardGrabbed = false,
                      const CloseAtoms& atoms = Atoms)
{
    return TranslateX11Event(event, SaverWindow, atoms, keyboardGrabbed).kind;
}

TEST(X11Events, InputOnTheSaverWindow)
{
    XEvent motion = Event(MotionNotify);
    motion.xmotion.x = 17;
    motion.xmotion.y = 4;
    const SaverEvent moved = TranslateX11Event(motion, SaverWindow, Atoms, false);
    EXPECT_EQ(moved.kind, SaverEventKind::PointerMoved);
    EXPECT_EQ(moved.x, 17);
    EXPECT_EQ(moved.y, 4);

    EXPECT_EQ(KindOf(Event(KeyPress)), SaverEventKind::KeyPressed);
    EXPECT_EQ(KindOf(Event(KeyRelease)), SaverEventKind::Ignored);
    // Left, middle and right end the saver; the wheel and the side buttons do not.
    const struct {
        unsigned button;
        SaverEventKind kind;
    } buttons[] = {{1, SaverEventKind::ButtonPressed}, {2, SaverEventKind::ButtonPressed},
                   {3, SaverEventKind::ButtonPressed}, {4, SaverEventKind::Ignored},
                   {5, SaverEventKind::Ignored},       {8, SaverEventKind::Ignored}};
    for (const auto& b : buttons) {
        XEvent press = Event(ButtonPress);
        press.xbutton.button = b.button;
        EXPECT_EQ(KindOf(press), b.kind) << "button " << b.button;
    }
    EXPECT_EQ(KindOf(Event(ButtonRelease)), SaverEventKind::Ignored);

    // Nothing that happens to another window counts.
    EXPECT_EQ(KindOf(Event(KeyPress, OtherWindow)), SaverEventKind::Ignored);
    EXPECT_EQ(KindOf(Event(MotionNotify, OtherWindow)), SaverEventKind::Ignored);
}

TEST(X11Events, FocusLostToAnotherProgramButNotToOurOwnGrab)
{
    const struct {
        int mode;
        int detail;
        bool grabbed;  // the saver holds the keyboard
        bool lost;
    } cases[] = {
        {NotifyNormal, NotifyNonlinear, false, true},  // another window took the focus
        {NotifyNormal, NotifyAncestor, false, true},
        {NotifyWhileGrabbed, NotifyNonlinear, true, true},  // ... while we hold the keyboard
        {NotifyGrab, NotifyNonlinear, false, true},         // another program grabbed it
        {NotifyGrab, NotifyNonlinear, true, false},         // that grab can only be ours
        {NotifyUngrab, NotifyNonlinear, false, false},      // our own grab ended
        {NotifyNormal, NotifyInferior, false, false},       // into a child of ours
        {NotifyNormal, NotifyPointer, false, false},
        {NotifyNormal, NotifyPointerRoot, false, false},
        {NotifyNormal, NotifyDetailNone, false, false},
        {NotifyNormal, NotifyVirtual, false, true},
        {NotifyNormal, NotifyNonlinearVirtual, false, true},
    };
    for (const auto& c : cases) {
        XEvent out = Event(FocusOut);
        out.xfocus.mode = c.mode;
        out.xfocus.detail = c.detail;
        EXPECT_EQ(KindOf(out, c.grabbed),
                  c.lost ? SaverEventKind::FocusLost : SaverEventKind::Ignored)
            << "mode " << c.mode << " detail " << c.detail << " grabbed " << c.grabbed;
        XEvent in = out;
        in.type = FocusIn;
        EXPECT_EQ(KindOf(in, c.grabbed), SaverEventKind::Ignored);
    }
}

TEST(X11Events, SizeMappingVisibilityExposureAndDestruction)
{
    XEvent configure = Event(ConfigureNotify);
    configure.xconfigure.window = SaverWindow;
    configure.xconfigure.width = 641;
    configure.xconfigure.height = 1;
    const SaverEvent resized = TranslateX11Event(configure, SaverWindow, Atoms, false);
    EXPECT_EQ(resized.kind, SaverEventKind::Resized);
    EXPECT_EQ(resized.width, 641);
    EXPECT_EQ(resized.height, 1);
    // A child's configure event reported to the window as its parent.
    configure.xconfigure.window = OtherWindow;
    EXPECT_EQ(KindOf(configure), SaverEventKind::Ignored);

    XEvent map = Event(MapNotify);
    map.xmap.window = SaverWindow;
    EXPECT_EQ(KindOf(map), SaverEventKind::Mapped);
    XEvent unmap = Event(UnmapNotify);
    unmap.xunmap.window = SaverWindow;
    EXPECT_EQ(KindOf(unmap), SaverEventKind::Unmapped);

    for (const int state :
         {VisibilityUnobscured, VisibilityPartiallyObscured, VisibilityFullyObscured}) {
        XEvent visibility = Event(VisibilityNotify);
        visibility.xvisibility.state = state;
        const SaverEvent seen = TranslateX11Event(visibility, SaverWindow, Atoms, false);
        EXPECT_EQ(seen.kind, SaverEventKind::VisibilityChanged);
        EXPECT_EQ(seen.fullyObscured, state == VisibilityFullyObscured);
    }

    XEvent expose = Event(Expose);
    expose.xexpose.x = 5;
    expose.xexpose.y = 6;
    expose.xexpose.width = 70;
    expose.xexpose.height = 80;
    const SaverEvent exposed = TranslateX11Event(expose, SaverWindow, Atoms, false);
    EXPECT_EQ(exposed.kind, SaverEventKind::Exposed);
    EXPECT_EQ(exposed.x + exposed.y + exposed.width + exposed.height, 5 + 6 + 70 + 80);
    EXPECT_EQ(exposed.width, 70);
    EXPECT_EQ(KindOf(Event(Expose, OtherWindow)), SaverEventKind::Ignored);

    XEvent destroy = Event(DestroyNotify);
    destroy.xdestroywindow.window = SaverWindow;
    EXPECT_EQ(KindOf(destroy), SaverEventKind::Destroyed);
    destroy.xdestroywindow.window = OtherWindow;
    EXPECT_EQ(KindOf(destroy), SaverEventKind::Ignored);
}

TEST(X11Events, TheCloseButtonIsTheDeleteWindowProtocol)
{
    XEvent close = Event(ClientMessage);
    close.xclient.message_type = Atoms.protocols;
    close.xclient.format = 32;
    close.xclient.data.l[0] = static_cast<long>(Atoms.deleteWindow);
    EXPECT_EQ(KindOf(close), SaverEventKind::CloseAsked);

    XEvent otherProtocol = close;
    otherProtocol.xclient.data.l[0] = 999;  // WM_TAKE_FOCUS and the like
    EXPECT_EQ(KindOf(otherProtocol), SaverEventKind::Ignored);
    XEvent otherMessage = close;
    otherMessage.xclient.message_type = 555;
    EXPECT_EQ(KindOf(otherMessage), SaverEventKind::Ignored);
    XEvent shortFormat = close;
    shortFormat.xclient.format = 8;
    EXPECT_EQ(KindOf(shortFormat), SaverEventKind::Ignored);
    // The full-screen saver has no close button: no atoms, nothing matches.
    EXPECT_EQ(KindOf(close, false, CloseAtoms{}), SaverEventKind::Ignored);
}

}  // namespace
