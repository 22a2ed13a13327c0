// What the setup controller asks of the system while it detects earlier installations and
// plug-in hosts (registry reads, special folders, the user's name and file existence) and while
// it installs (registry writes, free disk space, the product's libraries, the shortcut
// folders). The controller receives it at construction; the Windows implementation is
// SystemEnvironment(), and tests can supply their own.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

enum TRegistryRoot { rrCurrentUser, rrLocalMachine };

class ISetupEnvironment {
public:
    // Registry keys are paths below the root, with or without a leading backslash, opened
    // read-only.
    // The names of the key's subkeys in the registry's order; none when the key does not open.
    virtual std::optional<std::vector<std::string>> SubkeyNames(TRegistryRoot root, const std::string& key) = 0;
    // A string value (an empty name means the key's default value); none when the key does
    // not open, the value is missing or it is not a string.
    virtual std::optional<std::string> ReadString(TRegistryRoot root, const std::string& key,
                                                  const std::string& name) = 0;

    // Folders without a trailing backslash. The Program Files and common files folders fall
    // back on the Windows settings; the common program files folder is the shell's alone and
    // empty when it has none.
    virtual std::string ProgramFilesFolder() = 0;
    virtual std::string CommonFilesFolder() = 0;
    virtual std::string CommonProgramFilesFolder() = 0;
    // The system's own Program Files folder, which a 32-bit program on 64-bit Windows does not
    // get as its Program Files folder; on 32-bit Windows the same folder again. Empty when the
    // system does not tell.
    virtual std::string NativeProgramFilesFolder() = 0;
    virtual std::string ApplicationDataFolder() = 0;
    virtual std::string DocumentsFolder() = 0;
    // The name of the user the process runs as; empty when the system does not tell.
    virtual std::string UserName() = 0;
    virtual bool FileExists(const std::string& path) = 0;

    // Registry writes: the key is opened, and created with its missing parents when it does
    // not exist, then the value is written. False when the key cannot be opened or the value
    // cannot be written.
    virtual bool WriteString(TRegistryRoot root, const std::string& key, const std::string& name,
                             const std::string& value) = 0;
    virtual bool WriteInteger(TRegistryRoot root, const std::string& key, const std::string& name,
                              int32_t value) = 0;

    // The bytes available to the calling user on the volume whose root is given ("C:\" or
    // "\\server\share\"); 0 when the system does not tell.
    virtual uint64_t FreeDiskSpace(const std::string& root) = 0;
    // Loads the library at path, calls its export of that exact name once as a procedure
    // without parameters, and frees the library. False, without a message, when the library
    // does not load or has no such export.
    virtual bool CallLibraryExport(const std::string& path, const std::string& exportName) = 0;

    // The current user's Programs folder of the Start menu and desktop folder, without a
    // trailing backslash; empty when the shell has none.
    virtual std::string StartMenuFolder() = 0;
    virtual std::string DesktopFolder() = 0;

    // Creates one folder, whose parent exists, with an access list of its own like Program
    // Files': SYSTEM and Administrators full control, Users read and execute, inherited by
    // everything below it and nothing inherited from above. False when no folder was created
    // (it exists already, the parent is missing, no rights).
    virtual bool CreateProtectedFolder(const std::string& path) = 0;

protected:
    ~ISetupEnvironment() = default;
};

#ifdef _WIN32
// The running system: the registry, the shell's folders, GetUserNameA, the volume's free space
// and the product's libraries.
ISetupEnvironment& SystemEnvironment();
#endif
