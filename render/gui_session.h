// The Qt application object that fonts and painting need, made on demand.
#pragma once

namespace tessarin::render {

// Makes sure a QGuiApplication exists in this process (fonts, raw fonts and painting need one).
// When none exists, creates one for the rest of the process, on the offscreen platform unless
// QT_QPA_PLATFORM names another, so the command line needs no display. Call from the main thread.
void EnsureGuiApplication();

// Starts loading the offscreen platform's libraries (a few dozen, some large) on a second
// thread, for a command that will make the application later and has other work first. Does
// nothing when EnsureGuiApplication would use another platform or an application exists. Call
// from the main thread.
void PreloadGuiPlatform();

// True when a QGuiApplication exists already, or EnsureGuiApplication would make one on the
// offscreen platform, which needs nothing from the machine's session and so cannot fail for
// want of a display.
bool GuiApplicationIsSafe();

}  // namespace tessarin::render
