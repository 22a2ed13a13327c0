#include "tools/setuppack/PlanOutput.h"

#include <set>
#include <sstream>

#include "tools/setuppack/Json.h"

namespace {

const char* RootName(TRegistryRoot root) {
    return root == rrLocalMachine ? "HKEY_LOCAL_MACHINE" : "HKEY_CURRENT_USER";
}

std::string KeyPath(const TPlanValue& value) {
    std::string path = RootName(value.Root);
    if (value.Key.rfind('\\', 0) != 0)
        path += '\\';
    path += value.Key;
    return path;
}

// One line per item, value and library, for the text and for the differences. (Written into a
// stream: GCC 12 takes chains of string additions for overlapping copies.)
std::vector<std::string> Lines(const TPlan& plan) {
    std::vector<std::string> lines;
    for (const TPlanItem& item : plan.Items) {
        std::ostringstream line;
        switch (item.Kind) {
        case pkFolder:
            line << "folder    " << item.Path;
            break;
        case pkFile:
            line << "file      " << item.Path << "  <- " << item.Source << (item.Renamed ? " (renamed)" : "")
                 << (item.Kept          ? " (kept: the file there stays)"
                     : item.NoOverwrite ? " (kept when there)"
                                        : "");
            break;
        case pkShortcut:
            line << "shortcut  " << item.Path << "  -> " << item.Source;
            if (!item.Arguments.empty())
                line << " " << item.Arguments;
            if (item.IconIndex != 0)
                line << ", icon " << item.IconIndex;
            break;
        case pkUninstaller:
            line << "uninstall " << item.Path;
            break;
        }
        lines.push_back(line.str());
    }
    for (const TPlanValue& value : plan.Values) {
        std::ostringstream line;
        line << "registry  " << KeyPath(value) << "  " << (value.Name.empty() ? "(default)" : value.Name)
             << " = " << (value.IsInteger ? "REG_DWORD " : "REG_SZ ")
             << (value.IsInteger ? std::to_string(value.Number) : value.Text);
        lines.push_back(line.str());
    }
    for (const TPlanLibrary& library : plan.Libraries) {
        std::ostringstream line;
        line << "library   " << library.Path << "  calls " << library.Export;
        lines.push_back(line.str());
    }
    return lines;
}

} // namespace

std::string PlanText(const std::vector<TPlan>& plans) {
    std::ostringstream text;
    if (plans.empty())
        return std::string();
    text << "With the default choices:\n";
    for (const std::string& line : Lines(plans.front()))
        text << "  " << line << "\n";
    text << "  install log (" << plans.front().Log.size() << " entries, removed in reverse):\n";
    for (const std::string& entry : plans.front().Log)
        text << "    " << entry << "\n";
    const std::vector<std::string> standard = Lines(plans.front());
    const std::set<std::string> standardSet(standard.begin(), standard.end());
    for (size_t index = 1; index < plans.size(); ++index) {
        const std::vector<std::string> lines = Lines(plans[index]);
        const std::set<std::string> set(lines.begin(), lines.end());
        text << "\n" << plans[index].Choice.Name << ":\n";
        bool any = false;
        for (const std::string& line : standard) {
            if (set.count(line) == 0)
                text << "  - " << line << "\n", any = true;
        }
        for (const std::string& line : lines) {
            if (standardSet.count(line) == 0)
                text << "  + " << line << "\n", any = true;
        }
        if (!any)
            text << "  the same as the default\n";
    }
    return text.str();
}

std::string PlanJson(const std::vector<TPlan>& plans) {
    std::ostringstream json;
    const auto list = [&](const char* name, const auto& items, const auto& write, bool last = false) {
        json << "      " << JsonString(name) << ": [";
        bool first = true;
        for (const auto& item : items) {
            if (!write(item, first))
                continue;
            first = false;
        }
        json << (first ? "]" : "\n      ]") << (last ? "\n" : ",\n");
    };
    const auto open = [&](bool& first) {
        json << (first ? "\n" : ",\n") << "        ";
        return true;
    };
    json << "{\"plans\": [";
    for (size_t index = 0; index < plans.size(); ++index) {
        const TPlan& plan = plans[index];
        json << (index == 0 ? "\n" : ",\n") << "    {\n      \"choice\": " << JsonString(plan.Choice.Name)
             << ",\n";
        list("folders", plan.Items, [&](const TPlanItem& item, bool& first) {
            if (item.Kind != pkFolder)
                return false;
            open(first);
            json << "{\"path\": " << JsonString(item.Path) << "}";
            return true;
        });
        list("files", plan.Items, [&](const TPlanItem& item, bool& first) {
            if (item.Kind != pkFile)
                return false;
            open(first);
            json << "{\"path\": " << JsonString(item.Path) << ", \"source\": " << JsonString(item.Source)
                 << ", \"size\": " << item.Size << ", \"renamed\": " << (item.Renamed ? "true" : "false")
                 << ", \"noOverwrite\": " << (item.NoOverwrite ? "true" : "false")
                 << ", \"kept\": " << (item.Kept ? "true" : "false")
                 << ", \"item\": " << JsonString(item.Item) << "}";
            return true;
        });
        list("shortcuts", plan.Items, [&](const TPlanItem& item, bool& first) {
            if (item.Kind != pkShortcut)
                return false;
            open(first);
            json << "{\"path\": " << JsonString(item.Path) << ", \"target\": " << JsonString(item.Source)
                 << ", \"arguments\": " << JsonString(item.Arguments) << ", \"icon\": " << item.IconIndex
                 << "}";
            return true;
        });
        for (const TPlanItem& item : plan.Items) {
            if (item.Kind == pkUninstaller)
                json << "      \"uninstaller\": " << JsonString(item.Path) << ",\n";
        }
        list("registry", plan.Values, [&](const TPlanValue& value, bool& first) {
            open(first);
            json << "{\"root\": " << JsonString(RootName(value.Root))
                 << ", \"key\": " << JsonString(value.Key) << ", \"name\": " << JsonString(value.Name)
                 << ", \"type\": " << (value.IsInteger ? "\"REG_DWORD\"" : "\"REG_SZ\"") << ", \"data\": "
                 << (value.IsInteger ? std::to_string(value.Number) : JsonString(value.Text)) << "}";
            return true;
        });
        list("libraries", plan.Libraries, [&](const TPlanLibrary& library, bool& first) {
            open(first);
            json << "{\"path\": " << JsonString(library.Path)
                 << ", \"export\": " << JsonString(library.Export) << "}";
            return true;
        });
        list(
            "log", plan.Log,
            [&](const std::string& entry, bool& first) {
                open(first);
                json << JsonString(entry);
                return true;
            },
            true);
        json << "    }";
    }
    json << (plans.empty() ? "]}\n" : "\n]}\n");
    return json.str();
}
