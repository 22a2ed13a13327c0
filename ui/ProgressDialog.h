// The window that shows a long step going on: a caption, a line of text and a bar, while the
// step runs on a thread of its own, so that the window answers the user throughout. The
// uninstaller shows it while it removes the product. Windows only.
#pragma once

#include <cstddef>
#include <functional>
#include <string>

// The bar's control identifier, for tools that read the window.
constexpr int ProgressBarId = 0x100;

// Shows the window, titled caption, with text above the bar, and runs work on another thread;
// work moves the bar through its argument (done of total, from that thread). The window goes
// when work ends; its result is returned and what it raised is raised here. The window has no
// close box and takes no Escape: a step under way is not cancelled.
bool ShowProgress(
    const std::string& caption, const std::string& text,
    const std::function<bool(const std::function<void(size_t done, size_t total)>& progress)>& work);
