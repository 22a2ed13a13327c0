// preview: a product's wizard as its users will see it. The product is packed into a
// temporary setup program, which runs under Wine in a throwaway prefix on a private virtual
// display; the test driver walks it through every page that the configuration shows, with
// the default choices, and pictures of the pages are saved as PNG files.
#pragma once

#include <ostream>
#include <string>
#include <vector>

#include "common/Version.h"

struct TPreviewOptions {
    std::string ProductFolder;
    std::string OutputFolder;
    std::string StubPath; // empty: the installed Setup.exe
    TProgramVersion Version;
    double BuildDate = 0;
    std::vector<int> Dpis = {96}; // pixels per inch; each gives its own folder of pictures
    bool Keep = false;            // keep the temporary folder, for a look at its logs
    // The system language Wine plays (a Linux locale such as ru_RU.UTF-8, which gives code page
    // 1251, Cyrillic fonts and Russian system texts); empty: the caller's.
    std::string Locale;
};

struct TPreviewPage {
    int Dpi = 0;
    std::string Path; // the PNG file
};

// Runs the preview and returns the pictures in the order of the pages, resolution by
// resolution. Progress goes to log. Raises an Exception that says what is missing when Wine
// or Xvfb is not installed, and one that quotes the driver's report when the walk fails.
std::vector<TPreviewPage> PreviewProduct(const TPreviewOptions& options, std::ostream& log);

// Converts an uncompressed 24-bit BMP file (as the test driver writes them) into a PNG file.
void ConvertBitmapToPng(const std::string& bmpPath, const std::string& pngPath);
