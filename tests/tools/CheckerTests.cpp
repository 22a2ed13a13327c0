// The product check: each finding produced by a product that differs from a clean one in one
// place, with the exact line printed; and the sample product checks clean.

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "common/CommonUtils.h"
#include "common/Version.h"
#include "setupdata/ArchiveFormat.h"
#include "tests/setupdata/ArchiveBuilder.h"
#include "tests/support/TestFolder.h"
#include "tools/setuppack/Checker.h"
#include "tools/setuppack/Packer.h"

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
// several lines); with Line 0, the file File written with Text, or removed when Text is null;
// with Link, File made a symbolic link to Text; with Huge, File made a sparse file of Text MiB;
// with Pe, File made a Windows binary as Text says ("dll 386 Register": kind, processor, exports).
enum { Link = -1, Huge = -2, Pe = -3 };
struct TEdit {
    const char* File;
    int Line;
    const char* Text;
};

struct TCase {
    std::vector<TEdit> Edits;
    std::string Expected; // the findings' lines, joined by line feeds
    const char* Version = "5.04";
    // The base product packed first, as version 5.00, into Old.dat: the case's --previous.
    bool Previous = false;
};

// A folder one level deeper than the archive takes, and its finding.
std::string Nested(int levels) {
    std::string path = "Program";
    for (int i = 0; i < levels; ++i)
        path += "/d";
    return path;
}
const std::string TooDeep = Nested(64) + "/x";
// A file whose installed path is one character over Windows' limit.
// (34 characters of "C:\\Program Files\\Vendor\\Velmora 5\\", four folders of 51, a name of 22.)
const std::string LongPath = std::string(50, 'a') + "\\" + std::string(50, 'b') + "\\" +
                             std::string(50, 'c') + "\\" + std::string(50, 'd') + "\\" + std::string(22, 'n');
