// Bundle items (TSetupBundleItem) and the date (ItemFileDate) that stamps an item's files with
// its version. Portable.
#pragma once

#include <cstdint>
#include <string>

#include "common/Version.h"

class TSetupInstaller;

// One item of a bundle: a separately versioned part of the product (a plug-in of a product
// line, say) that the user may choose to install.
class TSetupBundleItem {
public:
    // Builds the item of one BundleInfo.ini line. Raises EProgramVersionError for a version
    // text that is not a version, and Exception "Invalid argument to time encode" for a version
    // that is no time of day (see ItemFileDate).
    TSetupBundleItem(const TSetupInstaller& installer, const std::string& productName,
                     const std::string& versionText, const std::string& name);

    std::string Caption;       // BundleItemName, a blank, the version text; "$BundleItem" = Name
    uint32_t FileDate = 0;     // packed DOS date-time of the item's installed files
    bool Selected = true;
    std::string Name;          // value of "$BundleItem"
    std::string ItemProductName; // value of "$BundleItemProductName"
    TProgramVersion Version;

    // text with every "$BundleItem" replaced by Name (letter case significant).
    std::string ExpandItemName(const std::string& text) const;
};

// The date of an item's files: the archive's date (a packed DOS date-time, local time) plus the
// version's time of day (VersionTimeOfDay), so that the file time reads as the version (1.02
// adds 01:02). The sum may pass into the next day. Raises Exception "Invalid argument to time
// encode" when the version is no time of day and "Invalid argument to date encode" when the
// archive's date is no calendar date. A sum outside the years 1980 to 2107 gives 0.
uint32_t ItemFileDate(uint32_t archiveFileDate, const TProgramVersion& version);
