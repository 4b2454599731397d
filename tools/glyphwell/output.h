// What the command line writes: every output file goes through WriteOutput (whole or not at
// all, "-" for standard output), standard output is checked once at the end, and texts taken
// from files are made safe to show on a terminal.
#pragma once

#include <cstddef>
#include <string>

class GwImage;

namespace gwcli {

// Writes `size` bytes to `path` through the one writer of whole files (standin::WriteWholeFile:
// a new file is made exclusively, an existing one replaced keeping its mode, a link followed,
// a device or FIFO written into, a directory refused), or to standard output when `path` is
// "-". On failure *error says which file and why.
bool WriteOutput(const std::string& path, const void* data, size_t size, std::string* error);

// Encodes `image` as `type` (TypePng, TypeGif, TypeBmp) in memory and writes it as WriteOutput.
bool SavePicture(GwImage& image, const std::string& path, long type, std::string* error);

// `text` with every byte that could steer a terminal written as \xNN: control characters,
// DEL, UTF-8 encoded C1 controls and bytes that are not UTF-8. Printable text, UTF-8 included,
// is kept as it is.
std::string Printable(const std::string& text);

// Flushes standard output. Returns `status`, or, when something printed could not be written
// and the command had succeeded, kExitFailed after saying so on standard error
// ("glyphwell COMMAND: cannot write standard output: REASON").
int FinishStandardOutput(const char* command, int status);

}  // namespace gwcli