const std::string LongName = "Program/" + ReplaceAll(LongPath, "\\", "/");
// 242 characters: within 40 of the limit.
const std::string NearPath = LongPath.substr(0, LongPath.size() - 22) + "near";
const std::string NearName = "Program/" + ReplaceAll(NearPath, "\\", "/");
const std::string VersionAdvice =
    ", the version the setup program would install and register; write it as it reads (5.04, 5.04 beta 2, "
    "5.04 (press preview), 5.04 beta 12 (press preview))";

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
     "Setup.ini:2: error: a bundle needs ProductName or ProductSuffix: without both its uninstall entry has "
     "no "
     "name and would be the list of installed programs itself"},
    {{{"Setup.ini", 4, "DefaultFolder=Vendor\\Velmora %s"}},
     "Setup.ini:4: error: DefaultFolder: Format 'Vendor\\Velmora %s' invalid or incompatible with argument"},
    {{}, "error: product version: 'x.y' is not a valid version number", "x.y"},
    {{},
     "error: product version 5.70 cannot be a time of day (5.04 stands for 05:04); pack needs --time",
     "5.70"},
    {{{"Setup.ini", 1, Bundle}, {"BundleInfo.ini", 0, "Reverb=1.x,Velmora Reverb"}},
     "BundleInfo.ini:1: error: item \"Reverb\": '1.x' is not a valid version number"},
    {{{"Setup.ini", 1, Bundle}, {"BundleInfo.ini", 0, "Reverb=1.70,Velmora Reverb"}},
     "BundleInfo.ini:1: error: item \"Reverb\": version 1.70 cannot be a time of day: the setup program "
     "stops "
     "with \"Invalid argument to time encode\""},
    {{{"Setup.ini", 1, Bundle},
      {"Setup.ini", 10, "Program=$ProgramFolder\n$BundleItem=$ProgramFolder\\Items"}},
     "Setup.ini:13: error: bundle item \"Reverb\" has no component folder \"Reverb\""},
    {{{"Setup.ini", 10, "Program=$ProgramFolder\nProgram=Velmora"}},
     "Setup.ini:11: error: [Components] destination \"Velmora\" can never be an absolute path: it starts "
     "with no "
     "folder symbol, drive or network share"},
    // A component, its option, a file, a shortcut and the finish page's target with accented
    // names (Windows-1252 in the setup files, UTF-8 on the disk): the plan installs them where
    // the lines name them. So does an accented bundle item from its folder.
    {{{"Setup.ini", 8, "Readme=$ProgramFolder\\Pr\xE9sets\\Caf\xE9.txt"},
      {"Setup.ini", 10, "Program=$ProgramFolder\nPr\xE9sets=$ProgramFolder\\Pr\xE9sets"},
      {"Setup.ini", 12, "Pr\xE9sets=NoOverwrite"},
      {"Setup.ini", 16, "StartMenu=$ProgramFolder\\Pr\xE9sets\\Caf\xE9.txt,Caf\xE9"},
      {"Pr\xC3\xA9sets/Caf\xC3\xA9.txt", 0, "x"}},
     ""},
    {{{"Setup.ini", 1, Bundle},
      {"Setup.ini", 10, "Program=$ProgramFolder\n$BundleItem=$ProgramFolder\\Items"},
      {"BundleInfo.ini", 0, "R\xE9verb=1.02,Velmora R\xE9verb"},
      {"R\xC3\xA9verb/Reverb.dll", 0, "x"}},
     ""},
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
     "Setup.ini:14: warning: \"$ProgramFolder\\Plugins\\Velmora.dll\" names a file that no component "
     "installs"},
    {{{"Setup.ini", 14, "Register=Velmora.dll"}},
     "Setup.ini:14: warning: library \"Velmora.dll\" is given without a folder: the setup program loads a "
     "bare "
     "name from the Windows system folder only, never from the product; give its full path, as "
     "$ProgramFolder\\Velmora.dll"},
    {{{"Setup.ini", 2, "ProductNmae=Velmora"}},
     "Setup.ini:2: warning: key \"ProductNmae\" in [Setup] is not read"},
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
    {{{"Setup.ini", 12, "program=NoOverwrite"}},
     "Setup.ini:12: warning: no [Components] line names \"program\" as written here (letter case counts): "
     "the "
     "option has no effect"},
    {{{"Setup.ini", 16, "Startmenu=$ProgramFolder\\Velmora.exe,$ProductName"}},
     "Setup.ini:16: warning: shortcut location \"Startmenu\" is not StartMenu, Desktop or ProgramFolder: no "
     "shortcut is made"},
    {{{"Setup.lic", 0, "License\r\n\xE2\x86\x92 Caf\xC3\xA9"}},
     "Setup.lic:2: warning: UTF-8 text, not Windows-1252: the setup program shows its accented letters "
     "garbled"},
    {{{"Setup.lic", 0, "Caf\xE9\r\nA\x81"}}, "Setup.lic:2: warning: not Windows-1252 text"},
    {{{"Setup.ini", 2, "ProductName=Velmora\nproductname=Velmora 2"}},
     "Setup.ini:2: warning: key \"ProductName\" in [Setup] is given again on line 3; this line is not read"},
    {{{"Setup.ini", 2, "Produkt\xE9=Velmora"}},
     "Setup.ini:2: warning: key \"Produkt\xC3\xA9\" in [Setup] is not read"},

    // The files as pack and Windows take them.
    {{{"Program/AUX.txt", 0, "x"}},
     "Program/AUX.txt: error: the name cannot be used for a file on Windows: AUX is a device name in every "
     "folder"},
    {{{"Program/velmora.exe", 0, "x"}},
     "Program/velmora.exe: error: differs from \"Velmora.exe\" only in letter case: Windows takes both for "
     "one "
     "name, and one overwrites the other"},
    {{{TooDeep.c_str(), 0, "x"}}, Nested(64) + ": error: lies deeper than 64 folders"},
    {{{"Program/Big.bin", Huge, "2048"}},
     "Program/Big.bin: error: is 2 GiB or larger: the setup data cannot hold it"},
    {{{"Program/A.bin", Huge, "1100"}, {"Program/B.bin", Huge, "1100"}},
     "warning: the product's files total 2.1 GiB: pack refuses them unless they compress below 2 GiB"},
    {{{"Program/Gone.txt", Link, "Missing.txt"}},
     "Program/Gone.txt: error: is neither a file nor a folder (a broken link, a pipe or a device)"},
    {{{"Program/Link.txt", Link, "Readme.txt"}},
     "Program/Link.txt: warning: is a symbolic link: it is packed as a copy of what it points to"},
    {{{"Empty/.keep", 0, ""}, {"Setup.ini", 10, "Program=$ProgramFolder\nEmpty=$ProgramFolder"}},
     "Empty: warning: component folder holds no file (a .keep at most): nothing is installed from it"},
    {{{"Program/.DS_Store", 0, "x"}},
     "Program/.DS_Store: warning: is a version-control or system file: it is packed (and, in a component, "
     "installed) like any other; leave it out of the product folder"},

    // Versions that do not read back as written.
    {{}, "error: product version: '1.20b2' reads as 1.20" + VersionAdvice, "1.20b2"},
    {{{"Setup.ini", 1, Bundle}, {"BundleInfo.ini", 0, "Reverb=1.02 beta 123,Velmora Reverb"}},
     "BundleInfo.ini:1: error: item \"Reverb\": '1.02 beta 123' reads as 1.02 beta 12" + VersionAdvice},

    // Values, not only keys.
    {{{"Setup.ini", 6, "PhotoshopPluginFolder=1 ; on"}},
     "Setup.ini:6: warning: PhotoshopPluginFolder \"1 ; on\" is not a number: the setup program takes 0, the "
     "default; write 0 or 1 (there are no comments after a value)"},
    {{{"Setup.ini", 2, "ProductName=Velmora\nIsBundle=yes"}},
     "Setup.ini:3: error: IsBundle \"yes\" is not a number: the setup program takes 0, a plain product, not "
     "a "
     "bundle; write 0 or 1"},
    {{{"Setup.ini", 3, "RegistryRoot=HKLM\\Software\\Vendor\\Velmora"}},
     "Setup.ini:3: error: registry path \"HKLM\\Software\\Vendor\\Velmora\" begins with the hive name HKLM: "
     "the "
     "setup program chooses the hive itself and takes the whole path below it, HKLM as a key; leave "
     "\"HKLM\\\" "
     "out"},
    {{{"Setup.ini", 4, "DefaultFolder=C:\\Program Files\\Vendor\\Velmora %d"}},
     "Setup.ini:4: error: DefaultFolder \"C:\\Program Files\\Vendor\\Velmora %d\" is a full path, but the "
     "setup "
     "program puts it below the Program Files folder; give it relative to that folder, as \"Vendor\\Velmora "
     "%d\""},
    {{{"Setup.ini", 9, "[Component]"}},
     "Setup.ini:9: error: section [Component] is not read, so no component is installed: the setup program "
     "would "
     "install nothing; did you mean [Components]?"},
    {{{"Setup.ini", 5, "[Page]"}}, "Setup.ini:5: warning: section [Page] is not read; did you mean [Pages]?"},
    {{{"Setup.ini", 10, "Program=$ProgramFolder\\$BundleItem"}},
     "Setup.ini:9: error: no component installs a file: the setup program would install nothing"},

    // Encodings, and the file a finding comes from.
    {{{"Setup.ini", 1, "\xEF\xBB\xBF[Setup]"}},
     "Setup.ini:1: error: a UTF-8 byte-order mark begins the file: the setup program reads it as part of "
     "\"[Setup]\"; save the file as Windows-1252, without the mark"},
    {{{"Setup.lic", 0, "\xEF\xBB\xBFLicense"}},
     "Setup.lic:1: warning: a UTF-8 byte-order mark begins the file: the setup program takes it for three "
     "characters of the first line; save the file as Windows-1252, without the mark"},
    {{{"Setup.lic", 0, "\xFF\xFEL"}},
     "Setup.lic: error: UTF-16 text: the setup program reads 8-bit text and shows this as garbage; save it "
     "as "
     "Windows-1252"},
    {{{"Setup.ini", 1, Bundle},
      {"Setup.ini", 10, "Program=$ProgramFolder\n$BundleItem=$ProgramFolder\\Items"},
      {"BundleInfo.ini", 0, "Reverb = 1.02,Velmora Reverb"},
      {"Reverb/Reverb.dll", 0, "x"}},
     "BundleInfo.ini:1: error: blank around \"=\" or \",\": the item's name would be \"Reverb \"; write "
     "NAME=VERSION,PRODUCT NAME without blanks around \"=\" and \",\""},
    // The plan: two items at one path, Windows' path limit, destinations, choices.
    {{{"Setup.ini", 10, "Program=$ProgramFolder\nCopy=$ProgramFolder"}, {"Copy/Velmora.exe", 0, "x"}},
     "Setup.ini:11: error: installs \"C:\\Program Files\\Vendor\\Velmora 5\\Velmora.exe\", which line 10 "
     "installs too: one overwrites the other"},
    // Windows takes the names for one file: accented letters fold as A to Z do.
    {{{"Setup.ini", 10, "Program=$ProgramFolder\nCopy=$ProgramFolder"},
      {"Program/Caf\xC3\xA9.txt", 0, "x"},
      {"Copy/CAF\xC3\x89.txt", 0, "x"}},
     "Setup.ini:11: error: installs \"C:\\Program Files\\Vendor\\Velmora 5\\CAF\xC3\x89.txt\", which line 10 "
     "installs too: one overwrites the other"},
    {{{"Setup.ini", 10, "Program=$ProgramFolder\nVst3=$Vst3PluginFolder"},
      {"Vst3/Reverb.dll", 0, "x"},
      {"Vst3/Reverb.vst3", 0, "x"}},
     "Setup.ini:11: error: \"Vst3\\Reverb.dll\" and \"Vst3\\Reverb.vst3\" both become \"C:\\Program "
     "Files\\Common Files\\VST3\\Reverb.vst3\" (.dll is installed as .vst3 here): one overwrites the other"},
    {{{"Setup.ini", 16,
       "StartMenu=$ProgramFolder\\Velmora.exe,$ProductName\nStartMenu=$ProgramFolder\\Readme.txt,$"
       "ProductName"}},
     "Setup.ini:17: error: shortcut \"C:\\Users\\User\\AppData\\Roaming\\Microsoft\\Windows\\Start "
     "Menu\\Programs\\Velmora.lnk\" is made by line 16 too: one replaces the other"},
    {{{"Program/Uninst.exe", 0, "x"}},
     "Setup.ini:10: error: installs \"C:\\Program Files\\Vendor\\Velmora 5\\Uninst.exe\", which the "
     "uninstaller overwrites at the end of the installation"},
    {{{LongName.c_str(), 0, "x"}},
     "Setup.ini:10: error: \"C:\\Program Files\\Vendor\\Velmora 5\\" + LongPath +
         "\" is 260 characters long, over the 259 Windows takes: the installation stops half-way, without an "
         "uninstaller"},
    {{{"Setup.ini", 10, "Program=$ProgramFolder\nPresets=%Presets\n[Folders]\nPresets=Velmora\\Presets"},
      {"Presets/a.txt", 0, "x"}},
     "Setup.ini:11: error: destination \"%Presets\" becomes \"Velmora\\Presets\", which is not a full path: "
     "the "
     "installation stops with \"Invalid destination in Setup.ini\" before it copies anything"},
    {{{NearName.c_str(), 0, "x"}},
     "Setup.ini:10: warning: \"C:\\Program Files\\Vendor\\Velmora 5\\" + NearPath +
         "\" leaves 17 characters below the 259 Windows takes: a user who picks a deeper folder gets an "
         "installation that stops half-way"},
    {{{"Setup.ini", 10, "Program=$ProgramFolder\nExtra=$ProgramFolder\\..\\Extra"}, {"Extra/a.txt", 0, "x"}},
     "Setup.ini:11: error: destination \"$ProgramFolder\\..\\Extra\" climbs out of its folder with \"..\": "
     "the "
     "files land in \"C:\\Program Files\\Vendor\\Velmora 5\\..\\Extra\""},
    {{{"Setup.ini", 10, "Program=$ProgramFolder\nExtra=$ProgramFolder\\\\Extra"}, {"Extra/a.txt", 0, "x"}},
     "Setup.ini:11: warning: destination \"$ProgramFolder\\\\Extra\" has a doubled or \".\" separator after "
     "expansion; write each folder once"},
    // A final dot or blank, which Windows drops: the folder is Program's own "Extra", where the
    // two components' files meet.
    {{{"Setup.ini", 10, "Program=$ProgramFolder\nExtra=$ProgramFolder\\Extra. \\Sub"},
      {"Extra/a.txt", 0, "x"},
      {"Program/Extra/Sub/a.txt", 0, "y"}},
     "Setup.ini:11: error: installs \"C:\\Program Files\\Vendor\\Velmora 5\\Extra. \\Sub\\a.txt\", which "
     "line 10 "
     "installs too: one overwrites the other\n"
     "Setup.ini:11: warning: destination \"$ProgramFolder\\Extra. \\Sub\" has a name ending in a dot or a "
     "blank, which Windows drops: the files land in \"C:\\Program Files\\Vendor\\Velmora 5\\Extra\\Sub\""},
    {{{"Setup.ini", 6, "PhotoshopPluginFolder=1"}},
     "Setup.ini:6: warning: PhotoshopPluginFolder=1 shows a page whose choice installs nothing: no line uses "
     "its "
     "folder"},
    {{{"Setup.ini", 16,
       "StartMenu=$ProgramFolder\\Velmora.exe,$ProductName\n[InstalledFiles]\n5=Velmora.exe\n5=Bin\\Velmora."
       "exe\nv4=Velmora."
       "exe\n[FoldersRegistry]\nPresets=Folders\\Presets"}},
     "Setup.ini:19: warning: \"Bin\\Velmora.exe\" is not installed by this version: the next setup of major "
     "version "
     "5 does not find this installation, and installs beside it\n"
     "Setup.ini:20: warning: \"v4\" is not a major version number: this line is never used\n"
     "Setup.ini:22: warning: no [Folders] line names \"Presets\": this line is never used"},
    {{{"Setup.ini", 6, "Personalization=1"}},
     "Setup.ini:6: warning: the personalization page asks for a name that is never stored: [Setup] "
     "PersonalizeOwner is empty"},
    {{{"Setup.ini", 16, "StartMenu=$ProgramFolder\\Velmora.exe,$ProductName,/ini=$ProgramFolder\\x.ini"}},
     "Setup.ini:16: warning: \"$ProgramFolder\" is not expanded here and stays as written"},
    {{{"Setup.ini", 16, "StartMenu=$ProgramFolder\\Caf\xE9.exe,$ProductName"},
      {"Program/Caf\xC3\xA9.exe", 0, "x"}},
     ""},
    // Registry values written with another type or value than they suggest.
    {{{"Setup.ini", 16,
       "StartMenu=$ProgramFolder\\Velmora.exe,$ProductName\n[RegistrySettings]\nA=#4294967296\nB=#1.5\nC=7"}},
     "Setup.ini:18: warning: \"#4294967296\" is outside the 32-bit range (-2147483648 to 2147483647): it is "
     "written as the text \"#4294967296\"\n"
     "Setup.ini:19: warning: \"#1.5\" is not a whole number: it is written as the text \"#1.5\", not a "
     "number\n"
     "Setup.ini:20: warning: \"7\" is written as text, not as a number; write #7 for a 32-bit number "
     "(REG_DWORD)"},
    // Binaries, by what they are.
    {{{"Program/Velmora.dll", Pe, "dll 8664 Register"}},
     "Setup.ini:14: error: \"$ProgramFolder\\Velmora.dll\" is not a 32-bit DLL: the setup program is a "
     "32-bit "
     "program and never calls it"},
    {{{"Program/Velmora.dll", Pe, "exe 14c Register"}},
     "Setup.ini:14: error: \"$ProgramFolder\\Velmora.dll\" is a program, not a DLL: the setup program never "
     "calls it"},
    {{{"Program/Velmora.dll", Pe, "dll 14c Unregister"}},
     "Setup.ini:14: error: \"$ProgramFolder\\Velmora.dll\" does not export \"Register\": it is never called"},
    {{{"Program/Velmora.dll", Pe, "dll 14c Register"}}, ""},
    {{{"Setup.ini", 10, "Program=$ProgramFolder\nVst3=$Vst3PluginFolder"},
      {"Vst3/Reverb.dll", Pe, "dll 8664 VSTPluginMain"}},
     "Setup.ini:11: error: \"Vst3\\Reverb.dll\" is a VST 2 plug-in (it exports VSTPluginMain, not "
     "GetPluginFactory): in a VST 3 component it is renamed to .vst3 and no host loads it"},
    {{{"Setup.ini", 10, "Program=$ProgramFolder\nVst3=$Vst3PluginFolder"},
      {"Vst3/Helper.dll", Pe, "dll 8664 Help"}},
     "Setup.ini:11: warning: \"Vst3\\Helper.dll\" is no VST 3 plug-in (it does not export GetPluginFactory), "
     "but "
     "it is installed as .vst3 in a VST 3 component; install it elsewhere"},
    {{{"Setup.ini", 10, "Program=$ProgramFolder\nVst=$VstPluginFolder"},
      {"Vst/Reverb.dll", Pe, "dll 8664 GetPluginFactory"}},
     "Setup.ini:11: error: \"Vst\\Reverb.dll\" is a VST 3 plug-in (it exports GetPluginFactory, not "
     "VSTPluginMain): VST 2 hosts do not load it from this folder"},
    // Versions in another spelling of the same value.
    {{}, "warning: product version '5.4' reads as 5.40, the same version; write it as 5.40", "5.4"},
    // The last release's installation.
    {{{"Setup.ini", 3, "RegistryRoot=Software\\Vendor\\Velmora2"}},
     "Setup.ini:3: warning: this release does not find the installation of 5.00 that Old.dat leaves: "
     "RegistryRoot was Software\\Vendor\\Velmora, where it recorded its folder",
     "5.04",
     true},
    {{{"Program/Velmora.exe", 0, "xy"}},
     "Setup.ini:12: warning: NoOverwrite keeps \"C:\\Program Files\\Vendor\\Velmora 5\\Velmora.exe\" as 5.00 "
     "installed it, though this release brings another one (1 files in all)",
     "5.04",
     true},
};

