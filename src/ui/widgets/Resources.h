#pragma once

// Registers the pictures compiled into the ui library. A static library's resources are not registered
// by themselves, since the linker drops the unreferenced object that would do it.
void initResources();
