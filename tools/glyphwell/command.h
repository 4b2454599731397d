// The command-line host's subcommands. Each subcommand lives in its own file and registers
// itself here with a static GlyphwellCommand object, so adding one touches no other file.
#pragma once

#include <string>
#include <vector>

// Exit statuses shared by every subcommand.
enum GlyphwellExit { kExitOk = 0, kExitFailed = 1, kExitUsage = 2 };

struct GlyphwellCommand {
    // Runs the subcommand on the arguments after its name; returns an exit status.
    typedef int (*Run)(const std::vector<std::string>& args);
    const char* name;
    const char* summary;  // one line for the general usage text
    Run run;
    GlyphwellCommand(const char* name, const char* summary, Run run);
};

// The registered subcommands in name order.
const std::vector<const GlyphwellCommand*>& GlyphwellCommands();