void Write(const fs::path& path, const std::string& text) {
    fs::create_directories(path.parent_path());
    std::ofstream(path, std::ios::binary) << text;
}

// A Windows binary with only what the check reads: the PE headers, one section and, in it, the
// export table. description: "dll|exe MACHINE(hex) EXPORT...".
std::string MakePe(const std::string& description) {
    std::istringstream words(description);
    std::string kind, machineText, name;
    words >> kind >> machineText;
    std::vector<std::string> names;
    while (words >> name)
        names.push_back(name);
    const bool pe32 = std::stoul(machineText, nullptr, 16) == 0x14C;
    std::string file(0x400, '\0');
    const auto put = [&](size_t at, uint32_t value, int bytes) {
        if (file.size() < at + static_cast<size_t>(bytes))
            file.resize(at + static_cast<size_t>(bytes));
        for (int i = 0; i < bytes; ++i)
            file[at + static_cast<size_t>(i)] = static_cast<char>(value >> (8 * i));
    };
    file[0] = 'M', file[1] = 'Z';
    put(0x3C, 0x80, 4);
    file.replace(0x80, 4, std::string("PE\0\0", 4));
    const uint32_t optionalSize = pe32 ? 224 : 240;
    put(0x84, std::stoul(machineText, nullptr, 16), 2);
    put(0x86, 1, 2);
    put(0x94, optionalSize, 2);
    put(0x96, kind == "dll" ? 0x2002 : 0x0002, 2);
    put(0x98, pe32 ? 0x10B : 0x20B, 2);
    put(0x98 + (pe32 ? 96 : 112), 0x1000, 4); // the export table's address
    const size_t section = 0x98 + optionalSize;
    put(section + 8, 0x1000, 4);  // virtual size
    put(section + 12, 0x1000, 4); // virtual address
    put(section + 16, 0x400, 4);  // raw size
    put(section + 20, 0x400, 4);  // raw offset
    // At 0x400 (RVA 0x1000): the export directory, the name pointers at +0x40, the names at +0x80.
    put(0x400 + 24, static_cast<uint32_t>(names.size()), 4);
    put(0x400 + 32, 0x1040, 4);
    uint32_t at = 0x80;
    for (size_t i = 0; i < names.size(); ++i) {
        put(0x440 + 4 * i, 0x1000 + at, 4);
        file.resize(std::max<size_t>(file.size(), 0x400 + at + names[i].size() + 1));
        file.replace(0x400 + at, names[i].size(), names[i]);
        at += static_cast<uint32_t>(names[i].size()) + 1;
    }
    file.resize(std::max<size_t>(file.size(), 0x800));
    return file;
}

