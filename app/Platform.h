// Adjustments of the platform's look so that controls keep the sizes their templates give them.
#pragma once

// Call once after the window system is up and before any window is made.
void ApplyPlatformLook();
