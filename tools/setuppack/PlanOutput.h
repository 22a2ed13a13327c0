// The plan of an installation as setuppack plan prints it: text for the vendor, JSON for build
// scripts. The plan's texts are the controller's, in the code page the tool runs with (UTF-8),
// and are written as they are: both outputs are UTF-8.
#pragma once

#include <string>
#include <vector>

#include "setup/SetupPlan.h"

// The default choices in full, then for each other choice what it leaves out and adds.
std::string PlanText(const std::vector<TPlan>& plans);
// {"plans": [{"choice", "folders", "files", "shortcuts", "uninstaller", "registry", "libraries",
// "log"}, ...]}, every choice in full.
std::string PlanJson(const std::vector<TPlan>& plans);
