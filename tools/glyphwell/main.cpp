// glyphwell: the command-line host. Dispatches to the registered subcommands.
#include <algorithm>
#include <cstdio>
#include <cstring>

#include "tools/glyphwell/command.h"
#include "tools/glyphwell/output.h"
#include "tools/glyphwell/system.h"

namespace {
std::vector<const GlyphwellCommand*>& Registry() {
    static std::vector<const GlyphwellCommand*> commands;
    return commands;
}

void PrintUsage(FILE* out) {
    std::fprintf(out, "usage: glyphwell <command> [options]\n       glyphwell --version\n\ncommands:\n");
    for (const GlyphwellCommand* c : GlyphwellCommands()) std::fprintf(out, "  %-12s %s\n", c->name, c->summary);
    std::fprintf(out, "\n'glyphwell <command> --help' describes a command's options.\n");
}
}  // namespace

GlyphwellCommand::GlyphwellCommand(const char* n, const char* s, Run r) : name(n), summary(s), run(r) {
    auto& commands = Registry();
    commands.push_back(this);
    std::sort(commands.begin(), commands.end(),
              [](const GlyphwellCommand* a, const GlyphwellCommand* b) { return std::strcmp(a->name, b->name) < 0; });
}

const std::vector<const GlyphwellCommand*>& GlyphwellCommands() { return Registry(); }

int main(int argc, char** argv) {
    if (argc < 2) {
        PrintUsage(stderr);
        return kExitUsage;
    }
    const char* verb = argv[1];
    gwcli::RemoveUnfinishedFilesOnSignals();
    // Every command's results end on standard output: whether they all arrived is checked here.
    if (!std::strcmp(verb, "--version")) {
        std::printf("glyphwell %s\n", GLYPHWELL_VERSION);
        return gwcli::FinishStandardOutput("", kExitOk);
    }
    if (!std::strcmp(verb, "--help") || !std::strcmp(verb, "-h") || !std::strcmp(verb, "help")) {
        PrintUsage(stdout);
        return gwcli::FinishStandardOutput("", kExitOk);
    }
    for (const GlyphwellCommand* c : GlyphwellCommands()) {
        if (!std::strcmp(c->name, verb))
            return gwcli::FinishStandardOutput(c->name, c->run(std::vector<std::string>(argv + 2, argv + argc)));
    }
    std::fprintf(stderr, "glyphwell: unknown command '%s'\n", verb);
    PrintUsage(stderr);
    return kExitUsage;
}
