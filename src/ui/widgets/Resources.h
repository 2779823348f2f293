#pragma once

class QIcon;

// Registers the pictures compiled into the ui library. A static library's resources are not registered
// by themselves, since the linker drops the unreferenced object that would do it.
void initResources();

// The program icon with all its sizes, 16 to 128 pixels, so the title bar, the taskbar and the task
// switcher each pick the size drawn for them instead of scaling one.
QIcon programIcon();
