// The product check: each finding produced by a product that differs from a clean one in one
// place, with the exact line printed; and the sample product checks clean.

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <vector>

#include "tests/setupdata/ArchiveBuilder.h"
#include "tests/support/TestFolder.h"
#include "tools/setuppack/Checker.h"

namespace fs = std::filesystem;

namespace {

// Clean; the numbers are the lines the table below edits.
const char* const BaseIni[] = {
    "[Setup]",                                           // 1
    "ProductName=Velmora",                               // 2
    "RegistryRoot=Software\\Vendor\\Velmora",            // 3
    "DefaultFolder=Vendor\\Velmora %d",                  // 4
    "[Pages]",                                           // 5
    "PhotoshopPluginFolder=0",                           // 6
    "[Complete]",                                        // 7
    "Readme=$ProgramFolder\\Readme.txt",                 // 8
    "[Components]",                                      // 9
    "Program=$ProgramFolder",                            // 10
    "[ComponentsOptions]",                               // 11
    "Program=NoOverwrite",                               // 12
    "[CallLibraries]",                                   // 13
    "Register=$ProgramFolder\\Velmora.dll",              // 14
    "[Shortcuts]",                                       // 15
    "StartMenu=$ProgramFolder\\Velmora.exe,$ProductName", // 16
};

const char* const Bundle = "[Setup]\nIsBundle=1\nBundleRegistryRoot=Software\\Vendor\\Items";

// One change to the base product: Setup.ini's line Line replaced by Text (which may hold
// several lines); with Line 0, the file File written with Text, or removed when Text is null.
struct TEdit {
    const char* File;
    int Line;
    const char* Text;
};

struct TCase {
    std::vector<TEdit> Edits;
    const char* Expected;
    const char* Version = "5.04";
};

const TCase Cases[] = {
    // Errors.
    {{{"Setup.ini", 0, nullptr}}, "Setup.ini: error: required file is missing"},
    {{{"Setup.lic", 0, nullptr}}, "Setup.lic: error: required file is missing"},
    {{{"Setup.jpg", 0, nullptr}}, "Setup.jpg: error: required file is missing"},
    {{{"Setup.jpg", 0, "no picture"}},
     "Setup.jpg: error: not a picture the setup program can show: Not a JPEG file: starts with 0x6e 0x6f"},
    {{{"BundleInfo.ini", 0, nullptr}, {"Setup.ini", 1, Bundle}},
     "Setup.ini:2: error: IsBundle=1, but BundleInfo.ini is missing"},
    {{{"Setup.ini", 3, ""}},
     "Setup.ini:1: error: [Setup] RegistryRoot is missing or empty: the setup program stops with \"Invalid "
     "configuration in Setup.ini\""},
    {{{"Setup.ini", 4, "DefaultFolder="}},
     "Setup.ini:4: error: [Setup] DefaultFolder is missing or empty: the setup program stops with \"Invalid "
     "configuration in Setup.ini\""},
    {{{"Setup.ini", 1, "[Setup]\nIsBundle=1"}},
     "Setup.ini:1: error: [Setup] BundleRegistryRoot is missing or empty: the setup program stops with "
     "\"Invalid configuration in Setup.ini\""},
    {{{"Setup.ini", 1, Bundle}, {"Setup.ini", 2, "ProductName="}},
     "Setup.ini:2: error: a bundle needs ProductName or ProductSuffix: without both its uninstall entry has no "
     "name and would be the list of installed programs itself"},
    {{{"Setup.ini", 4, "DefaultFolder=Vendor\\Velmora %s"}},
     "Setup.ini:4: error: DefaultFolder: Format 'Vendor\\Velmora %s' invalid or incompatible with argument"},
    {{}, "error: product version: 'x.y' is not a valid version number", "x.y"},
    {{}, "error: product version 5.70 cannot be a time of day (5.04 stands for 05:04); pack needs --time", "5.70"},
    {{{"Setup.ini", 1, Bundle}, {"BundleInfo.ini", 0, "Reverb=1.x,Velmora Reverb"}},
     "BundleInfo.ini:1: error: item \"Reverb\": '1.x' is not a valid version number"},
    {{{"Setup.ini", 1, Bundle}, {"BundleInfo.ini", 0, "Reverb=1.70,Velmora Reverb"}},
     "BundleInfo.ini:1: error: item \"Reverb\": version 1.70 cannot be a time of day: the setup program stops "
     "with \"Invalid argument to time encode\""},
    {{{"Setup.ini", 1, Bundle}, {"Setup.ini", 10, "Program=$ProgramFolder\n$BundleItem=$ProgramFolder\\Items"}},
     "Setup.ini:13: error: bundle item \"Reverb\" has no component folder \"Reverb\""},
    {{{"Setup.ini", 10, "Program=$ProgramFolder\nProgram=Velmora"}},
     "Setup.ini:11: error: [Components] destination \"Velmora\" can never be an absolute path: it starts with no "
     "folder symbol, drive or network share"},
    // Warnings.
    {{{"Setup.ini", 10, "Program=$ProgramFolder\nDocs=$ProgramFolder"}},
     "Setup.ini:11: warning: [Components] folder \"Docs\" is not in the product folder"},
    {{{"Extra/Notes.txt", 0, "x"}},
     "Setup.ini:9: warning: folder \"Extra\" is packed but never installed: no [Components] line names it"},
    {{{"Setup.ini", 10, "Program=$ProgramFolder\nProgram=$PhotoshopPluginFolder\\Velmora"}},
     "Setup.ini:11: warning: $PhotoshopPluginFolder is never set: its page is off and nothing detects it, so "
     "this line never takes effect"},
    {{{"Setup.ini", 8, "Readme=$ProgamFolder\\Readme.txt"}},
     "Setup.ini:8: warning: \"$ProgamFolder\" is not expanded here and stays as written"},
    {{{"Setup.ini", 10, "Program=$ProgramFolder\nProgram=%Presets"}},
     "Setup.ini:11: warning: \"%Presets\" is not expanded here and stays as written"},
    {{{"Setup.ini", 16, "StartMenu=$ProgramFolder\\Velmora.exe,$ProductNam"}},
     "Setup.ini:16: warning: \"$ProductNam\" is not expanded here and stays as written"},
    {{{"Setup.ini", 16, "StartMenu=$ProgramFolder\\Velmora.ex,$ProductName"}},
     "Setup.ini:16: warning: \"$ProgramFolder\\Velmora.ex\" names a file that no component installs"},
    {{{"Setup.ini", 8, "Readme=$ProgramFolder\\ReadMe.txt\nProduct=$ProgramFolder\\Velmora.com"}},
     "Setup.ini:9: warning: \"$ProgramFolder\\Velmora.com\" names a file that no component installs"},
    {{{"Setup.ini", 14, "Register=$ProgramFolder\\Plugins\\Velmora.dll"}},
     "Setup.ini:14: warning: \"$ProgramFolder\\Plugins\\Velmora.dll\" names a file that no component installs"},
    {{{"Setup.ini", 14, "Register=Velmora.dll"}},
     "Setup.ini:14: warning: library \"Velmora.dll\" is given without a folder; libraries are loaded by full "
     "path only"},
    {{{"Setup.ini", 2, "ProductNmae=Velmora"}}, "Setup.ini:2: warning: key \"ProductNmae\" in [Setup] is not read"},
    {{{"Setup.ini", 2, "ProductName=Velmora\nVelmora"}},
     "Setup.ini:3: warning: line \"Velmora\" in [Setup] is not Name=Value and is not read"},
    {{{"Setup.ini", 16, "StartMenu=$ProgramFolder\\Velmora.exe,$ProductName\n[Extras]"}},
     "Setup.ini:17: warning: section [Extras] is not read"},
    {{{"Setup.ini", 2, "ProductName=Velmora\nProductName=Velmora 2"}},
     "Setup.ini:2: warning: key \"ProductName\" in [Setup] is given again on line 3; this line is not read"},
    {{{"Setup.ini", 16, "StartMenu=$ProgramFolder\\Velmora.exe,$ProductName\n[Pages]"}},
     "Setup.ini:5: warning: section [Pages] is given again on line 17; this one is not read"},
    {{{"Setup.ini", 12, "Program=nooverwrite"}},
     "Setup.ini:12: warning: option \"nooverwrite\" has no effect: the only option is NoOverwrite"},
    {{{"Setup.ini", 16, "Startmenu=$ProgramFolder\\Velmora.exe,$ProductName"}},
     "Setup.ini:16: warning: shortcut location \"Startmenu\" is not StartMenu, Desktop or ProgramFolder: no "
     "shortcut is made"},
    {{{"Setup.lic", 0, "License\r\n\xE2\x86\x92 Caf\xC3\xA9"}},
     "Setup.lic:2: warning: UTF-8 text, not Windows-1252: the setup program shows its accented letters garbled"},
    {{{"Setup.lic", 0, "Caf\xE9\r\nA\x81"}}, "Setup.lic:2: warning: not Windows-1252 text"},
};

void Write(const fs::path& path, const std::string& text) {
    fs::create_directories(path.parent_path());
    std::ofstream(path, std::ios::binary) << text;
}

// The base product with the case's edits, checked; one formatted line per finding.
std::vector<std::string> CheckCase(const TTestFolder& scratch, const TCase& test) {
    const fs::path product = fs::path(scratch.PathOf("product"));
    Write(product / "Setup.lic", "License");
    fs::copy_file(fs::path(SAMPLE_FOLDER) / "Setup.jpg", product / "Setup.jpg");
    Write(product / "BundleInfo.ini", "Reverb=1.02,Velmora Reverb");
    for (const char* file : {"Velmora.exe", "Velmora.dll", "Readme.txt"})
        Write(product / "Program" / file, "x");
    std::vector<std::string> ini(std::begin(BaseIni), std::end(BaseIni));
    for (const TEdit& edit : test.Edits) {
        if (edit.Line > 0)
            ini[static_cast<size_t>(edit.Line - 1)] = edit.Text;
    }
    std::string iniText;
    for (const std::string& line : ini)
        iniText += line + "\r\n";
    Write(product / "Setup.ini", iniText);
    for (const TEdit& edit : test.Edits) {
        if (edit.Line == 0 && edit.Text != nullptr)
            Write(product / edit.File, edit.Text);
        else if (edit.Line == 0)
            fs::remove(product / edit.File);
    }

    std::vector<std::string> lines;
    for (const TDiagnostic& diagnostic : CheckProduct({product.string(), test.Version, false}))
        lines.push_back(FormatDiagnostic(diagnostic));
    return lines;
}

TEST(CheckerTest, EachFindingComesFromItsLine) {
    {
        TTestFolder scratch;
        EXPECT_EQ(CheckCase(scratch, {{}, ""}), std::vector<std::string>()) << "the base product";
    }
    for (const TCase& test : Cases) {
        TTestFolder scratch;
        EXPECT_EQ(CheckCase(scratch, test), std::vector<std::string>{test.Expected});
    }
}

TEST(CheckerTest, TheSampleProductChecksClean) {
    const std::vector<TDiagnostic> found = CheckProduct({SAMPLE_FOLDER, "5.04", false});
    for (const TDiagnostic& diagnostic : found)
        ADD_FAILURE() << FormatDiagnostic(diagnostic);
}

TEST(CheckerTest, WritesJsonForBuildScripts) {
    const std::vector<TDiagnostic> found = {{"Setup.ini", 3, TSeverity::Warning, "key \"A\\B\" in [Caf\xE9]"},
                                            {"", 0, TSeverity::Error, "bad"}};
    EXPECT_EQ(DiagnosticsJson(found),
              "[\n"
              "  {\"file\": \"Setup.ini\", \"line\": 3, \"severity\": \"warning\", \"message\": \"key \\\"A\\\\B\\\" "
              "in [Caf\xC3\xA9]\"},\n"
              "  {\"file\": null, \"line\": null, \"severity\": \"error\", \"message\": \"bad\"}\n"
              "]\n");
    EXPECT_EQ(DiagnosticsJson({}), "[]\n");
}

} // namespace
