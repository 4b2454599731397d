// The command line's one option layer. Each command lists its options as a table of entries
// (names, value placeholder, help line, what to do with the value); one parser reads them all
// the same way and the same table prints the command's help, so adding an option is one entry:
//
//     {"--margin", "N", "white border in pixels, 0-255 (10)", gwcli::Integer(0, 255, &margin)},
//
// Accepted forms: `--name value`, `--name=value`, `-o value`, flags without a value, `-` as an
// operand (standard input), and `--` after which every argument is an operand.
#pragma once

#include <cstdint>
#include <cstdio>
#include <functional>
#include <initializer_list>
#include <string>
#include <utility>
#include <vector>

#include "tools/glyphwell/command.h"

class GwImage;

namespace gwcli {

// Takes an option's value (an empty string for a flag). Returns "" when it is accepted, else
// what the option takes ("takes 0 to 255"): the parser reports "--margin takes 0 to 255".
using Apply = std::function<std::string(const std::string& value)>;

struct Option {
    // "--level", "-o", or aliases separated by '|' ("-h|--help"). nullptr makes the entry a
    // heading line in the help text.
    const char* names;
    // Placeholder for the value in the help ("N", "FILE"); nullptr for a flag.
    const char* value;
    // One line of help (or the heading's text).
    const char* help;
    Apply apply;
};

struct CommandLine {
    const char* command;   // "encode": messages start "glyphwell encode: "
    const char* synopsis;  // usage lines and description, ending in a newline
    std::vector<Option> options;
    const char* epilogue;  // after the options (exit statuses), ending in a newline; may be ""
};

// Continue: the arguments were read and the command should run.
constexpr int kContinue = -1;

// Reads `args` against the table, applying each option in order and collecting the operands.
// Returns kContinue, or an exit status to return at once: kExitOk after printing the help for
// -h/--help (always recognised), kExitUsage after printing a usage error.
int Parse(const CommandLine& line, const std::vector<std::string>& args, std::vector<std::string>* operands);

// The help text made from the table.
std::string Usage(const CommandLine& line);

// "glyphwell COMMAND: MESSAGE" and the usage text on standard error; returns kExitUsage.
int UsageError(const CommandLine& line, const std::string& message);
// "glyphwell COMMAND: MESSAGE" on standard error; returns kExitFailed.
int Failure(const char* command, const std::string& message);

// Value readers for the table. Each stores into *out only when the value is accepted.
Apply Flag(bool* out);
Apply Text(std::string* out);  // any non-empty text
Apply Append(std::vector<std::string>* out);
Apply Integer(long low, long high, long* out);
template <class T>
Apply Integer(long low, long high, T* out) {
    return [=](const std::string& value) {
        long number = 0;
        std::string why = Integer(low, high, &number)(value);
        if (why.empty()) *out = static_cast<T>(number);
        return why;
    };
}
// One of the named choices, any letter case; stores the value paired with the name.
template <class T>
Apply Choice(std::initializer_list<std::pair<const char*, T>> choices, T* out);
// RRGGBB, with an optional leading '#', into the 0x00BBGGRR colour the encoder uses.
Apply Colour(uint32_t* out);

// The --max-pixels N entry of every command that reads pictures: the most pixels one picture
// read may have (the library's decode budget, GwImage::SetMaxDecodePixels).
Option MaxPixelsOption();

// Parses a decimal integer in [low, high]; false for anything else (signs, spaces, trailing text).
bool ParseInteger(const std::string& text, long low, long high, long* out);

// The lower-case ending after a file name's last dot ("" when the last path part has none).
std::string Extension(const std::string& path);
// The picture type (TypePng, TypeGif, TypeBmp) for a format name ("png", any case); -1 if unknown.
long PictureType(const std::string& name);

// ---- implementation of the template above ----
std::string ChoiceList(const std::vector<const char*>& names);
bool SameName(const std::string& a, const char* b);

template <class T>
Apply Choice(std::initializer_list<std::pair<const char*, T>> choices, T* out) {
    std::vector<std::pair<const char*, T>> list(choices);
    return [list, out](const std::string& value) -> std::string {
        std::vector<const char*> names;
        for (const auto& c : list) {
            if (SameName(value, c.first)) {
                *out = c.second;
                return "";
            }
            names.push_back(c.first);
        }
        return "takes " + ChoiceList(names);
    };
}

}  // namespace gwcli