// The base product with the case's edits, checked.
std::vector<TDiagnostic> Diagnose(const TTestFolder& scratch, const TCase& test) {
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
    std::string previous;
    if (test.Previous) {
        std::string baseIni;
        for (const char* line : BaseIni)
            baseIni += std::string(line) + "\r\n";
        Write(product / "Setup.ini", baseIni);
        TPackOptions pack;
        pack.ProductFolder = product.string();
        pack.OutputPath = previous = scratch.PathOf("Old.dat");
        pack.Version.FromText("5.00");
        pack.BuildDate = Archive::EncodeDateTime(2024, 1, 1, 5, 0, 0);
        pack.Jobs = 1;
        PackProduct(pack);
    }
    Write(product / "Setup.ini", iniText);
    for (const TEdit& edit : test.Edits) {
        if (edit.Line == 0 && edit.Text != nullptr)
            Write(product / edit.File, edit.Text);
        else if (edit.Line == 0)
            fs::remove(product / edit.File);
        else if (edit.Line == Link)
            fs::create_symlink(edit.Text, product / edit.File);
        else if (edit.Line == Pe)
            Write(product / edit.File, MakePe(edit.Text));
        else if (edit.Line == Huge)
            fs::resize_file((Write(product / edit.File, ""), product / edit.File),
                            std::stoull(edit.Text) * 1024 * 1024);
    }

    TCheckOptions options;
    options.ProductFolder = product.string();
    options.VersionText = test.Version;
    options.PreviousSetup = previous;
    return CheckProduct(options);
}

