#!/usr/bin/python3
"""A notification area that draws nothing, for the watch bench's display.

Owns the screen's system tray selection and announces it, so a program on
this display can hide its window in the tray; icons asking to dock are
accepted and never shown. Prints "ready" once the selection is held and
runs until killed.
"""
from Xlib import X, display
from Xlib.protocol import event

d = display.Display()
screen = d.screen()
owner = screen.root.create_window(0, 0, 1, 1, 0, screen.root_depth)
selection = d.intern_atom("_NET_SYSTEM_TRAY_S%d" % d.get_default_screen())
owner.set_selection_owner(selection, X.CurrentTime)
announce = event.ClientMessage(
    window=screen.root,
    client_type=d.intern_atom("MANAGER"),
    data=(32, [X.CurrentTime, selection, owner.id, 0, 0]),
)
screen.root.send_event(announce, event_mask=X.StructureNotifyMask)
d.flush()
print("ready", flush=True)
while True:
    d.next_event()
