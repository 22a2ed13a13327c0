// The binaries the plan installs, checked by what they are: a VST 3 component should hold VST 3
// plug-ins (only they get the .vst3 name), a VST 2 component no VST 3 plug-in, and each
// [CallLibraries] entry a 32-bit DLL of the product that exports the named function.

#include "tools/setuppack/CheckContext.h"

#include "common/CommonUtils.h"
#include "common/IniFile.h"
#include "common/Path.h"
#include "common/TextEncoding.h"
#include "tools/setuppack/PeImage.h"
#include "tools/setuppack/ToolData.h"

namespace Checking {

namespace {

// The entry points the hosts look up: VST 3's factory, VST 2's main (VSTPluginMain, or "main"
// in plug-ins of the format's first years).
bool IsVst3Plugin(const TPeImage& image) {
    return image.HasExport("GetPluginFactory");
}
bool IsVst2Plugin(const TPeImage& image) {
    return image.HasExport("VSTPluginMain") || image.HasExport("main");
}

} // namespace

void TChecker::CheckBinaries() {
    const TPlan& plan = Plans.front();
    std::map<std::string, const TPlanItem*> files; // by FileNameKey
    for (const TPlanItem& item : plan.Items) {
        if (item.Kind != pkFile)
            continue;
        files.emplace(FileNameKey(item.Path, CodePageUtf8), &item);
        if (!SameText(FileExtension(item.Source), ".dll") || item.Line < 0)
            continue;
        const std::string destination = LineValue(Setup->Components[static_cast<size_t>(item.Line)]);
        const bool vst3 = TSetupInstaller::IsVst3Component(destination);
        const bool vst2 = destination.find("$VstPluginFolder") != std::string::npos;
        if (!vst2 && !vst3)
            continue;
        const std::optional<TPeImage> image =
            ReadPeImage(ReadWholeFile(ProductPath(item.Source)).value_or(std::string()));
        if (!image || !image->IsDll)
            continue;
        const int line = ListLine("Components", item.Line);
        if (vst3 && !IsVst3Plugin(*image))
            ReportOnce(SetupIni, line, IsVst2Plugin(*image) ? fnVst2InVst3Folder : fnNotVst3Renamed,
                       item.Source);
        else if (vst2 && IsVst3Plugin(*image) && !IsVst2Plugin(*image))
            ReportOnce(SetupIni, line, fnVst3InVst2Folder, item.Source);
    }
    for (const TPlanLibrary& library : plan.Libraries) {
        const auto file = files.find(FileNameKey(library.Path, CodePageUtf8));
        if (file == files.end())
            continue;
        // A file that is no Windows binary at all (a placeholder in a test product) is left alone.
        const std::optional<TPeImage> image =
            ReadPeImage(ReadWholeFile(ProductPath(file->second->Source)).value_or(std::string()));
        const int line = ListLine("CallLibraries", library.Line);
        const std::string raw = LineValue(Setup->CallLibraries[static_cast<size_t>(library.Line)]);
        if (!image)
            continue;
        if (!image->IsDll)
            ReportOnce(SetupIni, line, fnLibraryNotDll, raw);
        else if (image->Machine != TPeImage::MachineI386)
            ReportOnce(SetupIni, line, fnLibrary64Bit, raw);
        else if (!image->HasExport(library.Export))
            ReportOnce(SetupIni, line, fnLibraryNoExport, raw, library.Export);
    }
}

} // namespace Checking
