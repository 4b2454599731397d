#include "tools/glyphwell/options.h"

#include <cctype>
#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "image/gw_image.h"

namespace gwcli {
namespace {

// Splits "a|b" into its names.
std::vector<std::string> NamesOf(const char* names) {
    std::vector<std::string> out;
    std::string current;
    for (const char* p = names; *p; ++p) {
        if (*p == '|') {
            out.push_back(current);
            current.clear();
        } else {
            current += *p;
        }
    }
    out.push_back(current);
    return out;
}

const Option* Find(const CommandLine& line, const std::string& name) {
    for (const Option& option : line.options) {
        if (!option.names) continue;
        for (const std::string& n : NamesOf(option.names))
            if (n == name) return &option;
    }
    return nullptr;
}

}  // namespace

std::string Usage(const CommandLine& line) {
    std::string text = line.synopsis;
    // A blank line before the options, or before each heading when they are grouped.
    if (!line.options.empty() && line.options[0].names) text += "\n";
    for (const Option& option : line.options) {
        if (!option.names) {
            text += std::string("\n") + option.help + "\n";
            continue;
        }
        std::string left = "  ";
        const std::vector<std::string> names = NamesOf(option.names);
        for (size_t i = 0; i < names.size(); ++i) left += (i ? ", " : "") + names[i];
        if (option.value) left += std::string(" ") + option.value;
        const size_t column = 31;
        left += left.size() + 2 <= column ? std::string(column - left.size(), ' ') : "  ";
        text += left + option.help + "\n";
    }
    if (line.epilogue && *line.epilogue) text += std::string("\n") + line.epilogue;
    return text;
}

int UsageError(const CommandLine& line, const std::string& message) {
    std::fprintf(stderr, "glyphwell %s: %s\n\n%s", line.command, message.c_str(), Usage(line).c_str());
    return kExitUsage;
}

int Failure(const char* command, const std::string& message) {
    std::fprintf(stderr, "glyphwell %s: %s\n", command, message.c_str());
    return kExitFailed;
}

int Parse(const CommandLine& line, const std::vector<std::string>& args, std::vector<std::string>* operands) {
    for (size_t i = 0; i < args.size(); ++i) {
        std::string arg = args[i];
        if (arg == "--") {
            operands->insert(operands->end(), args.begin() + static_cast<std::ptrdiff_t>(i) + 1, args.end());
            break;
        }
        if (arg.size() < 2 || arg[0] != '-') {  // "-" alone is an operand: standard input
            operands->push_back(arg);
            continue;
        }
        std::string value;
        bool inlineValue = false;
        if (arg.compare(0, 2, "--") == 0) {
            const size_t eq = arg.find('=');
            if (eq != std::string::npos) {
                value = arg.substr(eq + 1);
                arg.resize(eq);
                inlineValue = true;
            }
        }
        const Option* option = Find(line, arg);
        if (!option && (arg == "--help" || arg == "-h") && !inlineValue) {
            std::fputs(Usage(line).c_str(), stdout);
            return kExitOk;
        }
        if (!option) return UsageError(line, "unknown option '" + args[i] + "'");
        if (!option->value) {
            if (inlineValue) return UsageError(line, arg + " takes no value");
        } else if (!inlineValue) {
            if (i + 1 >= args.size()) return UsageError(line, arg + " needs a value (" + option->value + ")");
            value = args[++i];
        }
        const std::string why = option->apply(value);
        if (!why.empty()) return UsageError(line, arg + " " + why);
    }
    return kContinue;
}

Apply Flag(bool* out) {
    return [out](const std::string&) {
        *out = true;
        return std::string();
    };
}

Apply Text(std::string* out) {
    return [out](const std::string& value) {
        if (value.empty()) return std::string("needs a non-empty value");
        *out = value;
        return std::string();
    };
}

Apply Append(std::vector<std::string>* out) {
    return [out](const std::string& value) {
        out->push_back(value);
        return std::string();
    };
}

bool ParseInteger(const std::string& text, long low, long high, long* out) {
    if (text.empty() || !(std::isdigit(static_cast<unsigned char>(text[0])) || text[0] == '-')) return false;
    errno = 0;
    char* end = nullptr;
    const long value = std::strtol(text.c_str(), &end, 10);
    if (errno || *end || value < low || value > high) return false;
    *out = value;
    return true;
}

Apply Integer(long low, long high, long* out) {
    return [=](const std::string& value) {
        if (ParseInteger(value, low, high, out)) return std::string();
        return "takes " + std::to_string(low) + " to " + std::to_string(high);
    };
}

Option MaxPixelsOption() {
    static char help[96];
    std::snprintf(help, sizeof help, "refuse pictures of more than N pixels before reading them (%llu)",
                  static_cast<unsigned long long>(GwImage::kDefaultMaxDecodePixels));
    return {"--max-pixels", "N", help, [](const std::string& value) {
                long pixels = 0;
                if (!ParseInteger(value, 1, LONG_MAX, &pixels)) return "takes 1 to " + std::to_string(LONG_MAX);
                GwImage::SetMaxDecodePixels(static_cast<uint64_t>(pixels));
                return std::string();
            }};
}

Apply Colour(uint32_t* out) {
    return [out](const std::string& value) {
        std::string text = value;
        if (!text.empty() && text[0] == '#') text.erase(0, 1);
        if (text.size() != 6 || text.find_first_not_of("0123456789abcdefABCDEF") != std::string::npos)
            return std::string("takes a colour RRGGBB");
        const unsigned long rgb = std::strtoul(text.c_str(), nullptr, 16);
        *out = static_cast<uint32_t>(((rgb >> 16) & 0xFF) | (rgb & 0xFF00) | ((rgb & 0xFF) << 16));
        return std::string();
    };
}

std::string ChoiceList(const std::vector<const char*>& names) {
    std::string text;
    for (size_t i = 0; i < names.size(); ++i) {
        if (i) text += i + 1 == names.size() ? " or " : ", ";
        text += names[i];
    }
    return text;
}

bool SameName(const std::string& a, const char* b) {
    if (a.size() != std::strlen(b)) return false;
    for (size_t i = 0; i < a.size(); ++i)
        if (std::tolower(static_cast<unsigned char>(a[i])) != std::tolower(static_cast<unsigned char>(b[i])))
            return false;
    return true;
}

std::string Extension(const std::string& path) {
    const size_t dot = path.find_last_of('.');
    const size_t separator = path.find_last_of("/\\");
    if (dot == std::string::npos || (separator != std::string::npos && dot < separator)) return "";
    std::string ext = path.substr(dot + 1);
    for (char& c : ext) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return ext;
}

long PictureType(const std::string& name) {
    if (SameName(name, "png")) return TypePng;
    if (SameName(name, "gif")) return TypeGif;
    if (SameName(name, "bmp")) return TypeBmp;
    return -1;
}

}  // namespace gwcli
