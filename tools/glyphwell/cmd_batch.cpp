// glyphwell batch: makes one symbol file per line of a list (labels, tickets, badges), on a
// small pool of threads, with a progress bar when standard error is a terminal.
#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <map>
#include <string>
#include <system_error>
#include <thread>
#include <vector>

#include "encoder/payload.h"
#include "encoder/pipeline.h"
#include "encoder/settings.h"
#include "encoder/trace.h"
#include "tools/glyphwell/command.h"
#include "tools/glyphwell/options.h"
#include "tools/glyphwell/output.h"
#include "tools/glyphwell/symbol_reader.h"
#include "tools/glyphwell/symbol_writer.h"
#include "tools/glyphwell/system.h"

namespace {

const char kSynopsis[] =
    "usage: glyphwell batch LIST --out-dir DIR [--format png|gif|bmp|svg|eps|pdf] [--jobs N] [options]\n"
    "\n"
    "Encodes every line of LIST (a file, or '-' for standard input) as a symbol file in DIR.\n"
    "A line is NAME<TAB>TEXT, written as DIR/NAME.png (or the format's ending), or just TEXT,\n"
    "named by its line number; with --csv KIND, a CSV list whose header names the payload's\n"
    "fields, and a 'file' column the name. Empty lines are skipped. A line that cannot be encoded is\n"
    "reported with its number and the others are still written.\n";

const char kEpilogue[] = "exit status: 0 all written, 1 some line failed, 2 usage error\n";

struct Job {
    long lineNumber;
    std::string name;
    std::string text;
    std::string error;    // empty when the file was written
    std::string warning;  // e.g. the text cut at the '#' end mark; the file is still written
};

// A name must stay inside DIR: no separators, no "." or "..", no control characters.
bool SafeName(const std::string& name) {
    if (name.empty() || name == "." || name == "..") return false;
    for (unsigned char c : name)
        if (c < 0x20 || c == '/' || c == '\\' || c == ':') return false;
    return true;
}

bool ReadLines(FILE* in, std::vector<std::string>* lines) {
    std::string current;
    char buffer[65536];
    size_t n;
    while ((n = std::fread(buffer, 1, sizeof buffer, in)) > 0) {
        for (size_t i = 0; i < n; ++i) {
            if (buffer[i] == '\n') {
                lines->push_back(current);
                current.clear();
            } else {
                current += buffer[i];
            }
        }
    }
    if (!current.empty()) lines->push_back(current);
    return !std::ferror(in);
}

// One CSV line into its fields: commas separate, a quoted field may hold commas and "" for a quote.
bool SplitCsv(const std::string& line, std::vector<std::string>* cells) {
    std::string cell;
    bool quoted = false, wasQuoted = false;
    for (size_t i = 0; i < line.size(); ++i) {
        const char c = line[i];
        if (quoted) {
            if (c == '"' && i + 1 < line.size() && line[i + 1] == '"') {
                cell += '"';
                ++i;
            } else if (c == '"') {
                quoted = false;
            } else {
                cell += c;
            }
        } else if (c == '"' && cell.empty() && !wasQuoted) {
            quoted = wasQuoted = true;
        } else if (c == ',') {
            cells->push_back(cell);
            cell.clear();
            wasQuoted = false;
        } else {
            cell += c;
        }
    }
    cells->push_back(cell);
    return !quoted;
}

std::string Duration(double seconds) {
    const long s = static_cast<long>(seconds + 0.5);
    char text[32];
    if (s >= 3600)
        std::snprintf(text, sizeof text, "%ld:%02ld:%02ld", s / 3600, s / 60 % 60, s % 60);
    else
        std::snprintf(text, sizeof text, "%ld:%02ld", s / 60, s % 60);
    return text;
}

// One line of progress, drawn over itself: bar, count, rate and time left.
void DrawProgress(size_t done, size_t total, double elapsed) {
    constexpr int kWidth = 30;
    const int filled = total ? static_cast<int>(kWidth * done / total) : kWidth;
    const double rate = elapsed > 0 ? done / elapsed : 0;
    const std::string left = rate > 0 ? Duration((total - done) / rate) : "?";
    std::fprintf(stderr, "\r[%s%s] %zu/%zu  %.0f/s  %s left \x1b[K", std::string(filled, '#').c_str(),
                 std::string(kWidth - filled, '.').c_str(), done, total, rate, left.c_str());
    std::fflush(stderr);
}

int RunBatch(const std::vector<std::string>& args) {
    gwcli::SymbolStyle style;
    std::string outDir;
    long jobs = 0;
    bool verify = false;
    std::string payload;
    gwcli::SymbolFormat format = gwcli::SymbolFormat::kPng;
    std::vector<gwcli::Option> options = {
        {nullptr, nullptr, "output:", nullptr},
        {"--out-dir", "DIR", "directory for the symbol files (made if missing)", gwcli::Text(&outDir)},
        {"--format", "FORMAT", "png (default), gif, bmp, svg, eps, pdf, utf8 or ascii (.txt files)",
         gwcli::FormatOption(&format)},
        {"--jobs", "N", "encoding threads, 1-64 (default: one per processor)", gwcli::Integer(1, 64, &jobs)},
        {"--csv", "KIND", "LIST is CSV: a header names the KIND payload's fields (and 'file' the name)",
         gwcli::Text(&payload)},
        {"--verify", nullptr, "read each symbol back with a QR reader first; a line that does not read fails",
         gwcli::Flag(&verify)},
    };
    const std::vector<gwcli::Option> symbol = gwcli::SymbolOptions(&style);
    options.insert(options.end(), symbol.begin(), symbol.end());
    const gwcli::CommandLine line{"batch", kSynopsis, options, kEpilogue};
    std::vector<std::string> operands;
    const int parsed = gwcli::Parse(line, args, &operands);
    if (parsed != gwcli::kContinue) return parsed;
    if (operands.size() != 1) return gwcli::UsageError(line, "give one LIST file (or - for standard input)");
    if (outDir.empty()) return gwcli::UsageError(line, "--out-dir DIR is required");
    const std::string clash = gwcli::CheckStyle(style, format);
    if (!clash.empty()) return gwcli::UsageError(line, clash);
    if (!payload.empty()) {
        std::string ignored, why;
        QRCodeBuildPayload(payload, {}, &ignored, &why);
        if (why.rfind("no payload kind", 0) == 0) return gwcli::UsageError(line, "--csv " + why);
        // A payload's format says how its text is read: its bytes go into the symbol as built.
        style.bytesAsGiven = true;
    }
    if (verify && style.tilde)
        return gwcli::UsageError(line, "--verify cannot check texts with --tilde escapes");
    if (verify && !gwcli::HaveSymbolReader())
        return gwcli::Failure(
            "batch", "--verify is unavailable: this program was built without a QR reader (zxing-cpp)");

    std::vector<std::string> lines;
    const std::string& list = operands[0];
    if (list == "-") {
        if (!ReadLines(stdin, &lines)) return gwcli::Failure("batch", "cannot read standard input");
    } else {
        FILE* in = std::fopen(list.c_str(), "rb");
        const bool ok = in && ReadLines(in, &lines);
        if (in) std::fclose(in);
        if (!ok) return gwcli::Failure("batch", "cannot read '" + list + "'");
    }
    std::error_code ec;
    std::filesystem::create_directories(outDir, ec);
    if (!std::filesystem::is_directory(outDir, ec))
        return gwcli::Failure("batch", "cannot make directory '" + outDir + "'");

    std::vector<Job> work;
    std::map<std::string, long> names;  // name -> line that took it
    std::vector<std::string> header;    // --csv: the field of each column
    int level = 0;
    if (!payload.empty() && QRCodePayloadLevel(payload, &level)) style.settings.correctionLevel = level;
    for (size_t i = 0; i < lines.size(); ++i) {
        std::string text = lines[i];
        if (!text.empty() && text.back() == '\r') text.pop_back();
        if (text.empty()) continue;
        Job job{static_cast<long>(i + 1), std::to_string(i + 1), text, "", ""};
        if (!payload.empty()) {
            std::vector<std::string> cells;
            if (!SplitCsv(text, &cells)) {
                job.error = "the line is not CSV (an unclosed quote?)";
            } else if (header.empty()) {
                header = cells;
                continue;
            } else if (cells.size() != header.size()) {
                job.error = "the line has " + std::to_string(cells.size()) + " fields, the header " +
                            std::to_string(header.size());
            } else {
                QRCodePayloadFields fields;
                for (size_t k = 0; k < cells.size(); ++k) {
                    if (header[k] == "file")
                        job.name = cells[k];
                    else if (!cells[k].empty())
                        fields.emplace_back(header[k], cells[k]);
                }
                std::string why;
                if (!QRCodeBuildPayload(payload, fields, &job.text, &why)) job.error = why;
            }
            if (!job.error.empty()) {
                work.push_back(job);
                continue;
            }
        } else if (const size_t tab = text.find('\t'); tab != std::string::npos) {
            job.name = text.substr(0, tab);
            job.text = text.substr(tab + 1);
        }
        if (!SafeName(job.name)) {
            job.error = "'" + gwcli::Printable(job.name) + "' cannot be a file name";
        } else if (!names.emplace(job.name, job.lineNumber).second) {
            job.error = "the name '" + gwcli::Printable(job.name) + "' is already used on line " +
                        std::to_string(names[job.name]);
        } else if (job.text.size() > static_cast<size_t>(QRCODE_TEXT_MAX)) {
            job.error = "the text is longer than " + std::to_string(QRCODE_TEXT_MAX) + " bytes";
        }
        work.push_back(job);
    }

    // Each thread encodes and renders with its own working state; the diagnostic sink is
    // shared, so it is silenced once before any thread starts.
    FILE* const previousSink = QRCodeTraceStream();
    QRCodeSetTraceStream(nullptr);
    const std::string directory = outDir.back() == '/' ? outDir : outDir + "/";
    std::atomic<size_t> next{0}, done{0};
    auto worker = [&]() {
        for (size_t k; (k = next++) < work.size(); ++done) {
            Job& job = work[k];
            if (!job.error.empty()) continue;
            QRCodeSettings settings;
            const size_t bytes = style.Fill(job.text, &settings);
            job.warning = gwcli::EndMarkWarning(settings, bytes);
            const std::string path = directory + job.name + "." + gwcli::FormatExtension(format);
            QRCodeError why;
            SymbolMatrix* matrix = QRCodeMakeSymbolExplained(&settings, &why);
            if (!matrix) {
                job.error = gwcli::WhyNotEncodable(settings, why);
                continue;
            }
            if (gwcli::IsPictureFormat(format)) {
                const std::string far = gwcli::FitPictureToSize(style.size, matrix->width, &settings);
                if (!far.empty()) job.warning += (job.warning.empty() ? "" : "; ") + far;
            }
            if (verify)
                job.error = gwcli::CheckReadsBack(&settings, style, format, *matrix,
                                                  std::string(settings.text, QRCodeTextLength(&settings)));
            if (job.error.empty())
                gwcli::WriteSymbolFile(&settings, *matrix, style, format, path, &job.error);
            std::free(matrix);
        }
    };
    size_t threads = jobs > 0 ? static_cast<size_t>(jobs) : std::max(1u, std::thread::hardware_concurrency());
    threads = std::min(threads, std::max<size_t>(1, work.size()));
    const auto start = std::chrono::steady_clock::now();
    std::vector<std::thread> pool;
    for (size_t t = 0; t < threads; ++t) pool.emplace_back(worker);
    const bool showProgress = gwcli::IsTerminal(stderr);
    // This thread only watches: it redraws the bar while the pool works.
    while (showProgress && done < work.size()) {
        DrawProgress(done, work.size(),
                     std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count());
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
    }
    for (std::thread& t : pool) t.join();
    const double elapsed = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    if (showProgress) {
        DrawProgress(done, work.size(), elapsed);
        std::fputc('\n', stderr);
    }
    QRCodeSetTraceStream(previousSink);

    size_t failed = 0;
    for (const Job& job : work) {
        if (!job.warning.empty())
            std::fprintf(stderr, "glyphwell batch: line %ld: warning: %s\n", job.lineNumber, job.warning.c_str());
        if (job.error.empty()) continue;
        ++failed;
        std::fprintf(stderr, "glyphwell batch: line %ld: %s\n", job.lineNumber, job.error.c_str());
    }
    std::fprintf(stderr, "glyphwell batch: %zu written, %zu failed, in %s (%s)\n", work.size() - failed,
                 failed, Duration(elapsed).c_str(), gwcli::Printable(outDir).c_str());
    return failed ? kExitFailed : kExitOk;
}

const GlyphwellCommand kBatch("batch", "encode every line of a list as a symbol file, on several threads",
                              RunBatch);

}  // namespace