// One formatted line per finding; the information on code pages is left out here.
std::string CheckCase(const TTestFolder& scratch, const TCase& test) {
    std::string lines;
    for (const TDiagnostic& diagnostic : Diagnose(scratch, test)) {
        if (diagnostic.Severity != TSeverity::Information)
            lines += (lines.empty() ? "" : "\n") + FormatDiagnostic(diagnostic);
    }
    return lines;
}

TEST(CheckerTest, EachFindingComesFromItsLine) {
    {
        TTestFolder scratch;
        EXPECT_EQ(CheckCase(scratch, {{}, ""}), "") << "the base product";
    }
    for (const TCase& test : Cases) {
        TTestFolder scratch;
        EXPECT_EQ(CheckCase(scratch, test), test.Expected);
    }
}

// Names and texts outside ASCII are told once, after the findings, as information: each with
// where it is (a name's folder, a line); an ASCII product has none.
TEST(CheckerTest, SaysOnceWhichNamesOlderSystemsCannotShow) {
    const TCase accented = {{{"Setup.ini", 16, "StartMenu=$ProgramFolder\\Caf\xE9.exe,$ProductName"},
                             {"Program/Caf\xC3\xA9.exe", 0, "x"},
                             {"Setup.ini", 12, "Program=nooverwrite"}},
                            ""};
    for (const TCase& test : {TCase{}, accented}) {
        TTestFolder scratch;
        const std::vector<TDiagnostic> found = Diagnose(scratch, test);
        size_t information = 0;
        for (const TDiagnostic& diagnostic : found)
            information += diagnostic.Severity == TSeverity::Information ? 1 : 0;
        EXPECT_EQ(information, test.Edits.empty() ? 0u : 1u);
        if (information == 0)
            continue;
        ASSERT_EQ(found.size(), 2u);
        EXPECT_EQ(found.front().Severity, TSeverity::Warning) << "the finding first";
        EXPECT_NE(found.back().Message.find(
                      "\"Caf\xC3\xA9.exe\" (Program), \"StartMenu=$ProgramFolder\\Caf\xC3\xA9.exe,"
                      "$ProductName\" (Setup.ini:16)"),
                  std::string::npos)
            << found.back().Message;
        EXPECT_EQ(FormatDiagnostic(found.back()).rfind("information: 2 names and texts have letters", 0), 0u);
    }
}

TEST(CheckerTest, TheSampleProductChecksClean) {
    TCheckOptions options;
    options.ProductFolder = SAMPLE_FOLDER;
    options.VersionText = "5.04";
    const std::vector<TDiagnostic> found = CheckProduct(options);
    for (const TDiagnostic& diagnostic : found)
        ADD_FAILURE() << FormatDiagnostic(diagnostic);
}

TEST(CheckerTest, WritesJsonForBuildScripts) {
    const std::vector<TDiagnostic> found = {{"Setup.ini", 3, TSeverity::Warning, "key \"A\\B\" in [Caf\xC3\xA9]"},
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
