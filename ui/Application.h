// The application object: state that belongs to the program as a whole rather than to one
// window. Its title is the caption of the error box until the wizard form replaces it with
// its own caption.
#pragma once

#include <string>

class TApplication {
public:
    std::string Title;
};

// The one application object of the process.
TApplication& Application();
