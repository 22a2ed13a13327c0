// setupdriver's command line: variables, -e commands and script files, all checked before the
// first command runs; then the run, which ends at the first failure (see Driver.h).

#include <windows.h>

#include <cstdio>
#include <fstream>
#include <map>
#include <optional>
#include <sstream>
#include <string>
#include <vector>

#include "tools/setupdriver/Driver.h"

namespace {

const char UsageText[] =
    "usage: setupdriver [NAME=value]... [-e <command>]... [<script file>]...\n"
    "Runs the commands of the script files and -e arguments in order. In a script, one\n"
    "command per line; \"#\" starts a comment line; a word in double quotes may hold blanks\n"
    "and the escapes \\r \\n \\t \\\" \\\\; ${NAME} is a variable from the command line or the\n"
    "environment. <control> is a caption (\"&\" mnemonics may be left out) or #<id>.\n"
    "Exit code 0 when every expectation holds, 1 on a failure, 2 on a usage error.\n"
    "Commands:\n";

int Usage() {
    std::fputs(UsageText, stderr);
    for (const auto& [name, info] : TDriver::Commands())
        std::fprintf(stderr, "  %s\n", info.Usage);
    return 2;
}

std::string ReadTextFile(const std::string& name) {
    std::ifstream in(name, std::ios::binary);
    if (!in)
        throw EScriptError("cannot read " + name);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

} // namespace

int main(int argc, char** argv) {
    std::map<std::string, std::string> variables;
    auto lookup = [&variables](const std::string& name) -> std::optional<std::string> {
        auto found = variables.find(name);
        if (found != variables.end())
            return found->second;
        DWORD size = ::GetEnvironmentVariableA(name.c_str(), nullptr, 0);
        if (size == 0)
            return std::nullopt;
        std::string value(size, '\0');
        value.resize(::GetEnvironmentVariableA(name.c_str(), &value[0], size));
        return value;
    };

    std::vector<TCommand> script;
    int commandArguments = 0;
    try {
        for (int i = 1; i < argc; ++i) {
            std::string arg = argv[i];
            std::vector<TCommand> part;
            if (arg == "-e" && i + 1 < argc) {
                part = ParseScript(argv[++i], "-e", lookup);
                for (TCommand& command : part)
                    command.Line = ++commandArguments;
            } else if (arg.empty() || arg[0] == '-')
                return Usage();
            else if (arg.find('=') != std::string::npos && arg.find_first_of("\\/:") > arg.find('='))
                variables[arg.substr(0, arg.find('='))] = arg.substr(arg.find('=') + 1);
            else
                part = ParseScript(ReadTextFile(arg), arg, lookup);
            script.insert(script.end(), part.begin(), part.end());
        }
        // The whole script is checked before anything runs.
        for (const TCommand& command : script)
            TDriver::Validate(command);
    } catch (const EScriptError& error) {
        std::fprintf(stderr, "setupdriver: %s\n", error.what());
        return 2;
    }
    if (script.empty())
        return Usage();

    TDriver driver;
    const TCommand* current = nullptr;
    try {
        for (const TCommand& command : script) {
            current = &command;
            std::string line = command.Source + ":" + std::to_string(command.Line) + ": " + command.Name;
            for (const std::string& arg : command.Args)
                line += " " + QuoteWord(arg);
            std::printf("%s\n", line.c_str());
            std::fflush(stdout);
            driver.Execute(command);
        }
        current = nullptr;
        driver.Finish();
    } catch (const std::exception& error) {
        bool scriptError = dynamic_cast<const EScriptError*>(&error) != nullptr;
        std::string where = current ? current->Source + ":" + std::to_string(current->Line) + ": " : "";
        std::printf("FAIL: %s%s\n", where.c_str(), error.what());
        std::fflush(stdout);
        driver.Abort();
        return scriptError ? 2 : 1;
    }
    std::printf("PASS\n");
    return 0;
}
