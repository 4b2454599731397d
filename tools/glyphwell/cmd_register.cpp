// glyphwell register | unregister | registry: self-registration of the control module in the
// platform registry (a file: GLYPHWELL_REGISTRY, else $XDG_DATA_HOME/glyphwell/registry, else
// ~/.local/share/glyphwell/registry), and a listing of what is registered.
#include <cstdio>
#include <string>
#include <vector>

#include "control/glyphwell_module.h"
#include "platform/win32.h"
#include "tools/glyphwell/command.h"
#include "tools/glyphwell/options.h"

namespace {

// Reads a registry command's arguments through the option layer: --help shows the registry
// file in use, and the commands take nothing else. kContinue when the command should run.
int ReadArguments(const char* verb, const std::vector<std::string>& args) {
    const std::string synopsis = std::string("usage: glyphwell ") + verb + "\n";
    const std::string registryFile = "registry file: " + standin::RegistryDefaultPath() + "\n";
    const gwcli::CommandLine line{verb, synopsis.c_str(), {}, registryFile.c_str()};
    std::vector<std::string> operands;
    const int status = gwcli::Parse(line, args, &operands);
    if (status != gwcli::kContinue) return status;
    if (!operands.empty()) return gwcli::UsageError(line, "takes no arguments");
    return gwcli::kContinue;
}

bool OpenRegistry(const char* verb, std::string* path) {
    *path = standin::RegistryDefaultPath();
    if (!standin::RegistryUseFile(*path)) {
        std::fprintf(stderr, "glyphwell %s: %s is not a registry file\n", verb, path->c_str());
        return false;
    }
    return true;
}

const char* Failure(HRESULT hr) {
    if (hr == SELFREG_E_TYPELIB) return "the type library could not be (un)registered";
    if (hr == SELFREG_E_CLASS) return "the classes could not be (un)registered";
    return "failed";
}

int RunRegister(const std::vector<std::string>& args) {
    if (const int status = ReadArguments("register", args); status != gwcli::kContinue) return status;
    std::string path;
    if (!OpenRegistry("register", &path)) return kExitFailed;
    const HRESULT hr = DllRegisterServer();
    if (FAILED(hr)) {
        std::fprintf(stderr, "glyphwell register: %s (0x%08X) in %s\n", Failure(hr), static_cast<unsigned>(hr),
                     path.c_str());
        return kExitFailed;
    }
    std::printf("registered GLYPHWELL.GlyphwellCtrl.1 in %s\n", path.c_str());
    return kExitOk;
}

int RunUnregister(const std::vector<std::string>& args) {
    if (const int status = ReadArguments("unregister", args); status != gwcli::kContinue) return status;
    std::string path;
    if (!OpenRegistry("unregister", &path)) return kExitFailed;
    const HRESULT hr = DllUnregisterServer();
    if (FAILED(hr)) {
        std::fprintf(stderr, "glyphwell unregister: %s (0x%08X) in %s\n", Failure(hr), static_cast<unsigned>(hr),
                     path.c_str());
        return kExitFailed;
    }
    std::printf("unregistered GLYPHWELL.GlyphwellCtrl.1 from %s\n", path.c_str());
    return kExitOk;
}

int RunRegistry(const std::vector<std::string>& args) {
    if (const int status = ReadArguments("registry", args); status != gwcli::kContinue) return status;
    std::string path;
    if (!OpenRegistry("registry", &path)) return kExitFailed;
    std::fputs(standin::RegistryDump().c_str(), stdout);
    return kExitOk;
}

const GlyphwellCommand kRegister("register", "register the control module in the platform registry", RunRegister);
const GlyphwellCommand kUnregister("unregister", "remove the control module's registration", RunUnregister);
const GlyphwellCommand kRegistry("registry", "print the platform registry", RunRegistry);

}  // namespace
